#include "store/Store.h"

#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "store/RowCache.h"
#include "store/SearchIndex.h"
#include "store/SoundTable.h"
#include "store/Sqlite.h"
#include "store/StoreFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <set>

namespace fs = std::filesystem;

namespace kw {

namespace {

// How long a removed entry waits for an undo that may never come (the
// program died before it purged).
constexpr int64_t kRemovedKeptSeconds = 7 * 24 * 3600;

std::string shownName(const PerformanceData& data)
{
    return printable(trimBlanks(dataName(data)));
}

// What an export writes of an entry: its data under the name and category
// the user gave it (what the synth cannot show becomes '?').
PerformanceData exported(PerformanceData data, const std::string& name, int64_t category)
{
    const std::string bytes = utf8ToCp1252(name);
    if (bytes != trimBlanks(dataName(data))) {
        for (size_t i = 0; i < 8; ++i) {
            const uint8_t c = i < bytes.size() ? uint8_t(bytes[i]) : ' ';
            data[kDataNameOffset + i] = c >= 0x20 && c < 0x7F ? c : '?';
        }
    }
    data[kDataCategoryOffset] = uint8_t(category & 0x7F);
    return data;
}

std::vector<std::string> cleanTags(const std::vector<std::string>& tags)
{
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const std::string& t : tags) {
        const size_t b = t.find_first_not_of(" \t");
        if (b == std::string::npos)
            continue;
        const std::string trimmed = t.substr(b, t.find_last_not_of(" \t") - b + 1);
        if (seen.insert(foldCase(trimmed)).second)
            out.push_back(trimmed);
    }
    return out;
}

[[noreturn]] void refuse(int code, const std::string& why)
{
    throw sql::Error(code, why);
}

// What `work` returns, with `tx` committed after it: by then its statements
// are reset or finalized. When it throws, `tx` is left to roll back.
template <class Tx, class F>
auto thenCommit(Tx& tx, F& work) -> decltype(work())
{
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        tx.commit();
    } else {
        auto result = work();
        tx.commit();
        return result;
    }
}

} // namespace

// ------------------------------------------------------------------- Store

struct Store::Statements {
    sql::Statement findHolder, insertPerformance, findSource, insertSource, sighting, dataVersion, row;
    SearchIndex::Reads indexReads;

    explicit Statements(sql::Connection& db)
        : findHolder(db.prepare("SELECT id, data, removed, name, category FROM performances "
                                "WHERE hash = ?1 OR (sound_hash = ?2 AND name = ?3)")),
          insertPerformance(db.prepare("INSERT INTO performances (hash, sound_hash, data, name, category, first_seen) "
                                       "VALUES (?, ?, ?, ?, ?, ?)")),
          findSource(db.prepare("SELECT id FROM sources WHERE kind = ? AND text = ?")),
          insertSource(db.prepare("INSERT INTO sources (kind, text) VALUES (?, ?)")),
          sighting(db.prepare("INSERT INTO sightings (performance_id, source_id, import_id, first_seen, last_seen) "
                              "VALUES (?1, ?2, ?3, ?4, ?4) ON CONFLICT (performance_id, source_id, import_id) "
                              "DO UPDATE SET last_seen = excluded.last_seen")),
          dataVersion(db.prepare("PRAGMA data_version")),
          row(db.prepare("SELECT name, category, favourite, rating, notes, first_seen, sound_hash, data "
                         "FROM performances WHERE id = ? AND removed = 0")),
          indexReads(db)
    {
    }
};

Store::Store(fs::path path, Options options) : path_(std::move(path)), options_(std::move(options)) {}

Store::~Store()
{
    if (db_ && db_->inTransaction())
        rollback();
    rows_.reset();
    sounds_.reset();
    st_.reset();
    db_.reset();
}

int Store::schemaVersion()
{
    return StoreFile::schemaVersion();
}

int64_t Store::now() const
{
    return options_.now ? options_.now() : int64_t(std::time(nullptr));
}

StoreResult<std::unique_ptr<Store>> Store::open(const fs::path& path)
{
    return open(path, Options());
}

