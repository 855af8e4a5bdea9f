#pragma once
// What a search as one types looks through, kept in memory: per entry one
// folded text of its name, category, tags and the places it was seen, and
// the few values rows are filtered and sorted by. Scanning 100,000 such
// texts takes a few milliseconds where SQLite's LIKE over the same rows
// takes a hundred; the rows themselves are read from the file only when
// shown.

#include "store/Store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class SearchIndex {
public:
    struct Fields {
        std::string name;   // UTF-8
        int category = 0;
        bool favourite = false;
        int rating = 0;
        std::string tags;   // joined by blanks
        std::vector<std::string> places;  // source labels, first seen first
        int64_t firstSeen = 0;
    };

    void clear();
    // Adds the entry or replaces what it held.
    void put(int64_t id, const Fields& fields);
    void erase(int64_t id);
    size_t size() const { return entries_.size(); }
    // Private memory in bytes, about.
    size_t bytes() const;

    // Ids of the entries that hold every word of `text` and pass the
    // filter's category and favourite rules, in the filter's order. With
    // `only` (ascending ids), only those ids can match.
    std::vector<int64_t> match(std::string_view text, const SearchFilter& filter,
                               const std::vector<int64_t>* only) const;

private:
    struct Entry {
        int64_t id;
        int64_t firstSeen;
        uint32_t offset;  // into text_: name \x1f category \x1f tags \x1f places
        uint32_t length;
        uint8_t category, favourite, rating;
    };
    std::string_view hay(const Entry& e) const { return {text_.data() + e.offset, e.length}; }
    std::string_view field(const Entry& e, int n) const;
    const std::vector<uint32_t>& order(SortKey key) const;
    void changed();

    std::vector<Entry> entries_;  // by id
    std::string text_;
    size_t garbage_ = 0;
    mutable std::vector<std::vector<uint32_t>> orders_;  // per SortKey, made when first asked
};

} // namespace kw
