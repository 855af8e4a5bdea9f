#include "files/RecordReader.h"

#include "files/BankFile.h"
#include "files/FileIo.h"
#include "files/MidiFile.h"
#include "model/UserPerfList.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <memory>
#include <optional>

namespace kw {

namespace {

constexpr uint64_t kRecord = PerformanceRecord::kSize;
constexpr int kEditSlot = kUserPerformances;  // after the 128 user performances

std::string joined(const std::vector<std::string>& parts)
{
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : "; ") + p;
    return s;
}

// "4-7", "2, 5": message numbers 1-based, runs joined.
std::string messageList(uint8_t mask)
{
    std::string out;
    for (int i = 0; i < kBlocksPerPerformance;) {
        if (!(mask & (1u << i))) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < kBlocksPerPerformance && (mask & (1u << (j + 1))))
            ++j;
        out += (out.empty() ? "" : ", ") + std::to_string(i + 1) + (j > i ? "-" + std::to_string(j + 1) : "");
        i = j + 1;
    }
    return out;
}

std::string entryText(int category, std::string_view name8)
{
    return printable(shortEntry(category, name8));
}

// Which block of which performance a message is, by its address: user form
// 70 pp 00/30/50, 71..74 pp 00; edit form 60 00 00/30/50, 60 01..04 00.
struct BlockId {
    int slot;   // user performance 0..127, or kEditSlot
    int index;  // 0..6
};

std::optional<BlockId> identify(ByteView m)
{
    if (m.size() < 11 || m[0] != 0xF0 || m[1] != 0x43 || (m[2] & 0xF0) != 0x00 || m[3] != 0x4B)
        return std::nullopt;
    const uint8_t high = m[6], mid = m[7], low = m[8];
    if (mid >= 0x80)
        return std::nullopt;
    if (high == 0x70 && (low == 0x00 || low == 0x30 || low == 0x50))
        return BlockId{mid, low == 0x00 ? 0 : low == 0x30 ? 1 : 2};
    if (high >= 0x71 && high <= 0x74 && low == 0x00)
        return BlockId{mid, 3 + high - 0x71};
    if (high == 0x60 && mid == 0x00 && (low == 0x00 || low == 0x30 || low == 0x50))
        return BlockId{kEditSlot, low == 0x00 ? 0 : low == 0x30 ? 1 : 2};
    if (high == 0x60 && mid >= 0x01 && mid <= 0x04 && low == 0x00)
        return BlockId{kEditSlot, 2 + mid};
    return std::nullopt;
}

size_t expectedLength(int slot, int index)
{
    return slot == kEditSlot ? blockInfo(BlockKind(index)).length() : kRecordMessageLengths[size_t(index)];
}

// The blocks of one performance gathered so far.
struct Slot {
    uint8_t present = 0;  // bit i: message i + 1
    PerformanceRecord user;
    BlockSet edit{false};
    std::vector<std::string> wrongLengths;  // "message 3 has 31 bytes, not 32"
    bool named = false;                     // the first block, with the name, is in
};

class Assembler {
public:
    FileRecords take(std::span<const Bytes> messages)
    {
        for (const Bytes& m : messages)
            add(m);
        return finishAll();
    }

    // The SysEx messages of a raw stream: each from an F0 to the next F7.
    // Bytes outside a message (realtime bytes, a stray status) are skipped;
    // a message cut by the next F0 or by the end of the stream is dropped
    // (its performance then misses that block). Each message is looked at
    // where it lies: a stream of millions of empty or foreign messages costs
    // no memory of its own.
    FileRecords takeStream(ByteView bytes)
    {
        size_t start = SIZE_MAX;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == 0xF0) {
                start = i;
            } else if (bytes[i] == 0xF7 && start != SIZE_MAX) {
                add(bytes.subspan(start, i + 1 - start));
                start = SIZE_MAX;
            }
        }
        return finishAll();
    }

