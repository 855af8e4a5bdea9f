#include "model/NameTables.h"

#include "model/VoiceNameData.h"

namespace kw {

const std::array<BankRow, kBankRows>& bankTable()
{
    static const std::array<BankRow, kBankRows> rows = {{
        {"XG 000", 0, 0},
        {"XG 001 (KSP)", 0, 1},
        {"XG 003 (Stereo)", 0, 3},
        {"XG 006 (Single)", 0, 6},
        {"XG 008 (Slow)", 0, 8},
        {"XG 012 (Fast Decay)", 0, 12},
        {"XG 014 (Double Attack)", 0, 14},
        {"XG 016 (Bright)", 0, 16},
        {"XG 017", 0, 17},
        {"XG 018 (Dark)", 0, 18},
        {"XG 019", 0, 19},
        {"XG 020 (Resonant)", 0, 20},
        {"XG 024 (Attack)", 0, 24},
        {"XG 025 (Release)", 0, 25},
        {"XG 027 (Rezo Sweep)", 0, 27},
        {"XG 028 (Muted)", 0, 28},
        {"XG 032 (Detune 1)", 0, 32},
        {"XG 033 (Detune 2)", 0, 33},
        {"XG 034 (Detune 3)", 0, 34},
        {"XG 035 (Octave 1)", 0, 35},
        {"XG 036 (Octave 2)", 0, 36},
        {"XG 037 (5th 1)", 0, 37},
        {"XG 038 (5th 2)", 0, 38},
        {"XG 039 (Bend)", 0, 39},
        {"XG 040 (Tutti)", 0, 40},
        {"XG 041", 0, 41},
        {"XG 042", 0, 42},
        {"XG 043 (Velo-Switch)", 0, 43},
        {"XG 045 (Velo-Xfade)", 0, 45},
        {"XG 064 (other wave)", 0, 64},
        {"XG 065", 0, 65},
        {"XG 066", 0, 66},
        {"XG 067", 0, 67},
        {"XG 068", 0, 68},
        {"XG 069", 0, 69},
        {"XG 070", 0, 70},
        {"XG 071", 0, 71},
        {"XG 072", 0, 72},
        {"XG 096", 0, 96},
        {"XG 097", 0, 97},
        {"XG 098", 0, 98},
        {"XG 099", 0, 99},
        {"XG 100", 0, 100},
        {"XG 101", 0, 101},
        {"XG SFX", 64, 0},
        {"PRE 00", 63, 0},
        {"PRE 01", 63, 1},
        {"PRE 02", 63, 2},
        {"PRE 03", 63, 3},
        {"PRE 04", 63, 4},
        {"PRE 05", 63, 5},
        {"PRE 06", 63, 6},
        {"PRE 07", 63, 7},
        {"PRE 08", 63, 8},
        {"PRE 09", 63, 9},
        {"PRE 10", 63, 10},
        {"PRE 11", 63, 11},
        {"PRE 12 (Drum Kits)", 63, 12},
    }};
    return rows;
}

int bankRowOf(uint8_t msb, uint8_t lsb)
{
    const auto& rows = bankTable();
    for (int r = 0; r < kBankRows; ++r)
        if (rows[size_t(r)].msb == msb && rows[size_t(r)].lsb == lsb)
            return r;
    return -1;
}

std::string voiceEntry(int row, int program)
{
    if (row < 0 || row >= kBankRows || program < 0 || program >= kVoicesPerBank)
        return kUnknownName;
    return detail::kVoiceEntries[row][program];
}

int definedVoiceCount(int row)
{
    if (row < 0 || row >= kBankRows)
        return 0;
    return detail::kDefinedVoices[row];
}

std::string noteName(int note)
{
    static const char* const pitch[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    if (note < 0 || note > 127)
        return kUnknownName;
    return pitch[note % 12] + std::to_string(note / 12 - 2);
}

std::string categoryAbbrev(int category)
{
    // Index 0 and 10 are wider than the rest; list lines, names files and
    // proposed file names built from them depend on exactly these texts.
    static const std::array<const char*, kCategories> abbrev = {
        "--  ", "PF", "CP", "OR", "GT", "BA", "ST", "EN", "BR", "RD", "PI ", "LD",
        "PD",   "FX", "ET", "PC", "SE", "DR", "SC", "VO", "CO", "WV", "SQ",
    };
    if (category < 0 || category >= kCategories)
        return kUnknownName;
    return abbrev[size_t(category)];
}

} // namespace kw
