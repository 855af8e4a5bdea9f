#pragma once
// A thin hold on SQLite's C API: a connection, statements that finalize
// themselves, and every failure as an exception carrying SQLite's code, so
// that the store's code reads as the work it does and still loses no error.

#include "model/Block.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kw::sql {

class Error : public std::runtime_error {
public:
    Error(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
    int code() const { return code_; }           // extended result code
    int primary() const { return code_ & 0xFF; }  // SQLITE_FULL, SQLITE_BUSY, ...

private:
    int code_;
};

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    ~Statement();

    // Parameters count from 1, as in SQLite.
    Statement& bind(int i, int64_t v);
    Statement& bind(int i, std::string_view text);
    Statement& bind(int i, ByteView blob);
    Statement& bindNull(int i);
    // True while there is a row; false when done. Throws on failure.
    bool step();
    // Ready for new parameters (bindings are kept until bound again).
    void reset();

    int64_t integer(int col) const;
    std::string text(int col) const;
    ByteView blob(int col) const;  // valid until the next step() or reset()
    bool isNull(int col) const;

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
};

// Resets a cached statement when the work with it ends, however it ends, so
// a failed step never leaves it holding a read open.
class Use {
public:
    explicit Use(Statement& s) : s_(s) { s_.reset(); }
    ~Use() { s_.reset(); }
    Statement* operator->() { return &s_; }
    Statement& operator*() { return s_; }

private:
    Statement& s_;
};

class Connection {
public:
    // Flags as sqlite3_open_v2 takes them. Throws when it cannot open.
    Connection(const std::string& path, int flags);
    Connection(Connection&&) = delete;
    ~Connection();

    void exec(std::string_view sql);
    Statement prepare(std::string_view sql) { return Statement(db_, sql); }
    // The first column of the first row of `sql` as an integer.
    int64_t integer(std::string_view sql);
    int64_t lastInsertId() const;
    int changes() const;
    bool inTransaction() const;
    // Whether the file opened read-only (asked so, or not writable).
    bool readOnly() const;

    // How long a statement waits for another connection's lock before it
    // fails as busy.
    void busyTimeout(int ms);
    // Closing never folds the log into the file nor deletes it: for a
    // connection that only looks at a file that may be moved aside.
    void noCheckpointOnClose();
    // Rolls back the transaction open now, if any. A rollback cannot fail
    // in a way the caller could mend: it ends the transaction either way,
    // and it runs where a failure is already being reported.
    void rollbackQuietly();

private:
    sqlite3* db_ = nullptr;
};

// A transaction for as long as the object lives, as Use is a statement's
// use: begun by the constructor unless one is open already (the object is
// then a part of that one and ends nothing), made to last by commit(), and
// rolled back by the destructor when commit() was not reached, however the
// work ended.
class Transaction {
public:
    enum class Kind {
        Read,   // BEGIN: one snapshot for all its statements
        Write,  // BEGIN IMMEDIATE: waits for another writer up to the busy timeout
    };
    Transaction(Connection& db, Kind kind);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    // Whether this object began the transaction, and so ends it.
    bool owns() const { return owns_; }
    // Commits what this object began; nothing for a part of an open one.
    // Throws when the commit fails (the destructor then rolls back).
    void commit();

private:
    Connection& db_;
    bool owns_ = false;
    bool committed_ = false;
};

// Throws Error for `rc` unless it is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
void check(sqlite3* db, int rc);

} // namespace kw::sql
