#include "store/SearchIndex.h"

#include "files/FilePaths.h"
#include "model/NameTables.h"
#include "model/ValueLists.h"
#include "store/Sqlite.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace kw {

namespace {

constexpr char kFieldEnd = '\x1f';
constexpr char kPlaceEnd = '\x1e';
constexpr int kSortKeys = int(SortKey::FirstSeen) + 1;
static_assert(kSortKeys == 7, "one order per SortKey (SearchIndex::built_)");
// What the texts searched last may keep of their results: a keystroke back
// finds its result here, one forward looks only through the one before.
constexpr size_t kRecentTexts = 32;
constexpr size_t kRecentPositions = size_t(1) << 20;  // 4 MB

std::string categoryText(int category)
{
    if (category < 0 || category >= kCategories)
        return kUnknownName;
    return categoryAbbrev(category) + " " + performanceTypeItems()[size_t(category)];
}

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> out;
    const std::string folded = foldCase(text);
    size_t pos = 0;
    while (pos < folded.size()) {
        const size_t start = folded.find_first_not_of(" \t", pos);
        if (start == std::string::npos)
            break;
        const size_t end = std::min(folded.find_first_of(" \t", start), folded.size());
        out.push_back(folded.substr(start, end - start));
        pos = end;
    }
    return out;
}

// Whether `hay` holds `word`, looking first for the word's byte at
// `anchor` (its rarest), which memchr finds fast.
bool holds(std::string_view hay, const std::string& word, size_t anchor)
{
    if (word.size() > hay.size())
        return false;
    const char* begin = hay.data() + anchor;
    const char* end = hay.data() + hay.size() - (word.size() - anchor) + 1;
    while (begin < end) {
        const void* hit = std::memchr(begin, word[anchor], size_t(end - begin));
        if (!hit)
            return false;
        const char* start = static_cast<const char*>(hit) - anchor;
        if (std::memcmp(start, word.data(), word.size()) == 0)
            return true;
        begin = static_cast<const char*>(hit) + 1;
    }
    return false;
}

} // namespace

std::unique_ptr<SearchIndex> SearchIndex::load(sql::Connection& db)
{
    // Three scans in id order merged, none needing a sort: a full load
    // costs about what reading the rows costs.
    auto index = std::make_unique<SearchIndex>();
    sql::Statement all = db.prepare(
        "SELECT id, name, category, favourite, rating, first_seen FROM performances WHERE removed = 0 ORDER BY id");
    sql::Statement tags = db.prepare("SELECT performance_id, tag FROM tags ORDER BY performance_id, tag");
    sql::Statement places = db.prepare(
        "SELECT g.performance_id, g.first_seen, s.id, s.kind, s.text FROM sightings g CROSS JOIN sources s "
        "ON s.id = g.source_id ORDER BY g.performance_id");
    bool moreTags = tags.step(), morePlaces = places.step();
    struct Place {
        int64_t when, source;
        std::string label;
    };
    std::vector<Place> seen;
    while (all.step()) {
        Fields f;
        const int64_t id = all.integer(0);
        f.name = all.text(1);
        f.category = int(all.integer(2));
        f.favourite = all.integer(3) != 0;
        f.rating = int(all.integer(4));
        f.firstSeen = all.integer(5);
        while (moreTags && tags.integer(0) < id)
            moreTags = tags.step();
        for (; moreTags && tags.integer(0) == id; moreTags = tags.step())
            f.tags += (f.tags.empty() ? "" : " ") + tags.text(1);
        while (morePlaces && places.integer(0) < id)
            morePlaces = places.step();
        seen.clear();
        for (; morePlaces && places.integer(0) == id; morePlaces = places.step()) {
            seen.push_back({places.integer(1), places.integer(2), sourceLabel(int(places.integer(3)), places.text(4))});
            f.kinds |= kindBit(places.integer(3));
        }
        std::sort(seen.begin(), seen.end(),
                  [](const Place& a, const Place& b) { return a.when != b.when ? a.when < b.when : a.source < b.source; });
        for (Place& p : seen)
            if (std::find(f.places.begin(), f.places.end(), p.label) == f.places.end())
                f.places.push_back(std::move(p.label));
        index->put(id, f);
    }
    return index;
}

SearchIndex::Reads::Reads(sql::Connection& db)
    : row(db.prepare("SELECT name, category, favourite, rating, first_seen, "
                     "(SELECT group_concat(tag, ' ') FROM tags WHERE performance_id = ?1) "
                     "FROM performances WHERE id = ?1 AND removed = 0")),
      places(db.prepare("SELECT s.kind, s.text FROM sightings g JOIN sources s ON s.id = g.source_id "
                        "WHERE g.performance_id = ? ORDER BY g.first_seen, s.id"))
{
}

