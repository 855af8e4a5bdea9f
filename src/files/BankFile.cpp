#include "files/BankFile.h"

#include <algorithm>
#include <iterator>

namespace kw {

namespace {

constexpr uint64_t kRecord = PerformanceRecord::kSize;

ByteView magicBytes()
{
    return {reinterpret_cast<const uint8_t*>(kBankMagic.data()), kBankMagicSize};
}

uint64_t bankSizeFor(int records)
{
    return kBankMagicSize + kRecord * uint64_t(records);
}

} // namespace

std::optional<FileErrorKind> checkBank(ByteView head, uint64_t size)
{
    if (size < kBankMagicSize || head.size() < kBankMagicSize
        || !std::equal(magicBytes().begin(), magicBytes().end(), head.begin()))
        return FileErrorKind::NotABank;
    if ((size - kBankMagicSize) % kRecord != 0)
        return FileErrorKind::WrongFilesize;
    if (size > kBankSizeLimit)
        return FileErrorKind::TooManyRecords;
    return std::nullopt;
}

std::vector<PerformanceRecord> bankRecords(ByteView bank)
{
    std::vector<PerformanceRecord> out;
    for (size_t pos = kBankMagicSize; pos + kRecord <= bank.size(); pos += kRecord)
        out.push_back(*PerformanceRecord::fromBytes(bank.subspan(pos, kRecord)));
    return out;
}

std::string skippedRecordReport(int position)
{
    return "Performance-bank record " + std::to_string(position) + " skipped: number out of range";
}

Result<BankContents> parseBank(ByteView bytes)
{
    if (auto problem = checkBank(bytes, bytes.size()))
        return FileError{*problem, {}, {}};
    BankContents c;
    int position = 0;
    for (const PerformanceRecord& r : bankRecords(bytes)) {
        ++position;
        if (r.numberInRange() < 0)
            c.skipped.push_back(skippedRecordReport(position));
        else
            c.records.push_back(r);
    }
    return c;
}

Result<Bytes> readBankBytes(const std::filesystem::path& path)
{
    auto reader = BankReader::open(path);
    if (!reader)
        return reader.error();
    auto records = reader->in_.read(reader->total() * kRecord);
    if (!records)
        return records.error();
    Bytes all(magicBytes().begin(), magicBytes().end());
    all.insert(all.end(), records->begin(), records->end());
    return all;
}

Result<BankContents> readBankFile(const std::filesystem::path& path)
{
    auto reader = BankReader::open(path);
    if (!reader)
        return reader.error();
    if (auto read = reader->readSome(reader->total()); !read)
        return read.error();
    return reader->take();
}

Result<BankReader> BankReader::open(const std::filesystem::path& path)
{
    auto file = openWithHead(path, kBankMagicSize);
    if (!file)
        return file.error();
    const uint64_t size = file->in.size();
    if (auto problem = checkBank(file->head, size))
        return FileError{*problem, path, {}};
    return BankReader(path, std::move(file->in), size_t((size - kBankMagicSize) / kRecord));
}

Result<bool> BankReader::readSome(size_t records)
{
    const size_t count = std::min(records, total_ - position_);
    if (count > 0) {
        auto bytes = in_.read(count * kRecord);
        if (!bytes)
            return bytes.error();
        contents_.records.reserve(total_);
        for (size_t i = 0; i < count; ++i) {
            const PerformanceRecord r = *PerformanceRecord::fromBytes(ByteView(*bytes).subspan(i * kRecord, kRecord));
            ++position_;
            if (r.numberInRange() < 0)
                contents_.skipped.push_back(skippedRecordReport(int(position_)));
            else
                contents_.records.push_back(r);
        }
    }
    return position_ == total_;
}

PerformanceRecord slotRecord(const PerformanceRecord& record)
{
    PerformanceRecord slot = record;
    if (!slot.occupied())
        slot[0] = 0xF0;
    return slot;
}

void placeRecords(BankSlots& slots, std::span<const PerformanceRecord> records)
{
    for (const PerformanceRecord& r : records)
        if (r.numberInRange() >= 0)
            slots[size_t(r.numberInRange())] = slotRecord(r);
}

std::vector<PerformanceRecord> occupiedSlots(const BankSlots& slots)
{
    std::vector<PerformanceRecord> out;
    std::copy_if(slots.begin(), slots.end(), std::back_inserter(out),
                 [](const PerformanceRecord& r) { return r.occupied(); });
    return out;
}

Bytes bankBytes(std::span<const PerformanceRecord> records)
{
    Bytes out(magicBytes().begin(), magicBytes().end());
    out.reserve(bankSizeFor(int(records.size())));
    for (const PerformanceRecord& r : records)
        out.insert(out.end(), r.bytes().begin(), r.bytes().end());
    return out;
}

SaveError writeBankFile(const std::filesystem::path& path, std::span<const PerformanceRecord> records)
{
    return writeFileAtomically(path, bankBytes(records));
}

SaveError writeBankFile(const std::filesystem::path& path, const BankSlots& slots)
{
    return writeBankFile(path, occupiedSlots(slots));
}

SaveError BankWriter::open()
{
    records_ = 0;
    if (auto e = file_.open())
        return e;
    if (auto e = file_.write(magicBytes())) {
        file_.abandon();
        return e;
    }
    return std::nullopt;
}

SaveError BankWriter::append(const PerformanceRecord& record)
{
    if (auto e = file_.write(record.bytes())) {
        // Whatever part of the record got out is cut off again, so a later
        // commit() still yields whole records only.
        file_.truncate(bankSizeFor(records_));
        return e;
    }
    ++records_;
    return std::nullopt;
}

SaveError BankWriter::commit()
{
    if (file_.isOpen() && file_.size() != bankSizeFor(records_))
        if (auto e = file_.truncate(bankSizeFor(records_)))
            return e;
    return file_.commit();
}

} // namespace kw
