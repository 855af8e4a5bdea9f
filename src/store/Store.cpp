#include "store/Store.h"

#include "files/FileCheck.h"
#include "files/FilePaths.h"
#include "model/Cp1252.h"
#include "model/NameTables.h"
#include "store/SearchIndex.h"
#include "store/Sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace kw {

namespace {

// 'KWLB': marks a SQLite file as this program's library.
constexpr int64_t kApplicationId = 0x4B574C42;

// Each entry brings the schema from the version before it to its own
// (entry 0 makes version 1 of an empty file). A file of version N runs the
// entries from N on, all in one transaction with the new user_version.
const std::vector<std::string_view> kMigrations = {
    R"sql(
    CREATE TABLE performances (
        id INTEGER PRIMARY KEY,
        hash INTEGER NOT NULL,        -- of the data, name and category included
        sound_hash INTEGER NOT NULL,  -- of the data without name and category
        data BLOB NOT NULL,           -- the 240 data bytes of the seven blocks
        name TEXT NOT NULL,           -- the user's, at first the performance's own
        category INTEGER NOT NULL,    -- the user's, at first the performance's own
        favourite INTEGER NOT NULL DEFAULT 0,
        rating INTEGER NOT NULL DEFAULT 0,
        notes TEXT NOT NULL DEFAULT '',
        first_seen INTEGER NOT NULL
    );
    CREATE INDEX performances_hash ON performances(hash);
    CREATE INDEX performances_sound ON performances(sound_hash);
    CREATE TABLE tags (
        performance_id INTEGER NOT NULL REFERENCES performances(id) ON DELETE CASCADE,
        tag TEXT NOT NULL,
        PRIMARY KEY (performance_id, tag)
    ) WITHOUT ROWID;
    CREATE TABLE sources (
        id INTEGER PRIMARY KEY,
        kind INTEGER NOT NULL,  -- 1 file (text: its path), 2 synth user performance (text: "061"), 3 the editor
        text TEXT NOT NULL,
        UNIQUE (kind, text)
    );
    CREATE TABLE imports (
        id INTEGER PRIMARY KEY,
        what TEXT NOT NULL,
        started INTEGER NOT NULL,
        finished INTEGER NOT NULL DEFAULT 0,
        outcome TEXT NOT NULL DEFAULT ''
    );
    CREATE TABLE sightings (
        performance_id INTEGER NOT NULL REFERENCES performances(id) ON DELETE CASCADE,
        source_id INTEGER NOT NULL REFERENCES sources(id),
        import_id INTEGER NOT NULL DEFAULT 0,  -- 0: not by an import
        first_seen INTEGER NOT NULL,
        last_seen INTEGER NOT NULL,
        PRIMARY KEY (performance_id, source_id, import_id)
    ) WITHOUT ROWID;
    CREATE INDEX sightings_source ON sightings(source_id);
    CREATE INDEX sightings_import ON sightings(import_id) WHERE import_id <> 0;
    CREATE TABLE synth_user (
        number INTEGER PRIMARY KEY CHECK (number BETWEEN 0 AND 127),
        line BLOB NOT NULL,  -- the list entry, Windows-1252
        seen INTEGER NOT NULL
    );
    )sql",
    // Removal the user can undo: the entry stays, whole, until purged.
    R"sql(
    ALTER TABLE performances ADD COLUMN removed INTEGER NOT NULL DEFAULT 0;  -- 0, or when the user removed it
    CREATE INDEX performances_removed ON performances(removed) WHERE removed <> 0;
    )sql",
};

// Rows kept read for the library window: pages of 200 as one types and scrolls.
constexpr size_t kCachedRows = 4096;

// How long a removed entry waits for an undo that may never come (the
// program died before it purged).
constexpr int64_t kRemovedKeptSeconds = 7 * 24 * 3600;