void SearchIndex::reload(Reads& reads, const std::unordered_set<int64_t>& ids)
{
    // A few changes move a few entries in what the index keeps of earlier
    // searches; many make it cheaper to start those afresh.
    if (ids.size() > 64)
        forgetSearches();
    for (const int64_t id : ids) {
        sql::Use r(reads.row);
        r->bind(1, id);
        if (!r->step()) {
            erase(id);
            continue;
        }
        Fields f;
        f.name = r->text(0);
        f.category = int(r->integer(1));
        f.favourite = r->integer(2) != 0;
        f.rating = int(r->integer(3));
        f.firstSeen = r->integer(4);
        f.tags = r->text(5);
        sql::Use p(reads.places);
        p->bind(1, id);
        while (p->step()) {
            f.kinds |= kindBit(p->integer(0));
            std::string label = sourceLabel(int(p->integer(0)), p->text(1));
            if (std::find(f.places.begin(), f.places.end(), label) == f.places.end())
                f.places.push_back(std::move(label));
        }
        put(id, f);
    }
}

void SearchIndex::clear()
{
    entries_.clear();
    text_.clear();
    counts_.fill(0);
    garbage_ = 0;
    scattered_ = false;
    changed();
}

void SearchIndex::put(int64_t id, const Fields& f)
{
    std::string hay = f.name;
    hay += kFieldEnd;
    hay += categoryText(f.category);
    hay += kFieldEnd;
    hay += f.tags;
    hay += kFieldEnd;
    for (const std::string& p : f.places) {
        hay += p;
        hay += kPlaceEnd;
    }
    hay = foldCase(hay);

    const Entry e{id, f.firstSeen, uint32_t(text_.size()), uint32_t(hay.size()), uint8_t(f.category), uint8_t(f.favourite),
                  uint8_t(f.rating), f.kinds};
    uint32_t pos = uint32_t(entries_.size());
    bool replaced = false;
    if (entries_.empty() || id > entries_.back().id) {
        entries_.push_back(e);
    } else {
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                         [](const Entry& x, int64_t v) { return x.id < v; });
        pos = uint32_t(at - entries_.begin());
        if (at->id == id) {
            garbage_ += at->length + 1;
            *at = e;
            replaced = true;
        } else {
            entries_.insert(at, e);
        }
        scattered_ = true;
    }
    text_ += hay;
    text_ += '\0';
    for (const char c : hay)
        ++counts_[uint8_t(c)];
    if (garbage_ > text_.size() / 2)
        gather();
    if (replaced)
        unplace(pos);
    else if (pos + 1 < entries_.size())
        shift(pos, +1);  // (an entry added at the end moves nothing)
    place(pos);
}

void SearchIndex::erase(int64_t id)
{
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                     [](const Entry& e, int64_t v) { return e.id < v; });
    if (at == entries_.end() || at->id != id)
        return;
    garbage_ += at->length + 1;
    const uint32_t pos = uint32_t(at - entries_.begin());
    entries_.erase(at);
    unplace(pos);
    shift(pos, -1);
}

void SearchIndex::forgetSearches()
{
    changed();
}

// An entry's place in each order made and each text's result kept, so that
// a change costs a few moves and not the next search a sort of everything.
void SearchIndex::unplace(uint32_t pos)
{
    for (int k = 0; k < kSortKeys; ++k) {
        if (!built_[size_t(k)])
            continue;
        std::vector<uint32_t>& o = orders_[size_t(k)];
        if (const auto at = std::find(o.begin(), o.end(), pos); at != o.end())
            o.erase(at);
    }
    for (Found& f : recent_)
        if (const auto at = std::lower_bound(f.positions.begin(), f.positions.end(), pos);
            at != f.positions.end() && *at == pos)
            f.positions.erase(at);
    for (std::vector<uint32_t>& r : ranks_)
        r.clear();
}

void SearchIndex::shift(uint32_t from, int by)
{
    const auto move = [&](std::vector<uint32_t>& v) {
        for (uint32_t& p : v)
            if (p >= from)
                p = uint32_t(int64_t(p) + by);
    };
    for (int k = 0; k < kSortKeys; ++k)
        if (built_[size_t(k)])
            move(orders_[size_t(k)]);
    for (Found& f : recent_)
        move(f.positions);
    for (std::vector<uint32_t>& r : ranks_)
        r.clear();
}

