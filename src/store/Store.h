#pragma once
// The performance library: one SQLite file that keeps every performance
// that passed through the program once, with where and when it was seen and
// what the user noted about it. No widgets and no Qt; a window, the import
// and the command line all work through this class. One Store per thread
// (each is its own connection); several, in one process or several, may
// share a file: a writer waits for another up to the busy timeout.

#include "files/NamesFile.h"
#include "model/Result.h"
#include "store/PerformanceData.h"
#include "store/Sources.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kw {

namespace sql {
class Connection;
class Statement;
class Error;
} // namespace sql

class RowCache;
class SearchIndex;
class SoundTable;

struct StoreError {
    enum class Kind {
        Busy,      // another program held the library longer than the busy timeout
        Full,      // the disk (or the library's size cap) is full
        Damaged,   // SQLite found the file damaged
        ReadOnly,  // the library was opened read-only, or cannot be written
        Failed,    // anything else: SQLite's words say what
    };
    Kind kind = Kind::Failed;
    std::string text;  // in words, e.g. "the disk is full"
};

// Either a value or the error that prevented it.
template <class T>
using StoreResult = BasicResult<T, StoreError>;

// Changes answer nothing when they worked.
using StoreStatus = std::optional<StoreError>;

struct Remembered {
    int64_t id = 0;
    bool isNew = false;
};

// One row as a window shows it.
struct LibraryRow {
    int64_t id = 0;
    std::string name;  // UTF-8, the user's (at first the performance's own, trimmed)
    int category = 0;  // 0..22, the user's (at first the performance's own)
    bool favourite = false;
    int rating = 0;  // 0..5
    std::vector<std::string> tags;
    std::string notes;
    std::string whereFrom;  // the label of the first place it was seen
    int sightings = 0;      // how many places and times it was seen
    int64_t firstSeen = 0;  // seconds since 1970, UTC
    // Another entry with the same sound and another name or category, as
    // "SQ Pan Seq"; empty when there is none.
    std::string twinOf;
    int64_t twinId = 0;
};

// Changes a user makes to one or many rows at once; what is not set stays.
struct RowEdit {
    std::optional<std::string> name;  // UTF-8; blank names are refused
    std::optional<int> category;      // 0..22
    std::optional<bool> favourite;
    std::optional<int> rating;  // 0..5
    std::optional<std::vector<std::string>> tags;  // all of each row's tags
    // Tags put on or taken off every row, the others each row has left as
    // they are; a tag is found whatever its letter case, and taken off
    // before one is put on (so "Warm" off and "warm" on respells it).
    std::vector<std::string> addTags, removeTags;
    std::optional<std::string> notes;
};

enum class SortKey { Name, Category, Favourite, Rating, Tags, WhereFrom, FirstSeen };

struct SearchFilter {
    int category = -1;  // -1: any
    bool favouritesOnly = false;
    int64_t importId = 0;  // only what this import brought; 0: any
    std::string folder;    // only what was seen in this folder or below it; "": any
    // Only what was seen in this kind of place (a Source::Kind: a file, the
    // synth's user performances, kept from the editor); 0: any.
    int sourceKind = 0;
    SortKey sort = SortKey::Name;
    bool descending = false;
    // Ascending ids shown whatever the text and the rest of the filter say
    // (a removed one is not): rows the user just changed stay where they
    // are seen instead of vanishing under the search that found them.
    std::vector<int64_t> pinned;
};

// An entry and how far its sound lies from another (SoundDistance).
struct Nearby {
    int64_t id = 0;
    double distance = 0;
    bool twin = false;  // the same sound (under another name or category)
};

// Where and when an entry was seen, one place and import at a time.
struct Sighting {
    std::string place;  // Source::label()
    int64_t firstSeen = 0, lastSeen = 0;
    std::string import;  // the import's label, or "" when it came otherwise
};

// The entries that sound like one: the same sound (twins), or the same name
// with another sound (its versions: the same performance edited and kept
// again), each first seen first.
struct Kin {
    std::vector<int64_t> twins;
    std::vector<int64_t> versions;
};

struct SearchPage {
    size_t total = 0;       // how many match in all, the pinned ones included
    size_t pinnedOnly = 0;  // of total: shown only because they are pinned
    std::vector<LibraryRow> rows;
};

