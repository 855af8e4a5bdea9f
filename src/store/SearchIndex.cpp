#include "store/SearchIndex.h"

#include "files/FilePaths.h"
#include "model/NameTables.h"
#include "model/ValueLists.h"

#include <algorithm>
#include <numeric>

namespace kw {

namespace {

constexpr char kFieldEnd = '\x1f';
constexpr char kPlaceEnd = '\x1e';
constexpr int kSortKeys = int(SortKey::FirstSeen) + 1;

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

} // namespace

void SearchIndex::clear()
{
    entries_.clear();
    text_.clear();
    garbage_ = 0;
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

    const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                     [](const Entry& e, int64_t v) { return e.id < v; });
    Entry e{id, f.firstSeen, uint32_t(text_.size()), uint32_t(hay.size()), uint8_t(f.category), uint8_t(f.favourite),
            uint8_t(f.rating)};
    if (at != entries_.end() && at->id == id) {
        garbage_ += at->length;
        *at = e;
    } else {
        entries_.insert(at, e);
    }
    text_ += hay;
    if (garbage_ > text_.size() / 2) {
        // Gather the live texts again, so replaced ones cost nothing for long.
        std::string packed;
        packed.reserve(text_.size() - garbage_);
        for (Entry& x : entries_) {
            const std::string_view h = this->hay(x);
            x.offset = uint32_t(packed.size());
            packed += h;
        }
        text_ = std::move(packed);
        garbage_ = 0;
    }
    changed();
}

void SearchIndex::erase(int64_t id)
{
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), id,
                                     [](const Entry& e, int64_t v) { return e.id < v; });
    if (at == entries_.end() || at->id != id)
        return;
    garbage_ += at->length;
    entries_.erase(at);
    changed();
}

size_t SearchIndex::bytes() const
{
    size_t orders = 0;
    for (const auto& o : orders_)
        orders += o.capacity() * sizeof(uint32_t);
    return entries_.capacity() * sizeof(Entry) + text_.capacity() + orders;
}

void SearchIndex::changed()
{
    orders_.assign(size_t(kSortKeys), {});
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
    if (o.size() == entries_.size())
        return o;
    o.resize(entries_.size());
    std::iota(o.begin(), o.end(), 0u);
    const auto byName = [this](const Entry& a, const Entry& b) {
        const auto na = field(a, 0), nb = field(b, 0);
        return na != nb ? na < nb : a.id < b.id;
    };
    const auto less = [&](uint32_t ia, uint32_t ib) {
        const Entry& a = entries_[ia];
        const Entry& b = entries_[ib];
        switch (key) {
        case SortKey::Name: break;
        case SortKey::Category:
            if (a.category != b.category)
                return a.category < b.category;
            break;
        case SortKey::Favourite:
            if (a.favourite != b.favourite)
                return a.favourite < b.favourite;
            break;
        case SortKey::Rating:
            if (a.rating != b.rating)
                return a.rating < b.rating;
            break;
        case SortKey::Tags:
        case SortKey::WhereFrom: {
            const auto fa = field(a, key == SortKey::Tags ? 2 : 3), fb = field(b, key == SortKey::Tags ? 2 : 3);
            if (fa != fb)
                return fa < fb;
            break;
        }
        case SortKey::FirstSeen:
            if (a.firstSeen != b.firstSeen)
                return a.firstSeen < b.firstSeen;
            return a.id < b.id;
        }
        return byName(a, b);
    };
    std::sort(o.begin(), o.end(), less);
    return o;
}

std::vector<int64_t> SearchIndex::match(std::string_view text, const SearchFilter& filter,
                                        const std::vector<int64_t>* only) const
{
    const std::vector<std::string> wanted = words(text);
    const std::vector<uint32_t>& o = order(filter.sort);
    std::vector<int64_t> out;
    const auto consider = [&](uint32_t i) {
        const Entry& e = entries_[i];
        if (filter.category >= 0 && e.category != filter.category)
            return;
        if (filter.favouritesOnly && !e.favourite)
            return;
        if (only && !std::binary_search(only->begin(), only->end(), e.id))
            return;
        const std::string_view h = hay(e);
        for (const std::string& w : wanted)
            if (h.find(w) == std::string_view::npos)
                return;
        out.push_back(e.id);
    };
    if (filter.descending)
        std::for_each(o.rbegin(), o.rend(), consider);
    else
        std::for_each(o.begin(), o.end(), consider);
    return out;
}

} // namespace kw