void SearchIndex::place(uint32_t pos)
{
    for (int k = 0; k < kSortKeys; ++k) {
        if (!built_[size_t(k)])
            continue;
        std::vector<uint32_t>& o = orders_[size_t(k)];
        o.insert(std::upper_bound(o.begin(), o.end(), pos,
                                  [&](uint32_t a, uint32_t b) { return before(SortKey(k), a, b); }),
                 pos);
    }
    const std::string_view h = hay(entries_[pos]);
    for (Found& f : recent_) {
        bool all = true;
        for (size_t start = 0; all && start < f.text.size();) {
            const size_t end = std::min(f.text.find(' ', start), f.text.size());
            const std::string word = f.text.substr(start, end - start);
            all = holds(h, word, anchor(word));
            start = end + 1;
        }
        if (all)
            f.positions.insert(std::lower_bound(f.positions.begin(), f.positions.end(), pos), pos);
    }
}

// Whether the entry at `a` comes before the one at `b` in order(key): what
// the stable sorts that make the order come to.
bool SearchIndex::before(SortKey key, uint32_t a, uint32_t b) const
{
    const Entry& x = entries_[a];
    const Entry& y = entries_[b];
    const auto by = [&](auto u, auto v) -> std::optional<bool> {
        if (u != v)
            return u < v;
        return std::nullopt;
    };
    std::optional<bool> first;
    switch (key) {
    case SortKey::FirstSeen: first = by(x.firstSeen, y.firstSeen); return first ? *first : a < b;
    case SortKey::Category: first = by(x.category, y.category); break;
    case SortKey::Favourite: first = by(x.favourite, y.favourite); break;
    case SortKey::Rating: first = by(x.rating, y.rating); break;
    case SortKey::Tags: first = by(field(x, 2), field(y, 2)); break;
    case SortKey::WhereFrom: first = by(field(x, 3), field(y, 3)); break;
    case SortKey::Name: break;
    }
    if (first)
        return *first;
    if (const auto name = by(field(x, 0), field(y, 0)))
        return *name;
    return a < b;
}

size_t SearchIndex::bytes() const
{
    size_t more = 0;
    for (const auto& o : orders_)
        more += o.capacity() * sizeof(uint32_t);
    for (const auto& r : ranks_)
        more += r.capacity() * sizeof(uint32_t);
    for (const Found& f : recent_)
        more += f.positions.capacity() * sizeof(uint32_t);
    return entries_.capacity() * sizeof(Entry) + text_.capacity() + more;
}

void SearchIndex::changed()
{
    built_.fill(false);
    orders_.assign(size_t(kSortKeys), {});
    ranks_.assign(size_t(kSortKeys), {});
    recent_.clear();
}

// The texts back to back in entry order again, without the replaced ones.
void SearchIndex::gather() const
{
    std::string packed;
    packed.reserve(text_.size() - garbage_);
    for (Entry& e : entries_) {
        const std::string_view h = hay(e);
        e.offset = uint32_t(packed.size());
        packed += h;
        packed += '\0';
    }
    text_ = std::move(packed);
    garbage_ = 0;
    scattered_ = false;
}

std::string_view SearchIndex::field(const Entry& e, int n) const
{
    std::string_view h = hay(e);
    for (int i = 0; i < n; ++i)
        h.remove_prefix(std::min(h.size(), h.find(kFieldEnd) + 1));
    return h.substr(0, std::min(h.find(kFieldEnd), h.find(kPlaceEnd)));
}

const std::vector<uint32_t>& SearchIndex::order(SortKey key) const
{
    if (orders_.size() != size_t(kSortKeys))
        orders_.resize(size_t(kSortKeys));
    std::vector<uint32_t>& o = orders_[size_t(key)];
    if (built_[size_t(key)])
        return o;
    built_[size_t(key)] = true;
    o.resize(entries_.size());
    std::iota(o.begin(), o.end(), 0u);
    if (key == SortKey::FirstSeen) {
        // Ids rise with time: only entries seen at the same second tie.
        std::stable_sort(o.begin(), o.end(), [this](uint32_t a, uint32_t b) {
            return entries_[a].firstSeen < entries_[b].firstSeen;
        });
        return o;
    }
    // Every other order ends by name, then id; the name first, once.
    std::vector<std::string_view> names(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i)
        names[i] = field(entries_[i], 0);
    std::stable_sort(o.begin(), o.end(), [&](uint32_t a, uint32_t b) { return names[a] < names[b]; });
    if (key == SortKey::Name)
        return o;
    const auto by = [&](auto keyOf) {
        std::stable_sort(o.begin(), o.end(), [&](uint32_t a, uint32_t b) { return keyOf(entries_[a]) < keyOf(entries_[b]); });
    };
    switch (key) {
    case SortKey::Category: by([](const Entry& e) { return e.category; }); break;
    case SortKey::Favourite: by([](const Entry& e) { return e.favourite; }); break;
    case SortKey::Rating: by([](const Entry& e) { return e.rating; }); break;
    case SortKey::Tags: by([this](const Entry& e) { return field(e, 2); }); break;
    case SortKey::WhereFrom: by([this](const Entry& e) { return field(e, 3); }); break;
    case SortKey::Name:
    case SortKey::FirstSeen: break;
    }
    return o;
}

