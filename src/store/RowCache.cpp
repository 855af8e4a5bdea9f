#include "store/RowCache.h"

#include "model/NameTables.h"

#include <algorithm>

namespace kw {

namespace {

// Rows kept read for the library window: pages of 200 as one types and scrolls.
constexpr size_t kCachedRows = 4096;

std::string rowEntry(int category, const std::string& name)
{
    return trimBlanks(categoryAbbrev(category)) + " " + name;
}

} // namespace

RowCache::RowCache(sql::Connection& db)
    : db_(db),
      dataVersion_(db.prepare("PRAGMA data_version")),
      row_(db.prepare("SELECT name, category, favourite, rating, notes, first_seen, sound_hash, data "
                      "FROM performances WHERE id = ? AND removed = 0")),
      tags_(db.prepare("SELECT tag FROM tags WHERE performance_id = ? ORDER BY tag")),
      firstPlace_(db.prepare("SELECT s.kind, s.text, (SELECT count(*) FROM sightings WHERE performance_id = ?1) "
                             "FROM sightings g JOIN sources s ON s.id = g.source_id WHERE g.performance_id = ?1 "
                             "ORDER BY g.first_seen, s.id LIMIT 1")),
      twins_(db.prepare("SELECT id, name, category, data FROM performances WHERE sound_hash = ? AND id <> ? "
                        "AND removed = 0 ORDER BY id"))
{
}

void RowCache::changed(int64_t id)
{
    if (!kept_.empty() && !allStale_)
        changed_.insert(id);
}

std::vector<LibraryRow> RowCache::rows(std::span<const int64_t> ids)
{
    dropStale();
    std::vector<LibraryRow> out;
    out.reserve(ids.size());
    for (const int64_t id : ids) {
        if (const auto it = kept_.find(id); it != kept_.end()) {
            out.push_back(it->second.row);
            continue;
        }
        int64_t sound = 0;
        std::optional<LibraryRow> r = read(id, &sound);
        if (!r)
            continue;  // gone since it was found
        if (kept_.size() >= kCachedRows)
            kept_.clear();
        kept_.emplace(id, Kept{*r, sound});
        out.push_back(std::move(*r));
    }
    return out;
}

void RowCache::dropStale()
{
    int64_t version = 0;
    {
        sql::Use v(dataVersion_);
        v->step();
        version = v->integer(0);
    }
    // Another connection's changes are not known one by one; many of this
    // one's cost more to sort out than to read the rows again.
    bool all = version != version_ || allStale_ || changed_.size() > 64;
    if (!all && !changed_.empty()) {
        // A change shows in its own row and in its twins' (their names).
        sql::Statement q = db_.prepare("SELECT sound_hash FROM performances WHERE id = ?");
        std::unordered_set<int64_t> sounds;
        for (const int64_t id : changed_) {
            kept_.erase(id);
            q.reset();
            q.bind(1, id);
            if (!q.step()) {
                all = true;  // gone for good: its sound is not known
                break;
            }
            sounds.insert(q.integer(0));
        }
        std::erase_if(kept_, [&](const auto& kept) { return sounds.contains(kept.second.sound); });
    }
    if (all)
        kept_.clear();
    version_ = version;
    changed_.clear();
    allStale_ = false;
}

std::optional<LibraryRow> RowCache::read(int64_t id, int64_t* soundOut)
{
    LibraryRow r;
    r.id = id;
    int64_t sound = 0;
    PerformanceData data{};
    {
        sql::Use row(row_);
        row->bind(1, id);
        if (!row->step())
            return std::nullopt;
        r.name = row->text(0);
        r.category = int(row->integer(1));
        r.favourite = row->integer(2) != 0;
        r.rating = int(row->integer(3));
        r.notes = row->text(4);
        r.firstSeen = row->integer(5);
        sound = row->integer(6);
        *soundOut = sound;
        const ByteView d = row->blob(7);
        std::copy_n(d.begin(), std::min(d.size(), data.size()), data.begin());
    }
    {
        sql::Use tags(tags_);
        tags->bind(1, id);
        while (tags->step())
            r.tags.push_back(tags->text(0));
    }
    {
        sql::Use first(firstPlace_);
        first->bind(1, id);
        if (first->step()) {
            r.whereFrom = sourceLabel(int(first->integer(0)), first->text(1));
            r.sightings = int(first->integer(2));
        }
    }
    sql::Use twins(twins_);
    twins->bind(1, sound).bind(2, id);
    while (twins->step()) {
        PerformanceData other{};
        const ByteView d = twins->blob(3);
        std::copy_n(d.begin(), std::min(d.size(), other.size()), other.begin());
        if (sameSound(data, other)) {
            r.twinId = twins->integer(0);
            r.twinOf = rowEntry(int(twins->integer(2)), twins->text(1));
            break;
        }
    }
    return r;
}

} // namespace kw