std::string sourceText(const Source& s)
{
    switch (s.kind) {
    case Source::Kind::File: return s.path;
    case Source::Kind::SynthUser: return entryNumber(s.number);
    case Source::Kind::Editor:
    case Source::Kind::SynthEdit: return {};
    }
    return {};
}

std::string sourceLabel(int kind, const std::string& text)
{
    switch (Source::Kind(kind)) {
    case Source::Kind::File: return text;
    case Source::Kind::SynthUser: return "CS1x user " + text;
    case Source::Kind::Editor: return "Kept from the editor";
    case Source::Kind::SynthEdit: return "CS1x edit buffer";
    }
    return text;
}

std::string shownName(const PerformanceData& data)
{
    return printable(trimBlanks(dataName(data)));
}

std::string rowEntry(int category, const std::string& name)
{
    return trimBlanks(categoryAbbrev(category)) + " " + name;
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

// Holds the library's folder locked (flock) while a file is judged, moved
// aside or migrated, so two programs starting at once never move aside the
// library the other one has just made. Waits for the other up to the busy
// timeout; a folder that cannot be locked (a file system without locks) is
// used without.
class FolderLock {
public:
    FolderLock(const fs::path& folder, int timeoutMs)
    {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= until)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }

private:
    int fd_ = -1;
};

// Renames `from` to `to` unless `to` exists.
bool renameNoReplace(const fs::path& from, const fs::path& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // A file system without the flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    return ::unlink(from.c_str()) == 0;
}

fs::path withSuffix(const fs::path& p, const std::string& suffix)
{
    fs::path out = p;
    out += suffix;
    return out;
}

} // namespace

// ------------------------------------------------------------------ Source

Source Source::file(const fs::path& file)
{
    std::error_code ec;
    fs::path abs = fs::absolute(file, ec);
    Source s;
    s.kind = Kind::File;
    s.path = utf8FromPath((ec ? file : abs).lexically_normal());
    return s;
}

Source Source::synthUser(int number)
{
    Source s;
    s.kind = Kind::SynthUser;
    s.number = number;
    return s;
}

Source Source::editor()
{
    Source s;
    s.kind = Kind::Editor;
    return s;
}

Source Source::synthEdit()
{
    Source s;
    s.kind = Kind::SynthEdit;
    return s;
}

std::string Source::label() const
{
    return sourceLabel(int(kind), sourceText(*this));
}

std::string Source::folder() const
{
    return kind == Kind::File ? utf8FromPath(folderOf(pathFromUtf8(path))) : std::string();
}

std::string ImportInfo::label() const
{
    return what + " (" + dateText(started) + ")";
}

std::string dateText(int64_t seconds)
{
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
    return buf;
}

fs::path defaultLibraryPath()
{
    // As QStandardPaths takes it (a relative value too), so the library
    // lies beside the editor's other files whatever the environment says.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/") / ".local/share";
    }
    return base / "Knobwright" / "library.sqlite";
}

// ------------------------------------------------------------------- Store

struct Store::Statements {
    sql::Statement findByHash, insertPerformance, findSource, insertSource, sighting;
    sql::Statement dataVersion, row, rowTags, rowFirstPlace, twins, places, indexRow;

    explicit Statements(sql::Connection& db)
        : findByHash(db.prepare("SELECT id, data, removed FROM performances WHERE hash = ?")),
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
          rowTags(db.prepare("SELECT tag FROM tags WHERE performance_id = ? ORDER BY tag")),
          rowFirstPlace(db.prepare("SELECT s.kind, s.text, (SELECT count(*) FROM sightings WHERE performance_id = ?1) "
                                   "FROM sightings g JOIN sources s ON s.id = g.source_id WHERE g.performance_id = ?1 "
                                   "ORDER BY g.first_seen, s.id LIMIT 1")),
          twins(db.prepare("SELECT id, name, category, data FROM performances WHERE sound_hash = ? AND id <> ? "
                           "AND removed = 0 ORDER BY id")),
          places(db.prepare("SELECT s.kind, s.text FROM sightings g JOIN sources s ON s.id = g.source_id "
                            "WHERE g.performance_id = ? ORDER BY g.first_seen, s.id")),
          indexRow(db.prepare("SELECT name, category, favourite, rating, first_seen, "
                              "(SELECT group_concat(tag, ' ') FROM tags WHERE performance_id = ?1) "
                              "FROM performances WHERE id = ?1 AND removed = 0"))
    {
    }
};