StoreResult<std::unique_ptr<Store>> Store::open(const fs::path& path, Options options)
{
    std::unique_ptr<Store> store(new Store(path, std::move(options)));
    Store& s = *store;
    auto file = StoreFile::open(path, s.options_);
    if (!file)
        return file.error();
    s.readOnly_ = file->readOnly();
    s.notes_ = file->notes();
    s.db_ = file->takeConnection();
    try {
        s.st_ = std::make_unique<Statements>(*s.db_);
        s.rows_ = std::make_unique<RowCache>(*s.db_);
        if (!s.readOnly_) {
            try {
                s.purgeRemovedBefore(s.now() - kRemovedKeptSeconds);
            } catch (const sql::Error&) {
                // Only tidying: another program writing now, or a full disk,
                // leaves it to the next opening.
            }
        }
    } catch (const sql::Error& e) {
        s.rows_.reset();
        s.st_.reset();
        s.db_.reset();
        return s.translate(e);
    }
    return store;
}

StoreError Store::translate(const sql::Error& e) const
{
    return StoreFile::error(path_, e);
}

template <class F>
auto Store::guarded(F&& work) -> StoreResult<decltype(work())>
{
    try {
        return work();
    } catch (const sql::Error& e) {
        return translate(e);
    }
}

template <class F>
StoreStatus Store::guardedStatus(F&& work)
{
    try {
        work();
        return std::nullopt;
    } catch (const sql::Error& e) {
        return translate(e);
    }
}

void Store::requireWritable() const
{
    if (readOnly_)
        refuse(SQLITE_READONLY, "opened read-only");
}

// Rolled back unless committed, as its sql::Transaction is, and then as
// Store::rollback() does: the source ids it made are forgotten, and the
// search index and the rows kept look again at what it had changed.
class Store::Writing {
public:
    explicit Writing(Store& store) : store_(store), tx_(writable(store), sql::Transaction::Kind::Write) {}
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;
    ~Writing()
    {
        if (tx_.owns() && !committed_)
            store_.rollback();
    }
    void commit()
    {
        tx_.commit();
        if (tx_.owns()) {
            committed_ = true;
            store_.ended(true);
        }
    }

private:
    static sql::Connection& writable(Store& store)
    {
        store.requireWritable();
        return *store.db_;
    }

    Store& store_;
    sql::Transaction tx_;
    bool committed_ = false;
};

template <class F>
auto Store::writing(F&& work) -> decltype(work())
{
    Writing tx(*this);
    return thenCommit(tx, work);
}

template <class F>
auto Store::reading(F&& work) -> decltype(work())
{
    sql::Transaction tx(*db_, sql::Transaction::Kind::Read);
    return thenCommit(tx, work);
}

StoreStatus Store::begin()
{
    return guardedStatus([&] {
        requireWritable();
        db_->exec("BEGIN IMMEDIATE");
    });
}

StoreStatus Store::commit()
{
    const StoreStatus failed = guardedStatus([&] { db_->exec("COMMIT"); });
    if (failed)
        rollback();
    else
        ended(true);
    return failed;
}

void Store::rollback()
{
    db_->rollbackQuietly();
    sourceIds_.clear();
    ended(false);
}

void Store::touched(int64_t id)
{
    ++changes_;
    rows_->changed(id);
    if (index_)
        dirty_.insert(id);
    if (db_->inTransaction())
        changedInTransaction_.insert(id);
}

void Store::ended(bool committed)
{
    // The search index may have taken changes that a rollback dropped (a
    // search in the middle of a transaction, or an index built there):
    // those rows are looked up again.
    if (!committed) {
        ++changes_;
        if (rows_)
            rows_->rolledBack();
        if (index_)
            dirty_.insert(changedInTransaction_.begin(), changedInTransaction_.end());
    }
    changedInTransaction_.clear();
}

