#pragma once
// One user performance as seven bulk dumps back to back (317 bytes): the unit
// of .SYX files, bank files, bank slots and transfers.

#include "model/Block.h"
#include "model/PerformanceImage.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

inline constexpr std::array<size_t, 7> kRecordMessageOffsets = {0, 57, 89, 109, 161, 213, 265};
inline constexpr std::array<size_t, 7> kRecordMessageLengths = {57, 32, 20, 52, 52, 52, 52};
inline constexpr size_t kRecordNumberOffset = 7;
inline constexpr size_t kRecordNameOffset = 9;
inline constexpr size_t kRecordCategoryOffset = 17;

// What is wrong with a record as a message stream; bit i of each mask stands
// for message i + 1.
struct RecordFaults {
    bool numberOutOfRange = false;
    uint8_t framing = 0;        // F0/F7, manufacturer, model, byte count or address
    uint8_t numberDiffers = 0;  // addressed to another number than message 1
    uint8_t dataBytes = 0;      // a data byte of 0x80 or more
    uint8_t checksums = 0;

    // Seven messages of the layout's lengths and headers, all addressed to
    // one user performance: a record at all, whatever its data and checksums.
    bool whole() const { return !numberOutOfRange && framing == 0 && numberDiffers == 0; }
    bool none() const { return whole() && dataBytes == 0 && checksums == 0; }
    // "number out of range", then per message "bad framing in message 1",
    // "number differs in message 5", "bad data byte in message 2",
    // "bad checksum in message 3".
    std::vector<std::string> texts() const;
};

// Whether renumbering recomputes the seven checksums or leaves them as they
// are (a slot filled by a drop keeps the file's checksums; every sender
// computes its own anyway).
enum class Checksums { Keep, Recompute };

class PerformanceRecord {
public:
    static constexpr size_t kSize = kPerformanceRecordSize;

    // All zero: an empty bank slot.
    PerformanceRecord() : bytes_{} {}
    // Exactly 317 bytes, whatever they hold; anything else is no record.
    static std::optional<PerformanceRecord> fromBytes(ByteView bytes);
    // The edit image as user performance `number` (0..127), complete with
    // headers, checksums and end bytes; data bytes are kept to 7 bits.
    static PerformanceRecord fromEdit(const BlockSet& edit, int number);
    // The user-performance transfer image as it stands (blocks as received).
    static PerformanceRecord fromTransfer(const BlockSet& user);

    // Into the transfer image, block by block, bytes as they are.
    void toTransfer(BlockSet& user) const;
    // Into the edit image: common 30 loses its last two fields (set to 0),
    // which a user performance does not hold.
    void toEdit(BlockSet& edit) const;

    ByteView bytes() const { return bytes_; }
    uint8_t operator[](size_t pos) const { return bytes_[pos]; }
    uint8_t& operator[](size_t pos) { return bytes_[pos]; }
    ByteView message(int index) const;  // 0..6
    bool operator==(const PerformanceRecord&) const = default;

    // A bank slot holds a performance when its first byte is not 0.
    bool occupied() const { return bytes_[0] != 0; }
    // The raw number byte at offset 7 (may be 128 or more in a damaged file).
    int number() const { return bytes_[kRecordNumberOffset]; }
    // The number when it names one of the 128 user performances, else -1.
    int numberInRange() const;
    // Writes the seven addresses for user performance `number` (0..127):
    // 70 nn 00, 70 nn 30, 70 nn 50, 71 nn 00 ... 74 nn 00.
    void setNumber(int number, Checksums checksums);

    int category() const { return bytes_[kRecordCategoryOffset]; }
    // The eight name bytes as stored (Windows-1252, blank padded).
    std::string name() const;
    std::string categoryAbbreviation() const;
    // "SQ Pan Seq": abbreviation, a blank, the trimmed name, cut to 15.
    std::string shortEntry() const;

    // Cuts every data byte of 0x80 or more to its low seven bits; answers how
    // many bytes changed. Headers, checksums and end bytes are left to the
    // senders, which stamp their own.
    int clampDataTo7Bit();

    RecordFaults check() const;
    // check() in words; empty for a sound record.
    std::vector<std::string> faults() const { return check().texts(); }

private:
    void recomputeChecksums();
    std::array<uint8_t, kSize> bytes_;
};

// Name bytes without leading and trailing blanks.
std::string trimBlanks(std::string_view text);
// "SQ Pan Seq" for category 22 and "Pan Seq " (cut to 15 characters).
std::string shortEntry(int category, std::string_view name8);
// "005" for index 4: the list's number for user performance `index` (0-based).
std::string entryNumber(int index);
// "005  SQ Pan Seq": the number, two blanks and `text`.
std::string numberedEntry(int index, std::string_view text);

} // namespace kw
