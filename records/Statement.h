#pragma once
// One prepared SQLite statement, finalised with its owner; what failed is kept, not thrown,
// so that a read gives what it could read and says why it stopped.

#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace keyfall::records {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db)
    {
        if (const int rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); rc != SQLITE_OK) {
            m_error = sqlite3_errmsg(db);
            m_code = rc;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
    Statement& Bind(int index, double value)
    {
        sqlite3_bind_double(m_stmt, index, value);
        return *this;
    }
    Statement& BindNull(int index)
    {
        sqlite3_bind_null(m_stmt, index);
        return *this;
    }
    Statement& Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row to read; false when done or failed (see ok()).
    bool Step()
    {
        if (!m_stmt)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE) {
            m_error = sqlite3_errmsg(m_db);
            m_code = rc;
        }
        return false;
    }
    void Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    double Real(int column) const { return sqlite3_column_double(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    std::string Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))) : std::string();
    }
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    int code() const { return m_code; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_error;
    int m_code = SQLITE_OK;
};

// `sql` with every "{games}" and "{keys}" replaced by the rows of those tables inside the
// domain the schema states, and every "{missed_for}" by `missedFor` (the column, or 0 in a
// file from before it).
std::string WithDomain(std::string sql, const std::string& missedFor = "0");

} // namespace keyfall::records