int64_t Store::sourceId(const Source& source)
{
    const std::string text = sourceText(source);
    const std::string key = std::to_string(int(source.kind)) + ":" + text;
    if (const auto it = sourceIds_.find(key); it != sourceIds_.end())
        return it->second;
    int64_t id = 0;
    {
        sql::Use find(st_->findSource);
        find->bind(1, int64_t(source.kind)).bind(2, text);
        if (find->step())
            id = find->integer(0);
    }
    if (id == 0) {
        sql::Use insert(st_->insertSource);
        insert->bind(1, int64_t(source.kind)).bind(2, text);
        insert->step();
        id = db_->lastInsertId();
    }
    sourceIds_.emplace(key, id);
    return id;
}

StoreResult<Remembered> Store::remember(const PerformanceRecord& record, const Source& source, int64_t importId)
{
    return remember(performanceData(record), source, importId);
}

StoreResult<Remembered> Store::remember(const PerformanceData& data, const Source& source, int64_t importId)
{
    if (std::any_of(data.begin(), data.end(), [](uint8_t b) { return b & 0x80; }))
        return StoreError{StoreError::Kind::Failed, "a performance with data bytes of 0x80 or more is damaged"};
    return guarded([&] {
        return writing([&] {
            const int64_t when = now();
            const Held held = holder(data);
            Remembered r{held.id, held.removed};
            if (r.isNew) {
                // Removed, and seen again: back as the user left it.
                sql::Statement back = db_->prepare("UPDATE performances SET removed = 0 WHERE id = ?");
                back.bind(1, r.id);
                back.step();
            } else if (r.id == 0) {
                sql::Use insert(st_->insertPerformance);
                insert->bind(1, int64_t(dataHash(data)))
                    .bind(2, int64_t(soundHash(data)))
                    .bind(3, ByteView(data))
                    .bind(4, shownName(data))
                    .bind(5, int64_t(dataCategory(data)))
                    .bind(6, when);
                insert->step();
                r.id = db_->lastInsertId();
                r.isNew = true;
            }
            const int64_t sid = sourceId(source);
            sql::Use sight(st_->sighting);
            sight->bind(1, r.id).bind(2, sid).bind(3, importId).bind(4, when);
            sight->step();
            touched(r.id);
            return r;
        });
    });
}

Store::Held Store::holder(const PerformanceData& data)
{
    // One look for both: the entry that holds exactly these bytes, and one
    // renamed (or given another category) here and exported, which comes
    // back with the user's name in its bytes: the same entry, not a twin.
    Held renamed, removed;
    sql::Use find(st_->findHolder);
    find->bind(1, int64_t(dataHash(data))).bind(2, int64_t(soundHash(data))).bind(3, shownName(data));
    while (find->step()) {
        const ByteView stored = find->blob(1);
        if (stored.size() != kPerformanceDataSize)
            continue;
        const Held held{find->integer(0), find->integer(2) != 0};
        if (std::equal(stored.begin(), stored.end(), data.begin(), data.end()))
            return held;
        PerformanceData kept{};
        std::copy(stored.begin(), stored.end(), kept.begin());
        if (exported(kept, find->text(3), find->integer(4)) != data)
            continue;
        Held& candidate = held.removed ? removed : renamed;
        if (candidate.id == 0)
            candidate = held;
    }
    return renamed.id != 0 ? renamed : removed;
}

StoreResult<std::optional<int64_t>> Store::find(const PerformanceData& data)
{
    return guarded([&] {
        const Held held = holder(data);
        return held.id != 0 && !held.removed ? std::optional<int64_t>(held.id) : std::optional<int64_t>();
    });
}

StoreStatus Store::remove(std::span<const int64_t> ids)
{
    return guardedStatus([&] {
        writing([&] {
            // Never 0, which means "not removed", whatever the clock says.
            const int64_t when = std::max<int64_t>(now(), 1);
            sql::Statement q = db_->prepare("UPDATE performances SET removed = ? WHERE id = ? AND removed = 0");
            for (const int64_t id : ids) {
                q.reset();
                q.bind(1, when).bind(2, id);
                q.step();
                if (db_->changes() > 0)
                    removedHere_.insert(id);
                touched(id);
            }
        });
    });
}

