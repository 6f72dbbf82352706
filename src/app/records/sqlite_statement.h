// A prepared SQLite statement with RAII, typed binds and reads: the store's statements stay
// one line each.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvexa::records {

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &s_, nullptr) != SQLITE_OK)
      s_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return s_ != nullptr; }
  // Ready to run again with new values.
  Statement& reset() {
    if (s_) {
      sqlite3_reset(s_);
      sqlite3_clear_bindings(s_);
    }
    bind_error_ = SQLITE_OK;
    return *this;
  }
  Statement& bind(int i, std::int64_t v) { return check(sqlite3_bind_int64(s_, i, v)); }
  Statement& bind(int i, int v) { return check(sqlite3_bind_int(s_, i, v)); }
  Statement& bind(int i, double v) { return check(sqlite3_bind_double(s_, i, v)); }
  Statement& bind(int i, std::string_view v) {
    return check(sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
  }
  template <typename T>
  Statement& bind(int i, const std::optional<T>& v) {
    return v ? bind(i, *v) : check(sqlite3_bind_null(s_, i));
  }

  // SQLITE_ROW, SQLITE_DONE, or the error.
  int step() { return s_ ? sqlite3_step(s_) : SQLITE_MISUSE; }
  // Runs a statement that returns no rows; false on any error (bind errors included).
  bool run() { return bind_error_ == SQLITE_OK && step() == SQLITE_DONE; }
  int bind_error() const { return bind_error_; }

  std::int64_t integer(int c) const { return sqlite3_column_int64(s_, c); }
  double real(int c) const { return sqlite3_column_double(s_, c); }
  bool null(int c) const { return sqlite3_column_type(s_, c) == SQLITE_NULL; }
  std::optional<std::int64_t> maybe_integer(int c) const {
    return null(c) ? std::nullopt : std::optional<std::int64_t>(integer(c));
  }
  std::string text(int c) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, c))) : std::string();
  }

 private:
  Statement& check(int rc) {
    if (rc != SQLITE_OK && bind_error_ == SQLITE_OK) bind_error_ = rc;
    return *this;
  }
  sqlite3_stmt* s_ = nullptr;
  int bind_error_ = SQLITE_OK;
};

// Runs SQL text without results; false on an error.
inline bool execute(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace orvexa::records
