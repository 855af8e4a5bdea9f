#include "session/library/MemoryView.h"

#include "files/LocalTime.h"
#include "files/PerformanceRecord.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "store/Store.h"

#include <optional>
#include <unordered_map>

namespace kw {

namespace {
std::string when(int64_t seconds) { return localTimeText(seconds, "%Y-%m-%d %H:%M"); }

std::string entryText(int category, const std::string& nameUtf8)
{
    return trimBlanks(categoryAbbrev(category)) + (nameUtf8.empty() ? "" : " " + nameUtf8);
}
} // namespace

const char* howText(SynthMemory::How how)
{
    switch (how) {
    case SynthMemory::How::Fetched: return "Fetched";
    case SynthMemory::How::BackedUp: return "Backed up";
    case SynthMemory::How::Sent: return "Sent";
    case SynthMemory::How::Stored: return "Stored";
    }
    return "Seen";
}

std::vector<MemoryRow> memoryRows(const SynthMemory& memory, Store* store)
{
    std::vector<std::optional<Store::MemorySighting>> sightings(kUserPerformances);
    if (store)
        if (auto s = store->lastSeenInUserMemories())
            sightings = std::move(*s);
    std::vector<MemoryRow> rows(kUserPerformances);
    // Names come from the library's rows (the user's own), a page at once.
    std::vector<int64_t> ids;
    for (int n = 0; n < kUserPerformances; ++n) {
        MemoryRow& r = rows[size_t(n)];
        r.number = n;
        if (const SynthMemory::Known* k = memory.known(n)) {
            r.state = MemoryRow::State::Confirmed;
            r.how = howText(k->how);
            r.when = k->when;
            r.standing = r.how + " " + when(r.when);
            if (store)
                if (auto id = store->find(k->data); id && *id)
                    r.id = **id;
            if (!r.id)
                r.entry = entryText(dataCategory(k->data), cp1252ToUtf8(trimBlanks(dataName(k->data))));
        } else if (const auto& s = sightings[size_t(n)]) {
            r.state = MemoryRow::State::MayHaveChanged;
            r.id = s->id;
            r.how = "Seen";
            r.when = s->lastSeen;
            r.standing = "May have changed since " + when(r.when);
        } else {
            r.standing = "Unknown";
        }
        if (r.id)
            ids.push_back(r.id);
    }
    if (store && !ids.empty())
        if (auto found = store->rows(ids)) {
            std::unordered_map<int64_t, const LibraryRow*> byId;
            for (const LibraryRow& lr : *found)
                byId.emplace(lr.id, &lr);
            for (MemoryRow& r : rows)
                if (auto it = byId.find(r.id); r.id && it != byId.end())
                    r.entry = entryText(it->second->category, it->second->name);
        }
    return rows;
}

} // namespace kw