StoreStatus Store::restore(std::span<const int64_t> ids)
{
    size_t gone = 0;
    const StoreStatus failed = guardedStatus([&] {
        writing([&] {
            sql::Statement q = db_->prepare("UPDATE performances SET removed = 0 WHERE id = ?");
            for (const int64_t id : ids) {
                q.reset();
                q.bind(1, id);
                q.step();
                gone += db_->changes() == 0;
                removedHere_.erase(id);
                touched(id);
            }
        });
    });
    if (failed || gone == 0)
        return failed;
    return StoreError{StoreError::Kind::Failed,
                      gone == ids.size() ? std::string(gone == 1 ? "the performance was" : "the performances were")
                                               + " deleted for good and cannot be brought back"
                                         : std::to_string(gone) + " of " + std::to_string(ids.size())
                                               + " performances were deleted for good and cannot be brought back"};
}

StoreStatus Store::purgeRemoved()
{
    return guardedStatus([&] {
        // Only what this program removed: another one on the same library
        // may still bring back what it removed, until a week has passed.
        if (!removedHere_.empty()) {
            writing([&] {
                sql::Statement q = db_->prepare("DELETE FROM performances WHERE id = ? AND removed <> 0");
                for (const int64_t id : removedHere_) {
                    q.reset();
                    q.bind(1, id);
                    q.step();
                }
            });
            removedHere_.clear();
        }
        purgeRemovedBefore(now() - kRemovedKeptSeconds);
    });
}

void Store::purgeRemovedBefore(int64_t when)
{
    // Removed entries are in no search index (here or in another
    // connection), so deleting them changes none. Their sources stay: another
    // connection may hold their ids to add sightings with.
    sql::Statement any = db_->prepare("SELECT EXISTS (SELECT 1 FROM performances WHERE removed <> 0 AND removed < ?)");
    any.bind(1, when);
    if (!any.step() || any.integer(0) == 0)
        return;  // no write, so no wait for another writer
    any.reset();
    writing([&] {
        sql::Statement q = db_->prepare("DELETE FROM performances WHERE removed <> 0 AND removed < ?");
        q.bind(1, when);
        q.step();
    });
}

StoreResult<size_t> Store::count()
{
    return guarded([&] {
        // Counting looks through the whole file: only after a change, of
        // this connection or of another program (the file's data version).
        sql::Use version(st_->dataVersion);
        version->step();
        const int64_t v = version->integer(0);
        if (!counted_ || counted_->version != v || counted_->changes != changes_)
            counted_ = Counted{v, changes_, size_t(db_->integer("SELECT count(*) FROM performances WHERE removed = 0"))};
        return counted_->n;
    });
}

SearchIndex& Store::index()
{
    sql::Use version(st_->dataVersion);
    version->step();
    const int64_t v = version->integer(0);
    if (!index_ || v != dataVersion_ || dirty_.size() > std::max<size_t>(2000, index_->size() / 20))
        index_ = SearchIndex::load(*db_);
    else
        index_->reload(st_->indexReads, dirty_);
    dirty_.clear();
    dataVersion_ = v;
    return *index_;
}

const std::vector<int64_t>* Store::onlyFor(const SearchFilter& filter)
{
    if (filter.importId == 0 && filter.folder.empty())
        return nullptr;
    // Asked again at each keystroke: kept until anything changes.
    if (only_ && only_->importId == filter.importId && only_->folder == filter.folder && only_->version == dataVersion_
        && only_->changes == changes_)
        return &only_->ids;
    only_.reset();
    std::optional<std::vector<int64_t>> only;
    const auto restrict = [&](sql::Statement& q) {
        std::vector<int64_t> ids;
        while (q.step())
            ids.push_back(q.integer(0));
        if (only) {
            std::vector<int64_t> both;
            std::set_intersection(only->begin(), only->end(), ids.begin(), ids.end(), std::back_inserter(both));
            ids = std::move(both);
        }
        only = std::move(ids);
    };
    if (filter.importId != 0) {
        sql::Statement q = db_->prepare(
            "SELECT DISTINCT performance_id FROM sightings WHERE import_id = ? ORDER BY performance_id");
        q.bind(1, filter.importId);
        restrict(q);
    }
    if (!filter.folder.empty()) {
        // Paths below the folder sort between "folder/" and "folder0".
        std::string folder = filter.folder;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        const std::string low = folder == "/" ? "/" : folder + "/";
        const std::string high = folder == "/" ? "0" : folder + "0";
        sql::Statement q = db_->prepare(
            "SELECT DISTINCT g.performance_id FROM sightings g JOIN sources s ON s.id = g.source_id "
            "WHERE s.kind = 1 AND s.text >= ? AND s.text < ? ORDER BY g.performance_id");
        q.bind(1, low).bind(2, high);
        restrict(q);
    }
    only_ = Only{filter.importId, filter.folder, dataVersion_, changes_, std::move(*only)};
    return &only_->ids;
}

