#pragma once
// The rows the library window shows, kept as they were read: typing and
// scrolling show the same rows again and again, and reading one (its tags,
// where it was first seen, its twins) costs several statements. A row is
// kept until it changes: through the store's own connection the store says
// which (changed()), another connection's changes show in the file's data
// version and drop them all.

#include "store/Sqlite.h"
#include "store/Store.h"

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kw {

class RowCache {
public:
    // Prepares its statements on the store's connection; throws sql::Error.
    explicit RowCache(sql::Connection& db);

    // The rows of `ids` that are there and not removed, in that order: kept
    // ones as kept, the others read (in the caller's transaction, if any).
    std::vector<LibraryRow> rows(std::span<const int64_t> ids);

    // An entry changed through the store's connection: its row, and its
    // twins' (they show its name), are read again.
    void changed(int64_t id);
    // A transaction rolled back: any row may show what it dropped.
    void rolledBack() { allStale_ = true; }

private:
    struct Kept {
        LibraryRow row;
        int64_t sound = 0;  // its twins are the rows of the same sound
    };

    void dropStale();
    std::optional<LibraryRow> read(int64_t id, int64_t* sound);

    sql::Connection& db_;
    sql::Statement dataVersion_, row_, tags_, firstPlace_, twins_;
    std::unordered_map<int64_t, Kept> kept_;
    int64_t version_ = -1;
    // Ids changed through this connection since the kept rows were
    // checked; with allStale_ (a rollback), all of them are dropped.
    std::unordered_set<int64_t> changed_;
    bool allStale_ = false;
};

} // namespace kw