Store::Store(fs::path path, Options options) : path_(std::move(path)), options_(std::move(options)) {}

Store::~Store()
{
    if (db_ && db_->inTransaction())
        rollback();
    st_.reset();
    db_.reset();
}

int Store::schemaVersion()
{
    return int(kMigrations.size());
}

int64_t Store::now() const
{
    return options_.now ? options_.now() : int64_t(std::time(nullptr));
}

namespace {

struct Verdict {
    std::string damage;  // empty: a library this program can use
    std::string asideSuffix = ".bad";
};

// Looks at the file through a read-only connection that never checkpoints:
// a connection that may write would fold a log into a file that is to be
// moved aside, or delete the log of a file it cannot read. Throws for
// failures that say nothing about the file (it cannot be opened, it is
// busy).
Verdict look(const fs::path& path, bool suspect, int busyTimeoutMs)
{
    Verdict v;
    try {
        sql::Connection db(path.string(), SQLITE_OPEN_READONLY);
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_busy_timeout(db.handle(), busyTimeoutMs);
        // SQLite judges the header and the schema on these first reads.
        const int64_t appId = db.integer("PRAGMA application_id");
        const int64_t version = db.integer("PRAGMA user_version");
        const int64_t objects = db.integer("SELECT count(*) FROM sqlite_schema");
        std::string found = "ok";
        if (suspect) {
            // This program met damage in it before: a full look this once.
            sql::Statement q = db.prepare("PRAGMA quick_check(1)");
            found = q.step() ? q.text(0) : "ok";
        }
        if (found != "ok") {
            v.damage = "it is damaged (" + found + ")";
        } else if (appId != kApplicationId && (appId != 0 || objects != 0)) {
            v.damage = "it is not a Knobwright library";
        } else if (version > Store::schemaVersion()) {
            v.damage = "it was made by a newer Knobwright (library version " + std::to_string(version) + ")";
            v.asideSuffix = ".newer";
        }
    } catch (const sql::Error& e) {
        if (e.primary() != SQLITE_NOTADB && e.primary() != SQLITE_CORRUPT)
            throw;
        v.damage = std::string("it is damaged (") + e.what() + ")";
    }
    return v;
}

Verdict judge(const fs::path& path, bool suspect, int busyTimeoutMs)
{
    std::error_code ec;
    if (!fs::exists(path, ec) || fs::file_size(path, ec) == 0)
        return {};
    try {
        return look(path, suspect, busyTimeoutMs);
    } catch (const sql::Error& e) {
        if (e.primary() != SQLITE_READONLY && e.primary() != SQLITE_CANTOPEN)
            throw;
    }
    // A program killed while it wrote left a journal to roll back, or a log
    // index to build again, which only a connection that may write does. This
    // one does that and no more: it neither checkpoints nor deletes the log
    // when it closes.
    try {
        sql::Connection db(path.string(), SQLITE_OPEN_READWRITE);
        sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_busy_timeout(db.handle(), busyTimeoutMs);
        db.integer("PRAGMA schema_version");
    } catch (const sql::Error& e) {
        if (e.primary() != SQLITE_NOTADB && e.primary() != SQLITE_CORRUPT)
            throw;
        return Verdict{std::string("it is damaged (") + e.what() + ")"};
    }
    return look(path, suspect, busyTimeoutMs);
}

} // namespace

