#include "store/Sqlite.h"

#include <sqlite3.h>

namespace kw::sql {

void check(sqlite3* db, int rc)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    // The connection's message says more than the code's ("no such table:
    // x"), but belongs to the last failure only.
    const int last = db ? sqlite3_extended_errcode(db) : rc;
    throw Error(rc, (db && (last & 0xFF) == (rc & 0xFF)) ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db)
{
    check(db_, sqlite3_prepare_v3(db_, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &st_, nullptr));
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), st_(other.st_)
{
    other.st_ = nullptr;
}

Statement::~Statement()
{
    sqlite3_finalize(st_);
}

Statement& Statement::bind(int i, int64_t v)
{
    check(db_, sqlite3_bind_int64(st_, i, v));
    return *this;
}

Statement& Statement::bind(int i, std::string_view text)
{
    check(db_, sqlite3_bind_text(st_, i, text.data(), int(text.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bind(int i, ByteView blob)
{
    // A zero-length blob is a blob, not NULL.
    static const uint8_t none = 0;
    check(db_, sqlite3_bind_blob(st_, i, blob.empty() ? &none : blob.data(), int(blob.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bindNull(int i)
{
    check(db_, sqlite3_bind_null(st_, i));
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_extended_errcode(db_);
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(st_);
    throw Error(code, message);
}

void Statement::reset()
{
    // The error of an earlier step was reported by that step.
    sqlite3_reset(st_);
}

int64_t Statement::integer(int col) const
{
    return sqlite3_column_int64(st_, col);
}

std::string Statement::text(int col) const
{
    const auto* p = sqlite3_column_text(st_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(sqlite3_column_bytes(st_, col))) : std::string();
}

ByteView Statement::blob(int col) const
{
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st_, col));
    return p ? ByteView(p, size_t(sqlite3_column_bytes(st_, col))) : ByteView();
}

bool Statement::isNull(int col) const
{
    return sqlite3_column_type(st_, col) == SQLITE_NULL;
}

Connection::Connection(const std::string& path, int flags)
{
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw Error(code, message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Connection::~Connection()
{
    sqlite3_close_v2(db_);
}

void Connection::exec(std::string_view sql)
{
    const std::string s(sql);
    check(db_, sqlite3_exec(db_, s.c_str(), nullptr, nullptr, nullptr));
}

int64_t Connection::integer(std::string_view sql)
{
    Statement s(db_, sql);
    return s.step() ? s.integer(0) : 0;
}

int64_t Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

int Connection::changes() const
{
    return sqlite3_changes(db_);
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(db_) == 0;
}

bool Connection::readOnly() const
{
    return sqlite3_db_readonly(db_, "main") == 1;
}

void Connection::busyTimeout(int ms)
{
    sqlite3_busy_timeout(db_, ms);
}

void Connection::noCheckpointOnClose()
{
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void Connection::rollbackQuietly()
{
    if (inTransaction())
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

Transaction::Transaction(Connection& db, Kind kind) : db_(db)
{
    if (db_.inTransaction())
        return;
    db_.exec(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
    owns_ = true;
}

Transaction::~Transaction()
{
    if (owns_ && !committed_)
        db_.rollbackQuietly();
}

void Transaction::commit()
{
    if (!owns_ || committed_)
        return;
    db_.exec("COMMIT");
    committed_ = true;
}

} // namespace kw::sql