class Store {
public:
    struct Options {
        int busyTimeoutMs = 5000;
        bool readOnly = false;
        // A cap on the file's size in pages (PRAGMA max_page_count); 0: none.
        int64_t maxPages = 0;
        // Seconds since 1970; the system clock when empty.
        std::function<int64_t()> now;
        // A file that is no usable library is moved aside and a new library
        // started: right for the program's own library, never for a path
        // the user named, which may be any file of theirs (it is refused).
        bool moveAside = true;
        // A missing library is made (with its folder); without, it is
        // refused: a command that only reads makes nothing.
        bool create = true;
    };

    // Opens the library at `path`, creating it (and its folder) when
    // missing. A file that is damaged, not SQLite, not a library of this
    // program, or of a newer schema is never written: it is moved aside
    // (with its -wal and -shm files) under a name that takes nothing's
    // place, and a new library is started; notes() then says so. A file
    // that cannot be written is opened read-only (notes() says that too).
    static StoreResult<std::unique_ptr<Store>> open(const std::filesystem::path& path, Options options);
    static StoreResult<std::unique_ptr<Store>> open(const std::filesystem::path& path);
    ~Store();

    const std::filesystem::path& path() const { return path_; }
    bool readOnly() const { return readOnly_; }
    // What opening found, in words for the user: "The library file was
    // damaged (file is not a database); it was moved aside as
    // .../library.sqlite.bad and a new library was started."
    const std::vector<std::string>& notes() const { return notes_; }
    // The schema version this program writes.
    static int schemaVersion();

    // Keeps a performance once and the place it was seen. A performance
    // already kept only gains the sighting (or its last date); so does one
    // that is what record() makes of an entry (renamed here and exported).
    // One the user removed comes back as it was (isNew: it is new to what
    // the user sees).
    StoreResult<Remembered> remember(const PerformanceData& data, const Source& source, int64_t importId = 0);
    StoreResult<Remembered> remember(const PerformanceRecord& record, const Source& source, int64_t importId = 0);
    // The entry that holds `data` as remember() finds it, if any (and not
    // removed).
    StoreResult<std::optional<int64_t>> find(const PerformanceData& data);

    // Removal the user can undo: removed entries keep their fields, tags,
    // sightings and twins but are seen by nothing (count, match, search,
    // rows, find, data, record, twins) until restore() brings them back, or
    // remember() keeps the same data again. Unknown ids are passed over.
    StoreStatus remove(std::span<const int64_t> ids);
    // Brings removed entries back; fails (and brings back the rest) when
    // some of them were purged meanwhile.
    StoreStatus restore(std::span<const int64_t> ids);
    // Deletes for good, with their tags and sightings, the entries this
    // store removed and did not restore, when undo can no longer ask for
    // them (the program ends), and whatever was removed more than a week
    // ago. Another program's removals stay for its own undo. Opening a
    // library that can be written purges what was removed more than a week
    // ago, so a program that died leaves nothing behind for good.
    StoreStatus purgeRemoved();

    // Many changes as one: begin() waits for another writer up to the busy
    // timeout; until commit() nothing is visible to others and a kill loses
    // all of it, nothing else. rollback() drops it. Without begin() each
    // change is its own transaction.
    StoreStatus begin();
    StoreStatus commit();
    void rollback();

    StoreResult<size_t> count();
    // Every entry that matches all words of `text` (letter case ignored) in
    // its name, category, tags or where it was seen, filtered and sorted.
    StoreResult<std::vector<int64_t>> match(const std::string& text, const SearchFilter& filter);
    // match(), and the rows from `offset` on, at most `limit`.
    StoreResult<SearchPage> search(const std::string& text, const SearchFilter& filter, size_t offset, size_t limit);
    StoreResult<std::vector<LibraryRow>> rows(std::span<const int64_t> ids);
    // Every place and time an entry was seen, first first: "CS1x user 061
    // (2024-05-01 14:03)".
    StoreResult<std::vector<std::string>> sightings(int64_t id);

    // What the library last saw in each of the synth's 128 user memories:
    // the entry last seen at "CS1x user NNN" and when (seconds since 1970),
    // by number 0..127; nothing where none was (or it was removed).
    struct MemorySighting {
        int64_t id = 0;
        int64_t lastSeen = 0;
    };
    StoreResult<std::vector<std::optional<MemorySighting>>> lastSeenInUserMemories();

    StoreStatus edit(std::span<const int64_t> ids, const RowEdit& edit);

    StoreResult<PerformanceData> data(int64_t id);
    // As user performance `number`, with the user's name and category.
    StoreResult<PerformanceRecord> record(int64_t id, int number);

