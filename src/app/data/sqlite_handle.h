// The SQLite connection under a Qt Sql connection, for the paths where Qt's per-value
// conversions cost more than the query (bulk inserts, reading many rows).
#pragma once

#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <memory>
#include <string>

namespace orvexa::data {

// Qt's SQLite driver and this library are the same SQLite, so its handle is ours to use on
// the connection's own thread. nullptr for any other driver.
inline sqlite3* sqlite_handle(const QSqlDatabase& db) {
  if (!db.isOpen()) return nullptr;
  const QVariant handle = db.driver()->handle();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
  return *static_cast<sqlite3* const*>(handle.data());
}

using SqliteStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// A prepared statement, or an empty one with `error` set.
inline SqliteStatement prepare_statement(sqlite3* db, const std::string& sql, std::string& error) {
  sqlite3_stmt* prepared = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK)
    error = sqlite3_errmsg(db);
  return SqliteStatement(prepared, sqlite3_finalize);
}

inline bool bind_text(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_STATIC) == SQLITE_OK;
}

}  // namespace orvexa::data
