#include "session/BankModel.h"

#include "model/Cp1252.h"
#include "model/UserPerfList.h"

#include <algorithm>
#include <array>

namespace kw {

namespace {

// Where each character of UTF-8 `text` starts (continuation bytes are
// 10xxxxxx), and its end.
std::vector<size_t> characterStarts(std::string_view text)
{
    std::vector<size_t> out;
    for (size_t i = 0; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0xC0) != 0x80)
            out.push_back(i);
    out.push_back(text.size());
    return out;
}

} // namespace

BankModel::BankModel() : entries_(kUserPerformances)
{
    for (int i = 0; i < kUserPerformances; ++i)
        entries_[size_t(i)] = entryNumber(i);
}

bool BankModel::anyChanged() const
{
    return slots_ != baseline_;
}

BankModel::SlotState BankModel::state(int index) const
{
    const size_t i = size_t(index);
    return {slots_.at(i), baseline_.at(i), entries_.at(i)};
}

void BankModel::restore(int index, const SlotState& s)
{
    const size_t i = size_t(index);
    slots_.at(i) = s.record;
    baseline_.at(i) = s.baseline;
    entries_.at(i) = s.entry;
}

void BankModel::clear(int index)
{
    slots_.at(size_t(index)) = PerformanceRecord{};
    entries_.at(size_t(index)) = entryNumber(index);
}

void BankModel::clearAll()
{
    for (int i = 0; i < kUserPerformances; ++i)
        clear(i);
}

void BankModel::put(int index, const PerformanceRecord& record, std::string entry)
{
    slots_.at(size_t(index)) = slotRecord(record);
    entries_.at(size_t(index)) = std::move(entry);
}

std::vector<int> BankModel::load(std::span<const PerformanceRecord> records)
{
    // Only the last record of each number stays; a bank may hold 65,536.
    std::array<const PerformanceRecord*, kUserPerformances> last{};
    for (const PerformanceRecord& r : records)
        if (r.numberInRange() >= 0)
            last[size_t(r.numberInRange())] = &r;
    std::vector<int> set;
    for (int n = 0; n < kUserPerformances; ++n) {
        if (!last[size_t(n)])
            continue;
        put(n, *last[size_t(n)], numberedEntry(n, cp1252ToUtf8(last[size_t(n)]->shortEntry())));
        baseline_[size_t(n)] = slots_[size_t(n)];
        set.push_back(n);
    }
    return set;
}

void BankModel::cutEntries()
{
    for (std::string& e : entries_)
        e = utf8Left(e, kEntryLength);
}

std::string utf8Left(std::string_view text, size_t count)
{
    const std::vector<size_t> starts = characterStarts(text);
    return std::string(text.substr(0, starts[std::min(count, starts.size() - 1)]));
}

std::string droppedEntry(int index, std::string_view fileName)
{
    const std::string cut = utf8Left(fileName, 15);
    std::vector<size_t> starts = characterStarts(cut);
    const size_t characters = starts.size() - 1;
    std::string name = cut.substr(0, starts[characters - std::min<size_t>(4, characters)]);
    starts = characterStarts(name);
    // A name too short to have a third character keeps what it has.
    if (starts.size() > 3)
        return numberedEntry(index, name.substr(0, starts[2]) + " " + name.substr(starts[3]));
    return numberedEntry(index, name);
}

} // namespace kw
