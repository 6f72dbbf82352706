// Backup of the contact database into "<chosen>/Orvexa Backup/" and restore from a chosen folder.
// Neither ever leaves the database or the previous backup half-written.
//
//   auto report = backup_database(store, chosen_folder, solar_today(clock), {});
//   for (auto& m : report.messages) box.show(m);
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/data/contact_store.h"
#include "app/data/solar_date.h"
#include "platform/host/atomic_file.h"

namespace orvexa::data {

inline constexpr const char* kBackupFolderName = "Orvexa Backup";
inline constexpr const char* kBackupFileName = "OrvexaBack.cfg";
inline constexpr const char* kBackupDateFileName = "tarikh.txt";
inline constexpr const char* kProbeFileName = "bmn.cnt";
inline constexpr const char* kProbeContent = "1101010010010100101000101010";
inline constexpr const char* kKeptDatabaseName = "Orvexa.dll.bak";

namespace text {
inline constexpr const char* kBackupChooserTitle =
    "لطفا مسير مورد نظر جهت ذخيره پشتيبان را انتخاب نماييد";
inline constexpr const char* kRestoreChooserTitle =
    "لطفا مسير فايلهاي پشتيبان ذخيره شده را انتخاب نماييد";
inline constexpr const char* kNoPathChosen = "شما هيچ مسيري را انتخاب نکرديد";
inline constexpr const char* kBackupCopyFailed =
    "ذخيره اطلاعات در مسير انتخاب شده با مشکل مواجه گرديد";
inline constexpr const char* kOperationSucceeded = "عمليات با موفقيت انجام گرديد";
inline constexpr const char* kBackupFilesMissing = "فايلهاي مورد نظر در مسير انتخابي شما وجود ندارد";
inline constexpr const char* kCopyToDiskFirst =
    "ابتدا فايلهاي پشتيبان ذخيره شده را بر روي هارد ديسک سيستم خود کپي نموده و سپس اقدام به "
    "بارگذاري اطلاعات نماييد";
inline constexpr const char* kRestoreSucceeded =
    "عمليات با موفقيت انجام گرديده و برنامه نياز به راه اندازي مجدد دارد";
inline constexpr const char* kWaitNote = "...  لطفا کمي صبر کنيد ";
inline constexpr const char* kProgressCaption = "پشتيباني اطلاعات";
inline constexpr const char* kProgressText =
    "... سيستم در حال ذخيره از اطلاعات مي باشد , لطفا چند لحظه منتظر بمانيد ";
// Our own: the chosen backup file is not a contact database.
inline constexpr const char* kBackupFileInvalid = "فايل پشتيبان انتخاب شده معتبر نمي باشد";
}  // namespace text

// One pause unit of the page's short waits; the caller waits on its loop, never spinning.
inline constexpr std::chrono::milliseconds kPauseUnit{100};

struct CopyHooks {
  std::function<void(std::chrono::milliseconds)> pause;  // none: no waiting at all
  std::function<void(int value, int maximum)> progress;  // the progress window's gauge
  std::function<void()> copying;                         // the checks passed: the copy begins
  host::FileFaults* faults = nullptr;                    // tests: fail the Nth file step
};

struct CopyReport {
  bool ok = false;
  bool restart_required = false;        // a restore succeeded: the program must end
  std::string path_field;               // what the page's path field shows afterwards
  std::vector<std::string> messages;    // message boxes, in order
  std::string error;                    // the system's reason, for logs
};

// `chosen` nullopt: the operator cancelled the folder chooser.
CopyReport backup_database(ContactStore& store, const std::optional<std::string>& chosen,
                           const SolarDate& today, const CopyHooks& hooks);
CopyReport restore_database(ContactStore& store, const std::optional<std::string>& chosen,
                            const CopyHooks& hooks);

// The chosen folder joined with `name`, with "/" added only when the folder lacks one.
std::string join_chosen(const std::string& chosen, const std::string& name);

}  // namespace orvexa::data