const std::vector<uint32_t>& SearchIndex::ranks(SortKey key) const
{
    const std::vector<uint32_t>& o = order(key);
    if (ranks_.size() != size_t(kSortKeys))
        ranks_.resize(size_t(kSortKeys));
    std::vector<uint32_t>& r = ranks_[size_t(key)];
    if (r.size() != o.size()) {
        r.resize(o.size());
        for (uint32_t i = 0; i < o.size(); ++i)
            r[o[i]] = i;
    }
    return r;
}

size_t SearchIndex::anchor(const std::string& word) const
{
    size_t best = 0;
    for (size_t i = 1; i < word.size(); ++i)
        if (counts_[uint8_t(word[i])] < counts_[uint8_t(word[best])])
            best = i;
    return best;
}

SearchIndex::Positions SearchIndex::scan(const std::string& word) const
{
    if (scattered_)
        gather();
    Positions out;
    const size_t a = anchor(word);
    const char* all = text_.data();
    const size_t size = text_.size();
    size_t pos = a, cursor = 0;
    while (pos < size && cursor < entries_.size()) {
        const void* hit = std::memchr(all + pos, word[a], size - pos);
        if (!hit)
            break;
        const size_t at = size_t(static_cast<const char*>(hit) - all);
        const size_t start = at - a;
        pos = at + 1;
        if (start + word.size() > size || std::memcmp(all + start, word.data(), word.size()) != 0)
            continue;
        while (cursor < entries_.size() && entries_[cursor].offset + entries_[cursor].length < start + word.size())
            ++cursor;
        if (cursor == entries_.size())
            break;
        const Entry& e = entries_[cursor];
        if (start < e.offset)
            continue;  // in a replaced text between two entries
        out.push_back(cursor);
        pos = e.offset + e.length + 1 + a;  // the next entry
        ++cursor;
    }
    return out;
}

const SearchIndex::Positions& SearchIndex::textMatches(const std::vector<std::string>& wanted) const
{
    std::string key;
    for (const std::string& w : wanted)
        key += (key.empty() ? "" : " ") + w;
    const Found* base = nullptr;
    for (const Found& f : recent_) {
        if (f.text == key)
            return f.positions;
        // Every word of a text this one extends is in every entry this one finds.
        if (key.starts_with(f.text) && (!base || f.text.size() > base->text.size()))
            base = &f;
    }
    // Rarest words first; a few candidates are looked at one by one, many
    // are narrowed by a pass over all texts (which costs about as much as
    // looking at a twentieth of the entries one by one).
    std::vector<std::pair<uint32_t, const std::string*>> order;
    for (const std::string& w : wanted)
        order.push_back({counts_[uint8_t(w[anchor(w)])], &w});
    std::sort(order.begin(), order.end());
    const size_t few = entries_.size() / 20 + 1;
    Positions out;
    bool started = false;
    if (base && base->positions.size() <= few) {
        out = base->positions;
        started = true;
    }
    for (const auto& ordered : order) {
        // Not a structured binding: clang 14 (the fuzz build) cannot capture one.
        const std::string* word = ordered.second;
        if (!started) {
            out = scan(*word);
            started = true;
        } else if (out.size() <= few) {
            const size_t a = anchor(*word);
            std::erase_if(out, [&](uint32_t p) { return !holds(hay(entries_[p]), *word, a); });
        } else {
            const Positions more = scan(*word);
            Positions both;
            std::set_intersection(out.begin(), out.end(), more.begin(), more.end(), std::back_inserter(both));
            out = std::move(both);
        }
    }
    recent_.push_front({std::move(key), std::move(out)});
    size_t kept = 0, n = 0;
    while (n < recent_.size() && n < kRecentTexts && (n == 0 || kept + recent_[n].positions.size() <= kRecentPositions))
        kept += recent_[n++].positions.size();
    recent_.resize(n);
    return recent_.front().positions;
}

