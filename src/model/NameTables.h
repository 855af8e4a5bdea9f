#pragma once
// Fixed tables that turn numbers of the CS1x into text: banks, voice names,
// note names and performance categories. Texts are Windows-1252 bytes, the
// character set of the synth and of the files; convert with cp1252ToUtf8()
// before showing them.

#include <array>
#include <cstdint>
#include <string>

namespace kw {

// What a look-up outside a table shows (a category byte above 22 from a
// received block, a note or program number out of range).
inline constexpr const char* kUnknownName = "??";

inline constexpr int kBankRows = 58;
inline constexpr int kVoicesPerBank = 128;
inline constexpr int kCategories = 23;

struct BankRow {
    const char* name;  // item text of the bank selector
    uint8_t msb, lsb;
};
const std::array<BankRow, kBankRows>& bankTable();
// First row (from row 0) whose pair equals (msb, lsb); -1 when none does.
int bankRowOf(uint8_t msb, uint8_t lsb);

// "001 GrandPno", "007 --": the list text of program `program` (0..127) of
// bank row `row` (0..57); kUnknownName outside the table.
std::string voiceEntry(int row, int program);
// Number of programs of a row with a name of their own (not "--").
int definedVoiceCount(int row);

// "C-2" .. "G8" for 0..127; kUnknownName otherwise.
std::string noteName(int note);

// Category abbreviation 0..22 ("--  ", "PF", ..., "PI ", ..., "SQ"); kUnknownName otherwise.
std::string categoryAbbrev(int category);

} // namespace kw
