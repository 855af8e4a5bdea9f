#include "files/FileCheck.h"

#include "files/BankFile.h"
#include "files/FileIo.h"
#include "model/Cp1252.h"

#include <algorithm>
#include <map>

namespace kw {

namespace {

constexpr uint64_t kRecord = PerformanceRecord::kSize;

bool opensWithMagic(ByteView head)
{
    return head.size() >= kBankMagicSize
           && std::equal(kBankMagic.begin(), kBankMagic.end(), head.begin(),
                         [](char m, uint8_t b) { return uint8_t(m) == b; });
}

std::string bytesText(uint64_t n)
{
    return groupedNumber(n) + (n == 1 ? " byte" : " bytes");
}

std::string timesText(int n)
{
    return n == 2 ? "twice; the later one wins" : std::to_string(n) + " times; the last one wins";
}

// Numbers that come more than once, in number order; records out of range
// are damaged records and are not counted here.
std::vector<std::string> duplicateNotes(const std::vector<CheckedRecord>& records)
{
    std::map<int, int> seen;
    for (const CheckedRecord& r : records)
        if (r.record.numberInRange() >= 0)
            ++seen[r.record.numberInRange()];
    std::vector<std::string> notes;
    for (const auto& [number, count] : seen)
        if (count > 1)
            notes.push_back("record " + std::to_string(number + 1) + " appears " + timesText(count));
    return notes;
}

} // namespace

size_t CheckedFile::damaged() const
{
    return size_t(std::count_if(records.begin(), records.end(), [](const CheckedRecord& r) { return !r.faults.none(); }));
}

std::optional<FileError> checkFileSize(ByteView head, uint64_t size)
{
    if (opensWithMagic(head)) {
        const auto problem = checkBank(head, size);
        if (problem == FileErrorKind::WrongFilesize)
            return FileError{*problem, {}, "it ends " + bytesText((size - kBankMagicSize) % kRecord) + " into a record"};
        if (problem)
            return FileError{*problem, {}, {}};
        return std::nullopt;
    }
    if (size != kRecord)
        return FileError{FileErrorKind::NotAPerformanceFile, {}, bytesText(size)};
    return std::nullopt;
}

Result<CheckedFile> checkFileBytes(ByteView bytes)
{
    if (auto e = checkFileSize(bytes.first(std::min<size_t>(bytes.size(), kBankMagicSize)), bytes.size()))
        return *e;
    CheckedFile file;
    std::vector<PerformanceRecord> records;
    if (opensWithMagic(bytes)) {
        file.kind = FileKind::Bank;
        records = bankRecords(bytes);
    } else {
        records.push_back(*PerformanceRecord::fromBytes(bytes));
    }
    file.records.reserve(records.size());
    for (const PerformanceRecord& r : records)
        file.records.push_back({r, r.check()});
    file.notes = duplicateNotes(file.records);
    return file;
}

Result<CheckedFile> checkFile(const std::filesystem::path& path)
{
    auto file = openWithHead(path, kBankMagicSize);
    if (!file)
        return file.error();
    if (auto e = checkFileSize(file->head, file->in.size()))
        return FileError{e->kind, path, e->reason};
    auto bytes = file->withRest();
    if (!bytes)
        return bytes.error();
    return checkFileBytes(*bytes);
}

std::string plainText(const FileError& e)
{
    const std::string detail = e.reason.empty() ? std::string() : " (" + e.reason + ")";
    switch (e.kind) {
    case FileErrorKind::CannotOpen: return "cannot read: " + e.reason;
    case FileErrorKind::NotAPerformanceFile: return "not a performance file or bank" + detail;
    case FileErrorKind::WrongFilesize: return "damaged bank" + (e.reason.empty() ? "" : ": " + e.reason);
    case FileErrorKind::NotABank: return "not a performance bank";
    case FileErrorKind::TooManyRecords: return "too many records (" + groupedNumber(kBankMaxRecords) + " at most)";
    case FileErrorKind::CannotSave: return "cannot write: " + e.reason;
    case FileErrorKind::DamagedMidiFile: return "damaged MIDI file: " + e.reason;
    }
    return {};
}

std::string groupedNumber(uint64_t n)
{
    std::string digits = std::to_string(n);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(size_t(at), ",");
    return digits;
}

std::string printable(std::string_view cp1252)
{
    std::string s = cp1252ToUtf8(cp1252);
    for (char& c : s)
        if (uint8_t(c) < 0x20 || c == 0x7F)
            c = '?';
    return s;
}

} // namespace kw
