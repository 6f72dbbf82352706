#include "app/data/backup.h"

#include <fstream>
#include <system_error>

#include "app/data/data_messages.h"
#include "app/data/file_copy.h"
#include "platform/host/partial_file.h"

namespace orvexa::data {
namespace {

namespace fs = std::filesystem;

void pause(const CopyHooks& hooks, int units) {
  if (hooks.pause) hooks.pause(units * kPauseUnit);
}

void progress(const CopyHooks& hooks, int value, int maximum) {
  if (hooks.progress) hooks.progress(value, maximum);
}

bool step_fails(const CopyHooks& hooks) { return hooks.faults && hooks.faults->next_fails(); }

// The connection is closed for the copy and opened again however the operation ends.
template <class Work>
CopyReport with_connection_closed(ContactStore& store, const CopyHooks& hooks, Work work) {
  CopyReport report;
  const int maximum = store.group_row_count() + 1;
  store.close();
  if (hooks.progress) hooks.progress(0, maximum);
  work(report, maximum);
  auto opened = store.open();
  if (!opened.ok) report.messages.push_back(opened.message);
  return report;
}

void remove_quietly(const fs::path& file) {
  std::error_code ignored;
  fs::remove(file, ignored);
}

void fail(CopyReport& report, const char* message, std::error_code error = {}) {
  report.ok = false;
  report.messages.push_back(message);
  if (error) report.error = error.message();
}

// Copy into a new file beside the target, then rename it over: the old file stays whole until
// the new one is complete and synced. A copy left by a backup that was killed goes first.
std::error_code replace_with_backup_copy(const fs::path& database, const fs::path& target,
                                         const CopyHooks& hooks) {
  host::remove_stale_partial_files(target);
  std::error_code error;
  auto part = host::PartialFile::create_beside(target, host::kSecretFileMode, error);
  if (!part) return error;
  error = copy_database(database, part->path(), hooks.faults);
  if (!error && step_fails(hooks)) error = std::make_error_code(std::errc::io_error);
  return error ? error : part->commit();
}

}  // namespace

std::string join_chosen(const std::string& chosen, const std::string& name) {
  if (!chosen.empty() && chosen.back() == '/') return chosen + name;
  return chosen + "/" + name;
}

namespace {

void run_backup(CopyReport& report, int maximum, const fs::path& database,
                const std::optional<std::string>& chosen, const SolarDate& today,
                const CopyHooks& hooks) {
  if (!chosen) {
    report.path_field = text::kNoPathChosen;
    return;
  }
  const fs::path folder = join_chosen(*chosen, kBackupFolderName);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    if (step_fails(hooks)) error = std::make_error_code(std::errc::permission_denied);
    else fs::create_directories(folder, error);
    if (error) return fail(report, text::kBackupCopyFailed, error);
    pause(hooks, 1);
  }
  report.path_field = join_chosen(folder.string(), "");
  if (hooks.copying) hooks.copying();
  // The previous backup and its date stay as they were when the copy fails.
  error = replace_with_backup_copy(database, folder / kBackupFileName, hooks);
  if (error) return fail(report, text::kBackupCopyFailed, error);
  progress(hooks, maximum, maximum);
  pause(hooks, 5);
  error = host::write_file_atomically(folder / kBackupDateFileName, today.text() + "\r\n",
                                      hooks.faults);
  if (error) return fail(report, text::kBackupCopyFailed, error);
  report.ok = true;
  report.messages.push_back(text::kOperationSucceeded);
}

// The probe shows whether the chosen folder can be written (a read-only medium cannot).
bool folder_takes_probe(const std::string& chosen, const CopyHooks& hooks) {
  const fs::path probe = join_chosen(chosen, kProbeFileName);
  if (!step_fails(hooks)) std::ofstream(probe, std::ios::binary) << kProbeContent << "\r\n";
  pause(hooks, 1);
  std::error_code error;
  const bool written = fs::exists(probe, error);
  remove_quietly(probe);
  return written;
}

// Renames the verified copy over the database; the old file is kept beside it until then.
std::error_code put_in_place(host::PartialFile& part, const fs::path& database,
                             const CopyHooks& hooks) {
  const fs::path kept = database.parent_path() / kKeptDatabaseName;
  remove_quietly(kept);
  std::error_code error;
  if (fs::exists(database, error)) {
    if (step_fails(hooks)) {
      error = std::make_error_code(std::errc::io_error);
    } else {
      fs::create_hard_link(database, kept, error);
      if (error) fs::copy_file(database, kept, error);
    }
  }
  if (!error && step_fails(hooks)) error = std::make_error_code(std::errc::io_error);
  if (!error) error = part.commit();
  remove_quietly(kept);
  return error;
}

void run_restore(CopyReport& report, int maximum, const fs::path& database,
                 const std::optional<std::string>& chosen, const CopyHooks& hooks) {
  pause(hooks, 4);
  if (!chosen) {
    report.path_field = text::kNoPathChosen;
    return;
  }
  std::error_code error;
  const fs::path source = join_chosen(*chosen, kBackupFileName);
  if (!fs::is_regular_file(source, error)) return fail(report, text::kBackupFilesMissing);
  if (!folder_takes_probe(*chosen, hooks)) return fail(report, text::kCopyToDiskFirst);
  report.path_field = *chosen;
  // A transaction of another process still in flight: its journal belongs to the old file.
  if (fs::exists(database.string() + "-journal", error))
    return fail(report, text::kOperationFailed);

  if (hooks.copying) hooks.copying();
  // A copy left by a restore that was killed goes first. The restored file keeps the database's
  // mode; a first database is the user's alone.
  host::remove_stale_partial_files(database);
  auto part = host::PartialFile::create_beside(database, {0600, 0777}, error);
  if (!part) return fail(report, text::kOperationFailed, error);
  error = copy_file_synced(source, part->fd(), hooks.faults);
  if (!error && !is_contact_database(part->path())) return fail(report, text::kBackupFileInvalid);
  if (!error) error = put_in_place(*part, database, hooks);
  if (error) return fail(report, text::kOperationFailed, error);
  progress(hooks, maximum, maximum);
  pause(hooks, 4);
  report.ok = true;
  report.restart_required = true;
  report.messages.push_back(text::kRestoreSucceeded);
}

}  // namespace

CopyReport backup_database(ContactStore& store, const std::optional<std::string>& chosen,
                           const SolarDate& today, const CopyHooks& hooks) {
  return with_connection_closed(store, hooks, [&](CopyReport& report, int maximum) {
    run_backup(report, maximum, store.database_path(), chosen, today, hooks);
  });
}

CopyReport restore_database(ContactStore& store, const std::optional<std::string>& chosen,
                            const CopyHooks& hooks) {
  return with_connection_closed(store, hooks, [&](CopyReport& report, int maximum) {
    run_restore(report, maximum, store.database_path(), chosen, hooks);
  });
}

}  // namespace orvexa::data