private:
    FileRecords finishAll()
    {
        for (int s = 0; s <= kEditSlot; ++s)
            if (slots_[size_t(s)] && slots_[size_t(s)]->present)
                finish(s);
        return std::move(out_);
    }

    void add(ByteView m)
    {
        const auto id = identify(m);
        if (!id)
            return;
        auto& held = slots_[size_t(id->slot)];
        if (!held)
            held = std::make_unique<Slot>();  // only numbers a stream names cost memory
        Slot& slot = *held;
        const auto bit = uint8_t(1u << id->index);
        if (slot.present && (id->index == 0 || (slot.present & bit)))
            finish(id->slot);
        slot.present |= bit;
        const size_t length = expectedLength(id->slot, id->index);
        if (m.size() != length) {
            slot.wrongLengths.push_back("message " + std::to_string(id->index + 1) + " has " + std::to_string(m.size())
                                        + " bytes, not " + std::to_string(length));
        } else {
            if (id->slot == kEditSlot)
                slot.edit.at(id->index).assign(m);
            else
                std::copy(m.begin(), m.end(), &slot.user[kRecordMessageOffsets[size_t(id->index)]]);
            slot.named |= id->index == 0;
        }
        if (slot.present == 0x7F)
            finish(id->slot);
    }

    std::string subject(int s, const Slot& slot) const
    {
        std::string text = s == kEditSlot ? "edit-buffer dump" : "dump of performance " + std::to_string(s + 1);
        if (slot.named) {
            const BulkBlock& c = slot.edit.at(0);
            text += " (" + (s == kEditSlot ? entryText(c.data(8), std::string_view(reinterpret_cast<const char*>(c.bytes()) + 9, 8))
                                           : entryText(slot.user.category(), slot.user.name()))
                    + ")";
        }
        return text;
    }

    void finish(int s)
    {
        Slot& slot = *slots_[size_t(s)];
        const std::string what = subject(s, slot);
        if (slot.present != 0x7F) {
            std::string missing = "messages " + messageList(uint8_t(~slot.present & 0x7F)) + " missing";
            if (std::popcount(uint8_t(~slot.present & 0x7F)) == 1)
                missing = "message" + missing.substr(8);
            out_.problems.push_back(what + ": " + missing);
        } else if (!slot.wrongLengths.empty()) {
            out_.problems.push_back(what + ": " + joined(slot.wrongLengths));
        } else if (s == kEditSlot) {
            out_.records.push_back(editRecord(slot.edit, what));
        } else {
            out_.records.push_back({slot.user, slot.user.check().none() ? "" : what + ": " + joined(slot.user.faults())});
        }
        slot = Slot();
    }

    // The edit image's blocks are judged as they came, before the user form
    // is made of them (which computes checksums of its own).
    static FoundRecord editRecord(const BlockSet& edit, const std::string& what)
    {
        std::vector<std::string> faults;
        for (int i = 0; i < kBlocksPerPerformance; ++i) {
            const BulkBlock& b = edit.at(i);
            const std::string in = " in message " + std::to_string(i + 1);
            if (b[4] != 0 || b[5] != b.size() - 11 || b[b.size() - 1] != 0xF7)
                faults.push_back("bad framing" + in);
            if (std::any_of(b.bytes() + 9, b.bytes() + b.size() - 2, [](uint8_t x) { return x & 0x80; }))
                faults.push_back("bad data byte" + in);
            if (b[b.size() - 2] != bulkChecksum(b.view()))
                faults.push_back("bad checksum" + in);
        }
        return {PerformanceRecord::fromEdit(edit, 0), faults.empty() ? "" : what + ": " + joined(faults)};
    }

    std::array<std::unique_ptr<Slot>, kEditSlot + 1> slots_;
    FileRecords out_;
};

bool opensWith(ByteView bytes, std::string_view text)
{
    return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin(), [](char c, uint8_t b) {
               return uint8_t(c) == b;
           });
}