StoreResult<std::vector<int64_t>> Store::match(const std::string& text, const SearchFilter& filter)
{
    return guarded([&] {
        return reading([&] {
            SearchIndex& idx = index();
            return idx.match(text, filter, onlyFor(filter));
        });
    });
}

StoreResult<SearchPage> Store::search(const std::string& text, const SearchFilter& filter, size_t offset, size_t limit)
{
    return guarded([&] {
        return reading([&] {
            SearchIndex& idx = index();
            SearchIndex::Page found = idx.page(text, filter, onlyFor(filter), offset, limit);
            SearchPage page;
            page.total = found.total;
            page.pinnedOnly = found.pinnedOnly;
            page.rows = rows_->rows(found.ids);
            return page;
        });
    });
}

StoreResult<std::vector<LibraryRow>> Store::rows(std::span<const int64_t> ids)
{
    // A row read once is kept until it changes: typing and scrolling show
    // the same rows again and again.
    return guarded([&] { return reading([&] { return rows_->rows(ids); }); });
}

StoreResult<std::vector<std::string>> Store::sightings(int64_t id)
{
    auto places = this->places(id);
    if (!places)
        return places.error();
    std::vector<std::string> out;
    for (const Sighting& p : *places) {
        std::string line = p.place + " (" + dateText(p.firstSeen);
        if (p.lastSeen != p.firstSeen)
            line += ", last " + dateText(p.lastSeen);
        line += ")";
        if (!p.import.empty())
            line += ", import of " + p.import;
        out.push_back(std::move(line));
    }
    return out;
}

StoreResult<std::vector<std::optional<Store::MemorySighting>>> Store::lastSeenInUserMemories()
{
    return guarded([&] {
        // SQLite takes the bare columns from the row that holds the maximum.
        sql::Statement q = db_->prepare(
            "SELECT s.text, g.performance_id, max(g.last_seen) FROM sightings g "
            "JOIN sources s ON s.id = g.source_id JOIN performances p ON p.id = g.performance_id "
            "WHERE s.kind = ? AND p.removed = 0 GROUP BY s.id");
        q.bind(1, int64_t(Source::Kind::SynthUser));
        std::vector<std::optional<MemorySighting>> out(kUserPerformances);
        while (q.step()) {
            const std::string number = q.text(0);
            int n = 0;
            for (char c : number)
                n = c >= '0' && c <= '9' && n < 1000 ? n * 10 + (c - '0') : 1000;
            if (n >= 1 && n <= kUserPerformances)
                out[size_t(n - 1)] = MemorySighting{q.integer(1), q.integer(2)};
        }
        return out;
    });
}

