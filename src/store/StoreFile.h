#pragma once
// The library's file, from its path to a connection the store can work on:
// the folder made and locked, the file judged through a look that never
// writes, one that cannot be used moved aside (with its log) and a new one
// started, and the schema brought up to this program's version. What the
// store keeps in the file is the store's business; that the file is a
// library of this program, of a version it knows, is this one's.

#include "store/Store.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kw {

namespace sql {
class Connection;
class Error;
} // namespace sql

// Holds the library's folder locked (flock) while a file is judged, moved
// aside or migrated, so two programs starting at once never move aside the
// library the other one has just made. Waits for the other up to the busy
// timeout; a folder that cannot be locked (a file system without locks) is
// used without.
class FolderLock {
public:
    FolderLock(const std::filesystem::path& folder, int timeoutMs);
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&&) = delete;
    FolderLock(const FolderLock&) = delete;
    ~FolderLock();

private:
    int fd_ = -1;
};

class StoreFile {
public:
    // Opens the library at `path` as Store::open() promises (creating it and
    // its folder, moving aside what cannot be used, opening read-only what
    // cannot be written), ready for the store's statements. The folder
    // stays locked while the StoreFile lives, so what the store does next at
    // opening is done before another program judges the file.
    static StoreResult<StoreFile> open(const std::filesystem::path& path, const Store::Options& options);
    StoreFile(StoreFile&& other) noexcept;
    StoreFile& operator=(StoreFile&&) = delete;
    ~StoreFile();

    bool readOnly() const { return readOnly_; }
    // What opening found, in words for the user (Store::notes()).
    const std::vector<std::string>& notes() const { return notes_; }
    // The connection, for the store to keep.
    std::unique_ptr<sql::Connection> takeConnection() { return std::move(db_); }

    // The schema version this program writes.
    static int schemaVersion();

    // `e` in the store's words. Damage SQLite found marks the file, so that
    // the next opening looks at it closely (and moves it aside if need be).
    static StoreError error(const std::filesystem::path& path, const sql::Error& e);

private:
    explicit StoreFile(FolderLock lock);

    FolderLock lock_;
    std::unique_ptr<sql::Connection> db_;
    bool readOnly_ = false;
    std::vector<std::string> notes_;
};

} // namespace kw
