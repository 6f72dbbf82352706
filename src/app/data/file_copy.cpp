#include "app/data/file_copy.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "platform/host/unique_fd.h"

namespace orvexa::data {
namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

std::error_code errno_code() { return {errno, std::generic_category()}; }
std::error_code injected(int code) { return {code, std::generic_category()}; }
std::error_code sqlite_code(int code) {
  // SQLITE_FULL is the disk full, everything else an I/O error for the operator's purposes.
  return injected(code == SQLITE_FULL ? ENOSPC : EIO);
}

Database open_database(const std::filesystem::path& file, int flags) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  Database db(raw);
  if (db) sqlite3_busy_timeout(db.get(), 5000);
  return db;
}

std::error_code sync_file(const std::filesystem::path& file) {
  host::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return errno_code();
  if (::fsync(fd.get()) != 0) return errno_code();
  return {};
}

}  // namespace

std::error_code copy_database(const std::filesystem::path& source,
                              const std::filesystem::path& target, host::FileFaults* faults) {
  if (faults && faults->next_fails()) return injected(EACCES);
  Database from = open_database(source, SQLITE_OPEN_READONLY);
  if (!from || sqlite3_errcode(from.get()) != SQLITE_OK) return injected(EIO);
  Database to = open_database(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (!to || sqlite3_errcode(to.get()) != SQLITE_OK) return injected(EACCES);
  sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
  if (!backup) return sqlite_code(sqlite3_errcode(to.get()));
  const int stepped = sqlite3_backup_step(backup, -1);
  const int finished = sqlite3_backup_finish(backup);
  if (stepped != SQLITE_DONE) return sqlite_code(stepped);
  if (finished != SQLITE_OK) return sqlite_code(finished);
  if (faults && faults->next_fails()) return injected(ENOSPC);
  if (sqlite3_close(to.release()) != SQLITE_OK) return injected(EIO);
  if (faults && faults->next_fails()) return injected(EIO);
  return sync_file(target);
}

std::error_code copy_file_synced(const std::filesystem::path& source, int target,
                                 host::FileFaults* faults) {
  if (faults && faults->next_fails()) return injected(EACCES);
  host::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return errno_code();
  std::string buffer(1 << 20, '\0');
  for (;;) {
    const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno_code();
    if (got == 0) break;
    if (faults && faults->next_fails()) return injected(ENOSPC);
    for (ssize_t done = 0; done < got;) {
      const ssize_t put =
          ::write(target, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return errno_code();
      done += put;
    }
  }
  if (faults && faults->next_fails()) return injected(EIO);
  if (::fsync(target) != 0) return errno_code();
  return {};
}

bool is_contact_database(const std::filesystem::path& file) {
  Database db = open_database(file, SQLITE_OPEN_READONLY);
  if (!db || sqlite3_errcode(db.get()) != SQLITE_OK) return false;
  auto single_text = [&](const char* sql) -> std::string {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &raw, nullptr) != SQLITE_OK) return {};
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW) return {};
    const unsigned char* text = sqlite3_column_text(raw, 0);
    return text ? reinterpret_cast<const char*>(text) : "";
  };
  return single_text("pragma quick_check") == "ok" &&
         single_text("select count(*) from sqlite_master where type='table' and name='groups'") ==
             "1";
}

}  // namespace orvexa::data