bool isMidi(ByteView head)
{
    return opensWith(head, "MThd") || (opensWith(head, "RIFF") && head.size() >= 12 && opensWith(head.subspan(8), "RMID"));
}

FileRecords fromChecked(const CheckedFile& file)
{
    FileRecords out;
    out.kind = file.kind == FileKind::Bank ? RecordSource::Bank : RecordSource::PerformanceFile;
    for (const CheckedRecord& r : file.records) {
        std::string damage;
        if (!r.faults.none()) {
            const std::string faults = joined(r.faults.texts());
            if (file.kind == FileKind::Bank)
                damage = "record " + std::to_string(r.record.number() + 1) + " (" + printable(r.record.shortEntry()) + "): " + faults;
            else
                damage = (r.faults.whole() ? "damaged performance: " : "not a whole performance file: ") + faults;
        }
        out.records.push_back({r.record, std::move(damage)});
    }
    return out;
}

std::string bytesText(uint64_t n)
{
    return groupedNumber(n) + (n == 1 ? " byte" : " bytes");
}

} // namespace

size_t FileRecords::damaged() const
{
    return problems.size()
           + size_t(std::count_if(records.begin(), records.end(), [](const FoundRecord& r) { return !r.damage.empty(); }));
}

FileRecords recordsFromMessages(std::span<const Bytes> messages)
{
    return Assembler().take(messages);
}

Result<FileRecords> recordsFromBytes(ByteView bytes)
{
    if (opensWith(bytes, kBankMagic) || bytes.size() == kRecord) {
        auto checked = checkFileBytes(bytes);
        if (!checked)
            return checked.error();
        return fromChecked(*checked);
    }
    if (isMidi(bytes)) {
        if (bytes.size() > kMidiSizeLimit)
            return FileError{FileErrorKind::DamagedMidiFile, {}, "larger than " + bytesText(kMidiSizeLimit)};
        // Only messages that can be blocks of a performance are kept while
        // the file is read.
        auto messages = readMidiSysex(bytes, [](ByteView m) { return identify(m).has_value(); });
        if (!messages)
            return messages.error();
        FileRecords out = recordsFromMessages(*messages);
        out.kind = RecordSource::MidiFile;
        return out;
    }
    if (!bytes.empty() && bytes[0] == 0xF0 && bytes.size() <= kBankSizeLimit) {
        FileRecords out = Assembler().takeStream(bytes);
        out.kind = RecordSource::SysexStream;
        return out;
    }
    return FileError{FileErrorKind::NotAPerformanceFile, {}, bytesText(bytes.size())};
}

Result<FileRecords> readRecords(const std::filesystem::path& path)
{
    auto file = openWithHead(path, kBankMagicSize);
    if (!file)
        return file.error();
    const uint64_t size = file->in.size();
    const Bytes& head = file->head;
    // Each kind's limit, judged before the rest is read.
    std::optional<FileError> refused;
    if (opensWith(head, kBankMagic) || size == kRecord)
        refused = checkFileSize(head, size);
    else if (isMidi(head) && size > kMidiSizeLimit)
        refused = FileError{FileErrorKind::DamagedMidiFile, {}, "larger than " + bytesText(kMidiSizeLimit)};
    else if (!isMidi(head) && (head.empty() || head[0] != 0xF0 || size > kBankSizeLimit))
        refused = FileError{FileErrorKind::NotAPerformanceFile, {}, bytesText(size)};
    if (refused)
        return FileError{refused->kind, path, refused->reason};
    auto bytes = file->withRest();
    if (!bytes)
        return bytes.error();
    auto records = recordsFromBytes(*bytes);
    if (!records)
        return FileError{records.error().kind, path, records.error().reason};
    return records;
}

bool hasRecordExtension(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    for (const char* known : {".SYX", ".PFB", ".MID", ".MIDI", ".SMF", ".RMI"})
        if (ext == known)
            return true;
    return false;
}

} // namespace kw