StoreResult<std::unique_ptr<Store>> Store::open(const fs::path& path)
{
    return open(path, Options());
}

StoreResult<std::unique_ptr<Store>> Store::open(const fs::path& path, Options options)
{
    std::unique_ptr<Store> store(new Store(path, std::move(options)));
    Store& s = *store;
    const fs::path folder = folderOf(path);
    std::error_code ec;
    if (!s.options_.readOnly && !folder.empty())
        fs::create_directories(folder, ec);
    if (ec)
        return StoreError{StoreError::Kind::Failed, "cannot create the folder " + utf8FromPath(folder) + ": " + ec.message()};
    FolderLock lock(folder.empty() ? fs::path(".") : folder, s.options_.busyTimeoutMs);

    const fs::path marker = withSuffix(path, ".damaged");
    bool suspect = fs::exists(marker, ec);
    for (int attempt = 0;; ++attempt) {
        Verdict verdict;
        try {
            verdict = judge(path, suspect, s.options_.busyTimeoutMs);
        } catch (const sql::Error& e) {
            return s.translate(e);
        }
        if (suspect) {
            fs::remove(marker, ec);
            suspect = false;
        }
        if (verdict.damage.empty())
            break;
        const std::string& damage = verdict.damage;
        if (attempt > 0 || s.options_.readOnly)
            return StoreError{StoreError::Kind::Damaged, "The library " + utf8FromPath(path) + " cannot be used: " + damage};
        fs::path aside;
        for (int n = 1;; ++n) {
            aside = withSuffix(path, verdict.asideSuffix + (n == 1 ? "" : "-" + std::to_string(n)));
            if (renameNoReplace(path, aside))
                break;
            if (errno != EEXIST || n > 1000)
                return StoreError{StoreError::Kind::Failed, "The library " + utf8FromPath(path) + " cannot be used ("
                                                                + damage + ") and cannot be moved aside: "
                                                                + systemReason(errno)};
        }
        // Its log and index go with it: a new library must never take up
        // the old one's log, and the log may hold its latest changes.
        for (const char* companion : {"-wal", "-shm", "-journal"})
            if (fs::exists(withSuffix(path, companion), ec))
                renameNoReplace(withSuffix(path, companion), withSuffix(aside, companion));
        s.notes_.push_back("The library file " + utf8FromPath(path) + " could not be used: " + damage
                           + ". It was moved aside as " + utf8FromPath(aside) + " and a new library was started.");
    }

    try {
        const int flags = s.options_.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        s.db_ = std::make_unique<sql::Connection>(path.string(), flags);
        sqlite3_busy_timeout(s.db_->handle(), s.options_.busyTimeoutMs);
        // A file this user may not write opens read-only by itself.
        s.readOnly_ = sqlite3_db_readonly(s.db_->handle(), "main") == 1;
    } catch (const sql::Error& e) {
        s.db_.reset();
        return s.translate(e);
    }

    try {
        sql::Connection& db = *s.db_;
        if (!s.readOnly_) {
            db.exec("PRAGMA journal_mode = WAL");
            // In WAL mode a commit survives the program being killed; only a
            // power cut may take the last ones, never the file's integrity.
            db.exec("PRAGMA synchronous = NORMAL");
        }
        db.exec("PRAGMA foreign_keys = ON");
        if (s.options_.maxPages > 0)
            db.exec("PRAGMA max_page_count = " + std::to_string(s.options_.maxPages));
        if (db.integer("PRAGMA user_version") < schemaVersion()) {
            if (s.readOnly_)
                return StoreError{StoreError::Kind::ReadOnly,
                                  "The library " + utf8FromPath(path) + " needs an update but can only be read"};
            db.exec("BEGIN IMMEDIATE");
            try {
                // Another program may have brought it up to date meanwhile.
                const int64_t version = db.integer("PRAGMA user_version");
                for (int64_t v = version; v < schemaVersion(); ++v)
                    db.exec(kMigrations[size_t(v)]);
                if (version == 0)
                    db.exec("PRAGMA application_id = " + std::to_string(kApplicationId));
                db.exec("PRAGMA user_version = " + std::to_string(schemaVersion()));
                db.exec("COMMIT");
            } catch (...) {
                if (db.inTransaction())
                    sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
        if (s.readOnly_)
            s.notes_.push_back("The library " + utf8FromPath(path) + " can only be read: nothing new is kept in it.");
        s.st_ = std::make_unique<Statements>(db);
        if (!s.readOnly_) {
            try {
                s.purgeRemovedBefore(s.now() - kRemovedKeptSeconds);
            } catch (const sql::Error&) {
                // Only tidying: another program writing now, or a full disk,
                // leaves it to the next opening.
            }
        }
    } catch (const sql::Error& e) {
        s.st_.reset();
        s.db_.reset();
        return s.translate(e);
    }
    return store;
}

StoreError Store::translate(const sql::Error& e) const
{
    switch (e.primary()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {StoreError::Kind::Busy, "the library is busy: another program is writing to it"};
    case SQLITE_FULL: return {StoreError::Kind::Full, "the disk is full"};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: {
        // Looked at closely, and moved aside if need be, at the next opening.
        std::error_code ec;
        if (FILE* f = std::fopen(withSuffix(path_, ".damaged").c_str(), "w"))
            std::fclose(f);
        return {StoreError::Kind::Damaged, std::string("the library file is damaged (") + e.what() + ")"};
    }
    case SQLITE_READONLY:
    case SQLITE_PERM: return {StoreError::Kind::ReadOnly, std::string("the library can only be read (") + e.what() + ")"};
    }
    return {StoreError::Kind::Failed, e.what()};
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

template <class F>
auto Store::writing(F&& work) -> decltype(work())
{
    requireWritable();
    if (db_->inTransaction())
        return work();
    db_->exec("BEGIN IMMEDIATE");
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            db_->exec("COMMIT");
            ended(true);
        } else {
            auto result = work();
            db_->exec("COMMIT");
            ended(true);
            return result;
        }
    } catch (...) {
        rollback();
        throw;
    }
}

template <class F>
auto Store::reading(F&& work) -> decltype(work())
{
    if (db_->inTransaction())
        return work();
    db_->exec("BEGIN");
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            db_->exec("COMMIT");
        } else {
            auto result = work();
            db_->exec("COMMIT");
            return result;
        }
    } catch (...) {
        sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
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
    if (db_->inTransaction())
        sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    sourceIds_.clear();
    ended(false);
}

