#pragma once
// The performance-bank file: the magic text "Knobwright PFB" and whole
// 317-byte records, each placed by its own number (offset 7), not by its
// position in the file.

#include "files/FileError.h"
#include "files/FileIo.h"
#include "files/PerformanceRecord.h"

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

inline constexpr std::string_view kBankMagic = "Knobwright PFB";
inline constexpr size_t kBankMagicSize = 14;
inline constexpr std::string_view kBankExtension = ".PFB";
// Far beyond any real bank (128 records are 40590 bytes); a larger file is
// refused (TooManyRecords) instead of being read into memory.
inline constexpr size_t kBankMaxRecords = 65536;
inline constexpr uint64_t kBankSizeLimit = kBankMagicSize + uint64_t(PerformanceRecord::kSize) * kBankMaxRecords;

// The bank rules on a file of `size` bytes that begins with `head` (its
// first 14 bytes, or all of it when shorter): NotABank when shorter than the
// magic text or when that text differs in any byte, letter case included;
// WrongFilesize when the rest is no whole number of records; TooManyRecords
// beyond kBankMaxRecords.
std::optional<FileErrorKind> checkBank(ByteView head, uint64_t size);

// Every record of a bank that passed checkBank(), in file order, numbers
// unchecked.
std::vector<PerformanceRecord> bankRecords(ByteView bank);

struct BankContents {
    // The records to use, in file order (two with one number: the later wins).
    std::vector<PerformanceRecord> records;
    // One line per record left out, e.g.
    // "Performance-bank record 3 skipped: number out of range".
    std::vector<std::string> skipped;
};

// "Performance-bank record 3 skipped: number out of range" for the record at
// `position` (1-based, in file order).
std::string skippedRecordReport(int position);

// checkBank() and bankRecords(), keeping only records whose number names one
// of the 128 user performances.
Result<BankContents> parseBank(ByteView bytes);
// The whole file after checkBank() passed on its size and first bytes.
Result<Bytes> readBankBytes(const std::filesystem::path& path);
Result<BankContents> readBankFile(const std::filesystem::path& path);

// A bank file read a slice at a time, for a caller that lets the window
// paint and take input between two slices (a bank may hold 65,536 records).
// What it collects is what readBankFile() gives.
class BankReader {
public:
    // Opens the file and checks the bank rules on its size and magic text.
    static Result<BankReader> open(const std::filesystem::path& path);

    // Reads up to `records` more records; true once the whole file is in.
    Result<bool> readSome(size_t records);
    size_t total() const { return total_; }
    size_t done() const { return position_; }
    const std::filesystem::path& path() const { return path_; }
    BankContents take() { return std::move(contents_); }

private:
    friend Result<Bytes> readBankBytes(const std::filesystem::path& path);
    BankReader(std::filesystem::path path, InputFile in, size_t total)
        : path_(std::move(path)), in_(std::move(in)), total_(total)
    {
    }
    std::filesystem::path path_;
    InputFile in_;
    size_t total_ = 0;
    size_t position_ = 0;
    BankContents contents_;
};

// The bank manager's 128 slots; an all-zero record is an empty slot.
using BankSlots = std::array<PerformanceRecord, 128>;
// `record` as a slot holds it. A slot counts as taken by its first byte, so
// a damaged record that lost the F0 every record opens with would look
// empty and be gone at the next save: it goes in with its F0, everything
// else as it came. Every way into a slot goes through here.
PerformanceRecord slotRecord(const PerformanceRecord& record);
// Each record into the slot of its number (as slotRecord() makes it), a
// later one replacing an earlier one; records outside 0..127 are left out.
void placeRecords(BankSlots& slots, std::span<const PerformanceRecord> records);
// The occupied slots in slot order.
std::vector<PerformanceRecord> occupiedSlots(const BankSlots& slots);

// The magic text and `records` in the given order.
Bytes bankBytes(std::span<const PerformanceRecord> records);
// Written atomically under exactly `path`.
SaveError writeBankFile(const std::filesystem::path& path, std::span<const PerformanceRecord> records);
SaveError writeBankFile(const std::filesystem::path& path, const BankSlots& slots);

// A bank written one record at a time, as a transfer receives them. The
// target changes only at commit(), and then always to a valid bank of the
// whole records appended so far, also after a failed append or when the
// transfer stops early.
class BankWriter {
public:
    explicit BankWriter(std::filesystem::path target) : file_(std::move(target)) {}

    const std::filesystem::path& target() const { return file_.target(); }
    bool isOpen() const { return file_.isOpen(); }
    int records() const { return records_; }

    // Starts the temporary file with the magic text.
    SaveError open();
    SaveError append(const PerformanceRecord& record);
    // The records appended so far become the bank at the target.
    SaveError commit();
    // Nothing is kept; the target stays as it was.
    void abandon() { file_.abandon(); }
    // Another name in the target's folder for commit() (an earlier bank
    // that only a complete one may replace).
    void retarget(std::filesystem::path target) { file_.retarget(std::move(target)); }

private:
    AtomicFile file_;
    int records_ = 0;
};

} // namespace kw
