#include "files/PerformanceRecord.h"

#include "model/NameTables.h"

#include <algorithm>
#include <cstdio>

namespace kw {

namespace {

// Address high and low byte of each message; the middle byte is the number.
constexpr uint8_t kAddrHigh[7] = {0x70, 0x70, 0x70, 0x71, 0x72, 0x73, 0x74};
constexpr uint8_t kAddrLow[7] = {0x00, 0x30, 0x50, 0x00, 0x00, 0x00, 0x00};

std::string inMessage(const char* what, int index)
{
    return std::string(what) + " in message " + std::to_string(index + 1);
}

} // namespace

std::optional<PerformanceRecord> PerformanceRecord::fromBytes(ByteView bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    PerformanceRecord r;
    std::copy(bytes.begin(), bytes.end(), r.bytes_.begin());
    return r;
}

PerformanceRecord PerformanceRecord::fromEdit(const BlockSet& edit, int number)
{
    BlockSet user(true);
    PerformanceImage::editToUser(edit, user, number);
    PerformanceRecord r = fromTransfer(user);
    if (r.clampDataTo7Bit() > 0)
        r.recomputeChecksums();
    return r;
}

PerformanceRecord PerformanceRecord::fromTransfer(const BlockSet& user)
{
    PerformanceRecord r;
    const Bytes all = user.concatenated();
    std::copy(all.begin(), all.end(), r.bytes_.begin());
    return r;
}

void PerformanceRecord::toTransfer(BlockSet& user) const
{
    for (int i = 0; i < 7; ++i)
        user.at(i).assign(message(i));
}

void PerformanceRecord::toEdit(BlockSet& edit) const
{
    BlockSet user(true);
    toTransfer(user);
    PerformanceImage::userToEdit(user, edit);
}

ByteView PerformanceRecord::message(int index) const
{
    return ByteView(bytes_).subspan(kRecordMessageOffsets[size_t(index)], kRecordMessageLengths[size_t(index)]);
}

int PerformanceRecord::numberInRange() const
{
    return number() < 128 ? number() : -1;
}

void PerformanceRecord::setNumber(int number, Checksums checksums)
{
    for (int i = 0; i < 7; ++i) {
        uint8_t* m = bytes_.data() + kRecordMessageOffsets[size_t(i)];
        m[6] = kAddrHigh[i];
        m[7] = uint8_t(number & 0x7F);
        m[8] = kAddrLow[i];
    }
    if (checksums == Checksums::Recompute)
        recomputeChecksums();
}

void PerformanceRecord::recomputeChecksums()
{
    for (int i = 0; i < 7; ++i) {
        uint8_t* m = bytes_.data() + kRecordMessageOffsets[size_t(i)];
        const size_t len = kRecordMessageLengths[size_t(i)];
        m[len - 2] = bulkChecksum({m, len});
    }
}

std::string PerformanceRecord::name() const
{
    return std::string(reinterpret_cast<const char*>(bytes_.data()) + kRecordNameOffset, 8);
}

std::string PerformanceRecord::categoryAbbreviation() const
{
    return categoryAbbrev(category());
}

std::string PerformanceRecord::shortEntry() const
{
    return kw::shortEntry(category(), name());
}

int PerformanceRecord::clampDataTo7Bit()
{
    int changed = 0;
    for (int i = 0; i < 7; ++i) {
        uint8_t* m = bytes_.data() + kRecordMessageOffsets[size_t(i)];
        const size_t len = kRecordMessageLengths[size_t(i)];
        for (size_t p = 9; p + 2 < len; ++p) {
            if (m[p] & 0x80) {
                m[p] &= 0x7F;
                ++changed;
            }
        }
    }
    return changed;
}

RecordFaults PerformanceRecord::check() const
{
    RecordFaults found;
    const uint8_t first = bytes_[kRecordNumberOffset];
    found.numberOutOfRange = first >= 128;
    for (int i = 0; i < 7; ++i) {
        const ByteView m = message(i);
        const size_t len = m.size();
        const auto bit = uint8_t(1u << i);
        const bool framed = m[0] == 0xF0 && m[1] == 0x43 && (m[2] & 0xF0) == 0x00 && m[3] == 0x4B
                            && m[4] == 0x00 && m[5] == len - 11 && m[6] == kAddrHigh[i]
                            && m[8] == kAddrLow[i] && m[len - 1] == 0xF7;
        if (!framed)
            found.framing |= bit;
        if (i > 0 && m[7] != first)
            found.numberDiffers |= bit;
        if (std::any_of(m.begin() + 9, m.end() - 2, [](uint8_t b) { return b & 0x80; }))
            found.dataBytes |= bit;
        if (m[len - 2] != bulkChecksum(m))
            found.checksums |= bit;
    }
    return found;
}

std::vector<std::string> RecordFaults::texts() const
{
    std::vector<std::string> found;
    if (numberOutOfRange)
        found.push_back("number out of range");
    for (int i = 0; i < 7; ++i) {
        const auto bit = uint8_t(1u << i);
        if (framing & bit)
            found.push_back(inMessage("bad framing", i));
        if (numberDiffers & bit)
            found.push_back(inMessage("number differs", i));
        if (dataBytes & bit)
            found.push_back(inMessage("bad data byte", i));
        if (checksums & bit)
            found.push_back(inMessage("bad checksum", i));
    }
    return found;
}

std::string trimBlanks(std::string_view text)
{
    const size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    const size_t e = text.find_last_not_of(' ');
    return std::string(text.substr(b, e - b + 1));
}

std::string shortEntry(int category, std::string_view name8)
{
    return (categoryAbbrev(category) + " " + trimBlanks(name8)).substr(0, 15);
}

std::string entryNumber(int index)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", index + 1);
    return buf;
}

std::string numberedEntry(int index, std::string_view text)
{
    return entryNumber(index) + "  " + std::string(text);
}

} // namespace kw