void Store::touched(int64_t id)
{
    ++changes_;
    if (!rowCache_.empty() && !rowsAllStale_)
        rowsChanged_.insert(id);
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
        rowsAllStale_ = true;
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
            const uint64_t hash = dataHash(data);
            Remembered r;
            {
                sql::Use find(st_->findByHash);
                find->bind(1, int64_t(hash));
                while (find->step()) {
                    const ByteView stored = find->blob(1);
                    if (std::equal(stored.begin(), stored.end(), data.begin(), data.end())) {
                        r.id = find->integer(0);
                        r.isNew = find->integer(2) != 0;
                        break;
                    }
                }
            }
            if (r.isNew) {
                // Removed, and seen again: back as the user left it.
                sql::Statement back = db_->prepare("UPDATE performances SET removed = 0 WHERE id = ?");
                back.bind(1, r.id);
                back.step();
            } else if (r.id == 0) {
                sql::Use insert(st_->insertPerformance);
                insert->bind(1, int64_t(hash))
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

StoreResult<std::optional<int64_t>> Store::find(const PerformanceData& data)
{
    return guarded([&] {
        sql::Use find(st_->findByHash);
        find->bind(1, int64_t(dataHash(data)));
        while (find->step()) {
            const ByteView stored = find->blob(1);
            if (find->integer(2) == 0 && std::equal(stored.begin(), stored.end(), data.begin(), data.end()))
                return std::optional<int64_t>(find->integer(0));
        }
        return std::optional<int64_t>();
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
    return guardedStatus([&] { purgeRemovedBefore(INT64_MAX); });
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
    return guarded([&] { return size_t(db_->integer("SELECT count(*) FROM performances WHERE removed = 0")); });
}

SearchIndex& Store::index()
{
    sql::Use version(st_->dataVersion);
    version->step();
    const int64_t v = version->integer(0);
    auto& dirty = dirty_;
    const bool rebuild = !index_ || v != dataVersion_ || dirty.size() > std::max<size_t>(2000, index_->size() / 20);
    if (rebuild) {
        // Three scans in id order merged, none needing a sort: a full
        // rebuild costs about what reading the rows costs.
        auto fresh = std::make_unique<SearchIndex>();
        sql::Statement all = db_->prepare(
            "SELECT id, name, category, favourite, rating, first_seen FROM performances WHERE removed = 0 ORDER BY id");
        sql::Statement tags = db_->prepare("SELECT performance_id, tag FROM tags ORDER BY performance_id, tag");
        sql::Statement places = db_->prepare(
            "SELECT g.performance_id, g.first_seen, s.id, s.kind, s.text FROM sightings g CROSS JOIN sources s "
            "ON s.id = g.source_id ORDER BY g.performance_id");
        bool moreTags = tags.step(), morePlaces = places.step();
        struct Place {
            int64_t when, source;
            std::string label;
        };
        std::vector<Place> seen;
        while (all.step()) {
            SearchIndex::Fields f;
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
                f.kinds |= SearchIndex::kindBit(places.integer(3));
            }
            std::sort(seen.begin(), seen.end(),
                      [](const Place& a, const Place& b) { return a.when != b.when ? a.when < b.when : a.source < b.source; });
            for (Place& p : seen)
                if (std::find(f.places.begin(), f.places.end(), p.label) == f.places.end())
                    f.places.push_back(std::move(p.label));
            fresh->put(id, f);
        }
        index_ = std::move(fresh);
    } else {
        // A few changes move a few entries in what the index keeps of
        // earlier searches; many make it cheaper to start those afresh.
        if (dirty.size() > 64)
            index_->forgetSearches();
        for (const int64_t id : dirty) {
            sql::Use row(st_->indexRow);
            row->bind(1, id);
            if (!row->step()) {
                index_->erase(id);
                continue;
            }
            SearchIndex::Fields f;
            f.name = row->text(0);
            f.category = int(row->integer(1));
            f.favourite = row->integer(2) != 0;
            f.rating = int(row->integer(3));
            f.firstSeen = row->integer(4);
            f.tags = row->text(5);
            sql::Use places(st_->places);
            places->bind(1, id);
            while (places->step()) {
                f.kinds |= SearchIndex::kindBit(places->integer(0));
                std::string label = sourceLabel(int(places->integer(0)), places->text(1));
                if (std::find(f.places.begin(), f.places.end(), label) == f.places.end())
                    f.places.push_back(std::move(label));
            }
            index_->put(id, f);
        }
    }
    dirty.clear();
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
            page.rows = readRows(found.ids);
            return page;
        });
    });
}