std::vector<int64_t> SearchIndex::match(std::string_view text, const SearchFilter& filter,
                                        const std::vector<int64_t>* only) const
{
    return page(text, filter, only, 0, SIZE_MAX).ids;
}

SearchIndex::Page SearchIndex::page(std::string_view text, const SearchFilter& filter, const std::vector<int64_t>* only,
                                    size_t offset, size_t limit) const
{
    const std::vector<std::string> wanted = words(text);
    const bool filtered = filter.category >= 0 || filter.favouritesOnly || filter.sourceKind != 0 || only;
    const auto passes = [&](uint32_t i) {
        const Entry& e = entries_[i];
        return (filter.category < 0 || e.category == filter.category) && (!filter.favouritesOnly || e.favourite)
               && (filter.sourceKind == 0 || (e.kinds & kindBit(filter.sourceKind)))
               && (!only || std::binary_search(only->begin(), only->end(), e.id));
    };
    const Positions* found = wanted.empty() ? nullptr : &textMatches(wanted);
    const auto matches = [&](uint32_t p) {
        return (!found || std::binary_search(found->begin(), found->end(), p)) && passes(p);
    };
    // Pinned entries that the text or the filter would leave out: there
    // all the same.
    Positions pinned;
    for (const int64_t id : filter.pinned) {
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                         [](const Entry& e, int64_t v) { return e.id < v; });
        if (at != entries_.end() && at->id == id && !matches(uint32_t(at - entries_.begin())))
            pinned.push_back(uint32_t(at - entries_.begin()));
    }
    std::sort(pinned.begin(), pinned.end());
    pinned.erase(std::unique(pinned.begin(), pinned.end()), pinned.end());

    // How many in all: one pass in entry order, which the memory likes.
    Page out;
    if (!filtered) {
        out.total = found ? found->size() : entries_.size();
    } else if (found) {
        for (const uint32_t p : *found)
            out.total += passes(p);
    } else {
        for (uint32_t i = 0; i < entries_.size(); ++i)
            out.total += passes(i);
    }
    out.pinnedOnly = pinned.size();
    out.total += pinned.size();
    if (offset >= out.total || limit == 0)
        return out;
    const size_t end = offset + std::min(limit, out.total - offset);

    // The first `end` in the filter's order.
    std::vector<uint32_t> first;
    first.reserve(end);
    if (!found || found->size() > entries_.size() / 16) {
        // Many: picked out while walking the whole order, up to the page's end.
        constexpr uint8_t kFound = 1, kPinned = 2;
        const bool marking = found || !pinned.empty();
        if (marking)
            marked_.resize(entries_.size());
        if (found)
            for (const uint32_t p : *found)
                marked_[p] |= kFound;
        for (const uint32_t p : pinned)
            marked_[p] |= kPinned;
        const auto pick = [&](auto at, auto last) {
            for (; at != last && first.size() < end; ++at)
                if ((marking && (marked_[*at] & kPinned)) || ((!found || (marked_[*at] & kFound)) && passes(*at)))
                    first.push_back(*at);
        };
        const std::vector<uint32_t>& o = order(filter.sort);
        if (filter.descending)
            pick(o.rbegin(), o.rend());
        else
            pick(o.begin(), o.end());
        if (found)
            for (const uint32_t p : *found)
                marked_[p] = 0;
        for (const uint32_t p : pinned)
            marked_[p] = 0;
    } else {
        // A few: put in order by each one's place in the order, only as far
        // as the page goes.
        for (const uint32_t p : *found)
            if (!filtered || passes(p))
                first.push_back(p);
        first.insert(first.end(), pinned.begin(), pinned.end());
        const std::vector<uint32_t>& rank = ranks(filter.sort);
        const auto before = [&](uint32_t a, uint32_t b) { return filter.descending ? rank[a] > rank[b] : rank[a] < rank[b]; };
        if (end < first.size()) {
            std::nth_element(first.begin(), first.begin() + std::ptrdiff_t(end), first.end(), before);
            first.resize(end);
        }
        std::sort(first.begin(), first.end(), before);
    }
    out.ids.reserve(end - offset);
    for (size_t k = offset; k < end; ++k)
        out.ids.push_back(entries_[first[k]].id);
    return out;
}

} // namespace kw