StoreStatus Store::edit(std::span<const int64_t> ids, const RowEdit& e)
{
    return guardedStatus([&] {
        if (e.name && trimBlanks(*e.name).empty())
            refuse(SQLITE_CONSTRAINT, "a name cannot be blank");
        if (e.category && (*e.category < 0 || *e.category >= kCategories))
            refuse(SQLITE_CONSTRAINT, "no such category");
        if (e.rating && (*e.rating < 0 || *e.rating > 5))
            refuse(SQLITE_CONSTRAINT, "a rating is 0 to 5");
        writing([&] {
            const auto set = [&](const char* column, const auto& value) {
                sql::Statement q = db_->prepare(std::string("UPDATE performances SET ") + column + " = ? WHERE id = ?");
                for (const int64_t id : ids) {
                    q.reset();
                    q.bind(1, value).bind(2, id);
                    q.step();
                }
            };
            if (e.name)
                set("name", std::string_view(trimBlanks(*e.name)));
            if (e.category)
                set("category", int64_t(*e.category));
            if (e.favourite)
                set("favourite", int64_t(*e.favourite));
            if (e.rating)
                set("rating", int64_t(*e.rating));
            if (e.notes)
                set("notes", std::string_view(*e.notes));
            if (e.tags) {
                const std::vector<std::string> tags = cleanTags(*e.tags);
                sql::Statement drop = db_->prepare("DELETE FROM tags WHERE performance_id = ?");
                sql::Statement add = db_->prepare("INSERT INTO tags (performance_id, tag) "
                                                  "SELECT ?1, ?2 WHERE EXISTS (SELECT 1 FROM performances WHERE id = ?1)");
                for (const int64_t id : ids) {
                    drop.reset();
                    drop.bind(1, id);
                    drop.step();
                    for (const std::string& t : tags) {
                        add.reset();
                        add.bind(1, id).bind(2, t);
                        add.step();
                    }
                }
            }
            if (!e.addTags.empty() || !e.removeTags.empty()) {
                std::set<std::string> off;
                for (const std::string& t : cleanTags(e.removeTags))
                    off.insert(foldCase(t));
                const std::vector<std::string> on = cleanTags(e.addTags);
                sql::Statement held = db_->prepare("SELECT tag FROM tags WHERE performance_id = ?");
                sql::Statement drop = db_->prepare("DELETE FROM tags WHERE performance_id = ? AND tag = ?");
                sql::Statement add = db_->prepare("INSERT INTO tags (performance_id, tag) "
                                                  "SELECT ?1, ?2 WHERE EXISTS (SELECT 1 FROM performances WHERE id = ?1)");
                for (const int64_t id : ids) {
                    std::set<std::string> kept;
                    std::vector<std::string> dropped;
                    held.reset();
                    held.bind(1, id);
                    while (held.step()) {
                        std::string t = held.text(0);
                        if (off.count(foldCase(t)))
                            dropped.push_back(std::move(t));
                        else
                            kept.insert(foldCase(t));
                    }
                    held.reset();
                    for (const std::string& t : dropped) {
                        drop.reset();
                        drop.bind(1, id).bind(2, t);
                        drop.step();
                    }
                    for (const std::string& t : on) {
                        if (!kept.insert(foldCase(t)).second)
                            continue;
                        add.reset();
                        add.bind(1, id).bind(2, t);
                        add.step();
                    }
                }
            }
            for (const int64_t id : ids)
                touched(id);
        });
    });
}

StoreResult<PerformanceData> Store::data(int64_t id)
{
    return guarded([&] {
        sql::Use row(st_->row);
        row->bind(1, id);
        if (!row->step())
            refuse(SQLITE_NOTFOUND, "no such performance in the library");
        const ByteView d = row->blob(7);
        if (d.size() != kPerformanceDataSize)
            refuse(SQLITE_CORRUPT, "a performance of " + std::to_string(d.size()) + " bytes");
        PerformanceData out{};
        std::copy(d.begin(), d.end(), out.begin());
        return out;
    });
}

StoreResult<PerformanceRecord> Store::record(int64_t id, int number)
{
    auto d = data(id);
    if (!d)
        return d.error();
    return guarded([&] {
        sql::Use row(st_->row);
        row->bind(1, id);
        if (!row->step())
            refuse(SQLITE_NOTFOUND, "no such performance in the library");
        const PerformanceData out = exported(*d, row->text(0), row->integer(1));
        return recordFromData(out, number);
    });
}

StoreResult<int64_t> Store::beginImport(const std::string& what)
{
    return guarded([&] {
        return writing([&] {
            sql::Statement q = db_->prepare("INSERT INTO imports (what, started) VALUES (?, ?)");
            q.bind(1, what).bind(2, now());
            q.step();
            return db_->lastInsertId();
        });
    });
}