StoreResult<std::vector<LibraryRow>> Store::rows(std::span<const int64_t> ids)
{
    return guarded([&] { return reading([&] { return readRows(ids); }); });
}

std::vector<LibraryRow> Store::readRows(std::span<const int64_t> ids)
{
    // A row read once is kept until it changes: typing and scrolling show
    // the same rows again and again.
    dropStaleRows();
    std::vector<LibraryRow> out;
    out.reserve(ids.size());
    for (const int64_t id : ids) {
        if (const auto it = rowCache_.find(id); it != rowCache_.end()) {
            out.push_back(it->second.row);
            continue;
        }
        int64_t sound = 0;
        std::optional<LibraryRow> r = readRow(id, &sound);
        if (!r)
            continue;  // gone since it was found
        if (rowCache_.size() >= kCachedRows)
            rowCache_.clear();
        rowCache_.emplace(id, CachedRow{*r, sound});
        out.push_back(std::move(*r));
    }
    return out;
}

void Store::dropStaleRows()
{
    int64_t version = 0;
    {
        sql::Use v(st_->dataVersion);
        v->step();
        version = v->integer(0);
    }
    // Another connection's changes are not known one by one; many of this
    // one's cost more to sort out than to read the rows again.
    bool all = version != rowsVersion_ || rowsAllStale_ || rowsChanged_.size() > 64;
    if (!all && !rowsChanged_.empty()) {
        // A change shows in its own row and in its twins' (their names).
        sql::Statement q = db_->prepare("SELECT sound_hash FROM performances WHERE id = ?");
        std::unordered_set<int64_t> sounds;
        for (const int64_t id : rowsChanged_) {
            rowCache_.erase(id);
            q.reset();
            q.bind(1, id);
            if (!q.step()) {
                all = true;  // gone for good: its sound is not known
                break;
            }
            sounds.insert(q.integer(0));
        }
        std::erase_if(rowCache_, [&](const auto& kept) { return sounds.contains(kept.second.sound); });
    }
    if (all)
        rowCache_.clear();
    rowsVersion_ = version;
    rowsChanged_.clear();
    rowsAllStale_ = false;
}

