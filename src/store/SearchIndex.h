#pragma once
// What a search as one types looks through, kept in memory: per entry one
// folded text of its name, category, tags and the places it was seen, and
// the few values rows are filtered and sorted by. The texts lie back to back
// in one buffer that a search scans in one pass (SQLite's LIKE over the same
// rows takes a hundred milliseconds); the rows themselves are read from the
// file only when shown. A keystroke that only adds to the text looks again
// only at what the text before it found.

#include "store/Sqlite.h"
#include "store/Store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kw {

class SearchIndex {
public:
    struct Fields {
        std::string name;  // UTF-8
        int category = 0;
        bool favourite = false;
        int rating = 0;
        std::string tags;                 // joined by blanks
        std::vector<std::string> places;  // source labels, first seen first
        int64_t firstSeen = 0;
        uint8_t kinds = 0;  // kindBit() of each kind of place it was seen in
    };
    // A source kind as one bit; kinds beyond what a byte holds share the last.
    static constexpr uint8_t kindBit(int64_t kind) { return uint8_t(1u << std::clamp<int64_t>(kind, 0, 7)); }

    // Read from the library's file through the store's connection (in its
    // transaction, if one is open): every entry that is not removed.
    static std::unique_ptr<SearchIndex> load(sql::Connection& db);
    // What reload() reads an entry with: prepared once, on the store's
    // connection, and kept with it (a search after each change is the
    // common case, and preparing costs more than reading a few entries).
    struct Reads {
        explicit Reads(sql::Connection& db);
        sql::Statement row, places;
    };
    // The entries of `ids` read again from the file: each changed, came
    // back, or went (removed or purged).
    void reload(Reads& reads, const std::unordered_set<int64_t>& ids);

    void clear();
    // Adds the entry or replaces what it held. Entries put in rising id
    // order (as a rebuild does) cost nothing beyond their text.
    void put(int64_t id, const Fields& fields);
    void erase(int64_t id);
    // put() and erase() keep the orders and recent results right, at a cost
    // per change of a pass over them; before many changes, dropping them is
    // cheaper.
    void forgetSearches();
    size_t size() const { return entries_.size(); }
    // Private memory in bytes, about.
    size_t bytes() const;

    // Ids of the entries that hold every word of `text` (letter case
    // ignored) and pass the filter's category, favourite and source kind
    // rules, in the filter's order. With `only` (ascending ids), only those
    // ids can match. The filter's pinned ids are there whatever they hold.
    std::vector<int64_t> match(std::string_view text, const SearchFilter& filter,
                               const std::vector<int64_t>* only) const;
    // match(): how many in all, and the ids from `offset` on, at most
    // `limit`. Puts in order only what the page needs: a keystroke that
    // finds most of the library costs what the first page costs.
    struct Page {
        size_t total = 0;
        size_t pinnedOnly = 0;  // of total: there only because they are pinned
        std::vector<int64_t> ids;
    };
    Page page(std::string_view text, const SearchFilter& filter, const std::vector<int64_t>* only, size_t offset,
              size_t limit) const;

private:
    struct Entry {
        int64_t id;
        int64_t firstSeen;
        uint32_t offset;  // into text_: name \x1f category \x1f tags \x1f places \0
        uint32_t length;  // without the closing \0
        uint8_t category, favourite, rating, kinds;
    };
    // Positions in entries_ whose text holds every word, ascending.
    using Positions = std::vector<uint32_t>;
    struct Found {
        std::string text;  // the words joined by one blank
        Positions positions;
    };

    std::string_view hay(const Entry& e) const { return {text_.data() + e.offset, e.length}; }
    std::string_view field(const Entry& e, int n) const;
    const std::vector<uint32_t>& order(SortKey key) const;
    // Each entry's place in order(key).
    const std::vector<uint32_t>& ranks(SortKey key) const;
    const Positions& textMatches(const std::vector<std::string>& words) const;
    // Every entry whose text holds `word`, by one pass over all texts.
    Positions scan(const std::string& word) const;
    // The position in `word` of its rarest byte in the texts: what a
    // scan looks for first.
    size_t anchor(const std::string& word) const;
    void gather() const;
    void changed();
    void unplace(uint32_t pos);
    void shift(uint32_t from, int by);
    void place(uint32_t pos);
    bool before(SortKey key, uint32_t a, uint32_t b) const;

    // gather() moves texts, so a search (const) may change where they lie.
    mutable std::vector<Entry> entries_;  // by id
    mutable std::string text_;
    mutable bool scattered_ = false;  // texts not in entry order (some were replaced)
    mutable size_t garbage_ = 0;      // bytes of texts replaced or erased
    mutable std::vector<std::vector<uint32_t>> orders_;  // per SortKey, made when first asked
    mutable std::array<bool, 7> built_{};                 // per SortKey: orders_ made
    mutable std::vector<std::vector<uint32_t>> ranks_;   // per SortKey, likewise
    mutable std::deque<Found> recent_;                    // newest first
    mutable std::vector<uint8_t> marked_;                 // per entry, all 0 between searches
    std::array<uint32_t, 256> counts_{};                  // bytes in the texts, about
};

} // namespace kw