StoreStatus Store::finishImport(int64_t id, const std::string& outcome)
{
    return guardedStatus([&] {
        writing([&] {
            sql::Statement q = db_->prepare("UPDATE imports SET finished = ?, outcome = ? WHERE id = ?");
            q.bind(1, now()).bind(2, outcome).bind(3, id);
            q.step();
        });
    });
}

StoreResult<std::vector<ImportInfo>> Store::imports()
{
    return guarded([&] {
        sql::Statement q = db_->prepare(
            "SELECT i.id, i.what, i.started, i.finished, i.outcome FROM imports i WHERE EXISTS "
            "(SELECT 1 FROM sightings g JOIN performances p ON p.id = g.performance_id "
            "WHERE g.import_id = i.id AND p.removed = 0) ORDER BY i.id DESC");
        std::vector<ImportInfo> out;
        while (q.step())
            out.push_back({q.integer(0), q.text(1), q.integer(2), q.integer(3), q.text(4)});
        return out;
    });
}

StoreResult<std::optional<NameLines>> Store::lastSeenUserNames()
{
    return guarded([&] {
        sql::Statement q = db_->prepare("SELECT number, line FROM synth_user ORDER BY number");
        std::optional<NameLines> out;
        while (q.step()) {
            if (!out) {
                out.emplace();
                for (int i = 0; i < kUserPerformances; ++i)
                    (*out)[size_t(i)] = entryNumber(i);
            }
            const ByteView line = q.blob(1);
            (*out)[size_t(q.integer(0))] = std::string(line.begin(), line.end());
        }
        return out;
    });
}

StoreStatus Store::setLastSeenUserNames(const NameLines& lines)
{
    return guardedStatus([&] {
        writing([&] {
            sql::Statement q = db_->prepare(
                "INSERT INTO synth_user (number, line, seen) VALUES (?1, ?2, ?3) "
                "ON CONFLICT (number) DO UPDATE SET line = excluded.line, seen = excluded.seen");
            for (int i = 0; i < kUserPerformances; ++i) {
                const std::string& line = lines[size_t(i)];
                q.reset();
                q.bind(1, int64_t(i)).bind(2, ByteView(reinterpret_cast<const uint8_t*>(line.data()), line.size())).bind(3, now());
                q.step();
            }
        });
    });
}

StoreStatus Store::setLastSeenUserName(int number, const std::string& line)
{
    return guardedStatus([&] {
        if (number < 0 || number >= kUserPerformances)
            refuse(SQLITE_CONSTRAINT, "no such user performance");
        writing([&] {
            sql::Statement q = db_->prepare(
                "INSERT INTO synth_user (number, line, seen) VALUES (?1, ?2, ?3) "
                "ON CONFLICT (number) DO UPDATE SET line = excluded.line, seen = excluded.seen");
            q.bind(1, int64_t(number)).bind(2, ByteView(reinterpret_cast<const uint8_t*>(line.data()), line.size())).bind(3, now());
            q.step();
        });
    });
}

StoreResult<std::string> Store::integrityCheck()
{
    return guarded([&] {
        sql::Statement q = db_->prepare("PRAGMA integrity_check");
        std::string out;
        while (q.step())
            out += (out.empty() ? "" : "\n") + q.text(0);
        return out;
    });
}

StoreResult<std::vector<Nearby>> Store::nearest(const PerformanceData& from, size_t limit, int64_t except)
{
    return guarded([&] {
        return reading([&] {
            sql::Use version(st_->dataVersion);
            version->step();
            const int64_t v = version->integer(0);
            if (!sounds_ || v != soundsVersion_ || changes_ != soundsChanges_) {
                sounds_.reset();
                sounds_ = SoundTable::load(*db_);
                soundsVersion_ = v;
                soundsChanges_ = changes_;
            }
            return sounds_->nearest(from, limit, except);
        });
    });
}

