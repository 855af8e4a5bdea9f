#include "store/StoreFile.h"

#include "files/FileError.h"
#include "files/FilePaths.h"
#include "store/Sqlite.h"

#include <sqlite3.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

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

struct Verdict {
    std::string damage;  // empty: a library this program can use
    std::string asideSuffix = ".bad";
};

// Looks at the file through a read-only connection that never checkpoints:
// a connection that may write would fold a log into a file that is to be
// moved aside, or delete the log of a file it cannot read. Throws for
// failures that say nothing about the file (it cannot be opened, it is
// busy).
Verdict look(bool suspect, int busyTimeoutMs, const std::string& name, int readFlags)
{
    Verdict v;
    try {
        sql::Connection db(name, readFlags);
        db.noCheckpointOnClose();
        db.busyTimeout(busyTimeoutMs);
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
        } else if (version > StoreFile::schemaVersion()) {
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

// How SQLite is to open a library: by its path, or, when no log or index
// can be made beside it (a folder this user cannot write) and none is
// there, as a file that cannot change, read-only: SQLite would otherwise
// refuse even to read a library kept in WAL mode.
struct Opening {
    std::string name;
    int readFlags = SQLITE_OPEN_READONLY;
    bool mustRead = false;
};

std::string uriEscaped(const std::string& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto b = uint8_t(c);
        if (std::isalnum(b) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    return out;
}

Opening openingOf(const fs::path& path)
{
    const fs::path folder = folderOf(path).empty() ? fs::path(".") : folderOf(path);
    std::error_code ec;
    if (::access(folder.c_str(), W_OK) == 0 || !fs::exists(path, ec) || fs::exists(withSuffix(path, "-wal"), ec))
        return {path.string()};
    return {"file:" + uriEscaped(fs::absolute(path, ec).string()) + "?immutable=1",
            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, true};
}

Verdict judge(const fs::path& path, bool suspect, int busyTimeoutMs, const Opening& opening)
{
    std::error_code ec;
    if (!fs::exists(path, ec) || fs::file_size(path, ec) == 0)
        return {};
    try {
        return look(suspect, busyTimeoutMs, opening.name, opening.readFlags);
    } catch (const sql::Error& e) {
        if (opening.mustRead || (e.primary() != SQLITE_READONLY && e.primary() != SQLITE_CANTOPEN))
            throw;
    }
    // A program killed while it wrote left a journal to roll back, or a log
    // index to build again, which only a connection that may write does. This
    // one does that and no more: it neither checkpoints nor deletes the log
    // when it closes.
    try {
        sql::Connection db(path.string(), SQLITE_OPEN_READWRITE);
        db.noCheckpointOnClose();
        db.busyTimeout(busyTimeoutMs);
        db.integer("PRAGMA schema_version");
    } catch (const sql::Error& e) {
        if (e.primary() != SQLITE_NOTADB && e.primary() != SQLITE_CORRUPT)
            throw;
        return Verdict{std::string("it is damaged (") + e.what() + ")"};
    }
    return look(suspect, busyTimeoutMs, opening.name, opening.readFlags);
}

} // namespace

// -------------------------------------------------------------- FolderLock

FolderLock::FolderLock(const fs::path& folder, int timeoutMs)
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

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_);  // releases the lock
}

// --------------------------------------------------------------- StoreFile

StoreFile::StoreFile(FolderLock lock) : lock_(std::move(lock)) {}

StoreFile::StoreFile(StoreFile&& other) noexcept = default;

StoreFile::~StoreFile() = default;

int StoreFile::schemaVersion()
{
    return int(kMigrations.size());
}

namespace {

// What stands at `path` when it is no file a library can be: SQLite would
// block for good opening a FIFO, read a device without end, or say only
// "disk I/O error" of a folder. Empty for a plain file or nothing at all.
std::string notAFile(const fs::path& path)
{
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(path, ec);
    if (link.type() == fs::file_type::not_found)
        return {};
    const fs::file_status st = fs::status(path, ec);
    const std::string through = fs::is_symlink(link) ? " (through a link)" : "";
    switch (st.type()) {
    case fs::file_type::regular: return {};
    case fs::file_type::not_found: return {};  // a link to nothing yet: SQLite makes the file
    case fs::file_type::directory: return "it is a folder" + through;
    case fs::file_type::fifo: return "it is a named pipe (FIFO)" + through;
    case fs::file_type::character:
    case fs::file_type::block: return "it is a device" + through;
    case fs::file_type::socket: return "it is a socket" + through;
    default: return "it is no plain file" + through;
    }
}

} // namespace