std::optional<LibraryRow> Store::readRow(int64_t id, int64_t* soundOut)
{
    LibraryRow r;
    r.id = id;
    int64_t sound = 0;
    PerformanceData data{};
    {
        sql::Use row(st_->row);
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
        sql::Use tags(st_->rowTags);
        tags->bind(1, id);
        while (tags->step())
            r.tags.push_back(tags->text(0));
    }
    {
        sql::Use first(st_->rowFirstPlace);
        first->bind(1, id);
        if (first->step()) {
            r.whereFrom = sourceLabel(int(first->integer(0)), first->text(1));
            r.sightings = int(first->integer(2));
        }
    }
    sql::Use twins(st_->twins);
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

StoreResult<std::vector<std::string>> Store::sightings(int64_t id)
{
    return guarded([&] {
        sql::Statement q = db_->prepare(
            "SELECT s.kind, s.text, g.first_seen, g.last_seen, coalesce(i.what, ''), coalesce(i.started, 0) "
            "FROM sightings g JOIN sources s ON s.id = g.source_id LEFT JOIN imports i ON i.id = g.import_id "
            "WHERE g.performance_id = ? ORDER BY g.first_seen, s.id");
        q.bind(1, id);
        std::vector<std::string> out;
        while (q.step()) {
            std::string line = sourceLabel(int(q.integer(0)), q.text(1)) + " (" + dateText(q.integer(2));
            if (q.integer(3) != q.integer(2))
                line += ", last " + dateText(q.integer(3));
            line += ")";
            if (!q.text(4).empty())
                line += ", import of " + ImportInfo{0, q.text(4), q.integer(5), 0, {}}.label();
            out.push_back(std::move(line));
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
        PerformanceData out = *d;
        // The user's name and category go into the performance; what the
        // synth cannot show becomes '?'.
        const std::string name = utf8ToCp1252(row->text(0));
        if (name != trimBlanks(dataName(out))) {
            for (size_t i = 0; i < 8; ++i) {
                const uint8_t c = i < name.size() ? uint8_t(name[i]) : ' ';
                out[kDataNameOffset + i] = c >= 0x20 && c < 0x7F ? c : '?';
            }
        }
        out[kDataCategoryOffset] = uint8_t(row->integer(1) & 0x7F);
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

} // namespace kw