StoreResult<std::vector<Sighting>> Store::places(int64_t id)
{
    return guarded([&] {
        sql::Statement q = db_->prepare(
            "SELECT s.kind, s.text, g.first_seen, g.last_seen, coalesce(i.what, ''), coalesce(i.started, 0) "
            "FROM sightings g JOIN sources s ON s.id = g.source_id LEFT JOIN imports i ON i.id = g.import_id "
            "WHERE g.performance_id = ? ORDER BY g.first_seen, s.id");
        q.bind(1, id);
        std::vector<Sighting> out;
        while (q.step()) {
            Sighting s{sourceLabel(int(q.integer(0)), q.text(1)), q.integer(2), q.integer(3), {}};
            if (!q.text(4).empty())
                s.import = ImportInfo{0, q.text(4), q.integer(5), 0, {}}.label();
            out.push_back(std::move(s));
        }
        return out;
    });
}

StoreResult<Kin> Store::kin(int64_t id)
{
    return guarded([&] {
        return reading([&] {
            sql::Use row(st_->row);
            row->bind(1, id);
            if (!row->step())
                refuse(SQLITE_NOTFOUND, "no such performance in the library");
            const std::string name = row->text(0);
            const int64_t sound = row->integer(6);
            const ByteView d = row->blob(7);
            const PerformanceData data = [&] {
                PerformanceData out{};
                std::copy_n(d.begin(), std::min(d.size(), out.size()), out.begin());
                return out;
            }();
            row->reset();
            Kin kin;
            // The sound hash finds the twins' candidates; their data decides.
            sql::Statement twins = db_->prepare("SELECT id, data FROM performances WHERE sound_hash = ? AND id <> ? "
                                                "AND removed = 0 ORDER BY first_seen, id");
            twins.bind(1, sound).bind(2, id);
            while (twins.step()) {
                const ByteView t = twins.blob(1);
                if (t.size() == data.size() && std::equal(t.begin() + kDataCategoryOffset + 1, t.end(),
                                                          data.begin() + kDataCategoryOffset + 1))
                    kin.twins.push_back(twins.integer(0));
            }
            // The user's names, letter case and outer blanks aside: "Pan Seq"
            // kept, edited on the synth and kept again is two entries.
            sql::Statement named = db_->prepare("SELECT id, data FROM performances WHERE name = ? COLLATE NOCASE "
                                                "AND id <> ? AND removed = 0 ORDER BY first_seen, id");
            named.bind(1, name).bind(2, id);
            while (named.step())
                if (std::find(kin.twins.begin(), kin.twins.end(), named.integer(0)) == kin.twins.end())
                    kin.versions.push_back(named.integer(0));
            return kin;
        });
    });
}

StoreStatus Store::adoptFields(int64_t id, const RowEdit& fields)
{
    RowEdit fill;
    const StoreStatus read = guardedStatus([&] {
        sql::Use row(st_->row);
        row->bind(1, id);
        if (!row->step())
            return;  // removed meanwhile: nothing to fill
        const ByteView d = row->blob(7);
        PerformanceData data{};
        std::copy_n(d.begin(), std::min(d.size(), data.size()), data.begin());
        // What the entry holds as it came: the performance's own name and
        // category, no mark, no rating, no notes.
        if (fields.name && !trimBlanks(*fields.name).empty() && row->text(0) == shownName(data))
            fill.name = fields.name;
        if (fields.category && row->integer(1) == dataCategory(data))
            fill.category = fields.category;
        if (fields.favourite && *fields.favourite && row->integer(2) == 0)
            fill.favourite = true;
        if (fields.rating && row->integer(3) == 0)
            fill.rating = fields.rating;
        if (fields.notes && row->text(4).empty())
            fill.notes = fields.notes;
        row->reset();
        if (fields.tags && !fields.tags->empty()) {
            sql::Statement q = db_->prepare("SELECT tag FROM tags WHERE performance_id = ? ORDER BY tag");
            q.bind(1, id);
            std::vector<std::string> tags;
            while (q.step())
                tags.push_back(q.text(0));
            // Its own spelling of a tag stays (cleanTags keeps the first).
            tags.insert(tags.end(), fields.tags->begin(), fields.tags->end());
            fill.tags = std::move(tags);
        }
    });
    if (read)
        return read;
    if (!fill.name && !fill.category && !fill.favourite && !fill.rating && !fill.notes && !fill.tags)
        return std::nullopt;
    return edit(std::vector<int64_t>{id}, fill);
}

} // namespace kw