    // An import as a source of its own: what it was of, when.
    StoreResult<int64_t> beginImport(const std::string& what);
    StoreStatus finishImport(int64_t id, const std::string& outcome);
    // Newest first; only imports that brought an entry not removed.
    StoreResult<std::vector<ImportInfo>> imports();

    // The synth's 128 user-performance list entries (Windows-1252) as last
    // seen, or nothing before they were first seen.
    StoreResult<std::optional<NameLines>> lastSeenUserNames();
    StoreStatus setLastSeenUserNames(const NameLines& lines);
    StoreStatus setLastSeenUserName(int number, const std::string& line);

    // PRAGMA integrity_check: "ok", or what SQLite found.
    StoreResult<std::string> integrityCheck();

    // The `limit` entries whose sounds lie nearest to `from`, nearest
    // first, twins first among equals; the entry `except` is left out. The
    // first call reads every entry's data into memory (24 MB for 100,000),
    // which is read again only after the library changed.
    StoreResult<std::vector<Nearby>> nearest(const PerformanceData& from, size_t limit, int64_t except = 0);
    // sightings() one by one, as a script reads them.
    StoreResult<std::vector<Sighting>> places(int64_t id);
    StoreResult<Kin> kin(int64_t id);
    // An import's user fields for what it brought (a file of them beside an
    // export): they fill only what the user has not set here, so nothing of
    // the user's is replaced; tags are added to those the entry has.
    StoreStatus adoptFields(int64_t id, const RowEdit& fields);

private:
    Store(std::filesystem::path path, Options options);
    template <class F>
    auto guarded(F&& work) -> StoreResult<decltype(work())>;
    template <class F>
    StoreStatus guardedStatus(F&& work);
    StoreError translate(const sql::Error& e) const;
    // A write transaction unless one is open: a sql::Transaction that also
    // does the store's bookkeeping (ended()) when it ends.
    class Writing;
    // Runs `work` in a write transaction unless one is open.
    template <class F>
    auto writing(F&& work) -> decltype(work());
    // Runs `work` in one read transaction unless one is open: one snapshot
    // for all its statements, and no lock taken and released for each.
    template <class F>
    auto reading(F&& work) -> decltype(work());
    void requireWritable() const;
    // The entry remember() would add a place to: the one holding exactly
    // `data`, else one whose record() is `data`; 0 when none. Throws.
    struct Held {
        int64_t id = 0;
        bool removed = false;
    };
    Held holder(const PerformanceData& data);
    int64_t sourceId(const Source& source);
    int64_t now() const;
    void touched(int64_t id);
    // A transaction ended: what the search index took from it stays, or
    // (rolled back) is looked up again.
    void ended(bool committed);
    void purgeRemovedBefore(int64_t when);
    SearchIndex& index();
    // What the filter's import and folder let through, ascending ids; null:
    // they let everything through.
    const std::vector<int64_t>* onlyFor(const SearchFilter& filter);

    std::filesystem::path path_;
    Options options_;
    bool readOnly_ = false;
    std::vector<std::string> notes_;
    std::unique_ptr<sql::Connection> db_;
    struct Statements;
    std::unique_ptr<Statements> st_;
    std::unique_ptr<SearchIndex> index_;
    int64_t dataVersion_ = -1;
    // Ids changed through this connection since the search index last looked.
    std::unordered_set<int64_t> dirty_;
    // Ids changed in the transaction open now.
    std::unordered_set<int64_t> changedInTransaction_;
    // The count of entries, and when it was made.
    struct Counted {
        int64_t version;
        uint64_t changes;
        size_t n;
    };
    std::optional<Counted> counted_;
    // Removed by this store and not restored: what purgeRemoved() may delete.
    std::unordered_set<int64_t> removedHere_;
    std::unordered_map<std::string, int64_t> sourceIds_;  // "kind:text" -> id
    // Changes through this connection, rollbacks included: with the file's
    // data_version, what says whether what was read is still right.
    uint64_t changes_ = 0;
    struct Only {
        int64_t importId = 0;
        std::string folder;
        int64_t version = 0;
        uint64_t changes = 0;
        std::vector<int64_t> ids;
    };
    std::optional<Only> only_;
    std::unique_ptr<RowCache> rows_;
    // Every entry's data for nearest(), and when it was read.
    std::unique_ptr<SoundTable> sounds_;
    int64_t soundsVersion_ = -1;
    uint64_t soundsChanges_ = 0;
};

} // namespace kw