StoreResult<StoreFile> StoreFile::open(const fs::path& path, const Store::Options& options)
{
    // Looked at before anything opens it: never a FIFO or a device.
    if (const std::string what = notAFile(path); !what.empty())
        return StoreError{StoreError::Kind::Failed, "The library " + utf8FromPath(path) + " cannot be used: " + what};
    const fs::path folder = folderOf(path);
    std::error_code ec;
    if (!options.create && !fs::exists(path, ec))
        return StoreError{StoreError::Kind::Failed, "there is no library at " + utf8FromPath(path)};
    if (!options.readOnly && options.create && !folder.empty())
        fs::create_directories(folder, ec);
    if (ec)
        return StoreError{StoreError::Kind::Failed, "cannot create the folder " + utf8FromPath(folder) + ": " + ec.message()};
    StoreFile file(FolderLock(folder.empty() ? fs::path(".") : folder, options.busyTimeoutMs));

    const Opening opening = openingOf(path);
    const bool readOnly = options.readOnly || opening.mustRead;
    const fs::path marker = withSuffix(path, ".damaged");
    bool suspect = fs::exists(marker, ec) && !opening.mustRead;
    for (int attempt = 0;; ++attempt) {
        Verdict verdict;
        try {
            verdict = judge(path, suspect, options.busyTimeoutMs, opening);
        } catch (const sql::Error& e) {
            return error(path, e);
        }
        if (suspect) {
            fs::remove(marker, ec);
            suspect = false;
        }
        if (verdict.damage.empty())
            break;
        const std::string& damage = verdict.damage;
        if (attempt > 0 || readOnly || !options.moveAside)
            return StoreError{StoreError::Kind::Damaged, "The library " + utf8FromPath(path) + " cannot be used: " + damage
                                                             + (options.moveAside ? "" : "; it was left as it is")};
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
        file.notes_.push_back("The library file " + utf8FromPath(path) + " could not be used: " + damage
                              + ". It was moved aside as " + utf8FromPath(aside) + " and a new library was started.");
    }

    try {
        const int flags = opening.mustRead     ? opening.readFlags
                          : options.readOnly ? SQLITE_OPEN_READONLY
                          : options.create   ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                             : SQLITE_OPEN_READWRITE;
        file.db_ = std::make_unique<sql::Connection>(opening.name, flags);
        file.db_->busyTimeout(options.busyTimeoutMs);
        // A file this user may not write opens read-only by itself.
        file.readOnly_ = file.db_->readOnly();
    } catch (const sql::Error& e) {
        file.db_.reset();
        return error(path, e);
    }

    try {
        sql::Connection& db = *file.db_;
        if (!file.readOnly_) {
            db.exec("PRAGMA journal_mode = WAL");
            // In WAL mode a commit survives the program being killed; only a
            // power cut may take the last ones, never the file's integrity.
            db.exec("PRAGMA synchronous = NORMAL");
        }
        db.exec("PRAGMA foreign_keys = ON");
        if (options.maxPages > 0)
            db.exec("PRAGMA max_page_count = " + std::to_string(options.maxPages));
        if (db.integer("PRAGMA user_version") < schemaVersion()) {
            if (file.readOnly_)
                return StoreError{StoreError::Kind::ReadOnly,
                                  "The library " + utf8FromPath(path) + " needs an update but can only be read"};
            sql::Transaction tx(db, sql::Transaction::Kind::Write);
            // Another program may have brought it up to date meanwhile.
            const int64_t version = db.integer("PRAGMA user_version");
            for (int64_t v = version; v < schemaVersion(); ++v)
                db.exec(kMigrations[size_t(v)]);
            if (version == 0)
                db.exec("PRAGMA application_id = " + std::to_string(kApplicationId));
            db.exec("PRAGMA user_version = " + std::to_string(schemaVersion()));
            tx.commit();
        }
    } catch (const sql::Error& e) {
        file.db_.reset();
        return error(path, e);
    }
    if (file.readOnly_)
        file.notes_.push_back("The library " + utf8FromPath(path) + " can only be read: nothing new is kept in it.");
    return file;
}

StoreError StoreFile::error(const fs::path& path, const sql::Error& e)
{
    switch (e.primary()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {StoreError::Kind::Busy, "the library is busy: another program is writing to it"};
    case SQLITE_FULL: return {StoreError::Kind::Full, "the disk is full"};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: {
        // Looked at closely, and moved aside if need be, at the next opening.
        if (FILE* f = std::fopen(withSuffix(path, ".damaged").c_str(), "w"))
            std::fclose(f);
        return {StoreError::Kind::Damaged, std::string("the library file is damaged (") + e.what() + ")"};
    }
    case SQLITE_READONLY:
    case SQLITE_PERM: return {StoreError::Kind::ReadOnly, std::string("the library can only be read (") + e.what() + ")"};
    }
    return {StoreError::Kind::Failed, e.what()};
}

} // namespace kw
