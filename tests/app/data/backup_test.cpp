#include "app/data/backup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSqlQuery>

#include "app/data/data_messages.h"
#include "app/data/file_copy.h"
#include "temp_folder.h"

namespace orvexa::data {
namespace {

namespace fs = std::filesystem;
using testing_support::read_all;
using testing_support::TempFolder;
using testing_support::write_all;
using Messages = std::vector<std::string>;

const SolarDate kToday{1403, 1, 15};

TEST(BackupPaths, FolderIsJoinedWithOneSeparator) {
  struct Case {
    const char* chosen;
    const char* joined;
  };
  const Case cases[] = {{"/", "/Orvexa Backup"},
                        {"/mn", "/mn/Orvexa Backup"},
                        {"/home/u/bk", "/home/u/bk/Orvexa Backup"},
                        {"/home/u/bk/", "/home/u/bk/Orvexa Backup"}};
  for (const Case& c : cases) EXPECT_EQ(join_chosen(c.chosen, kBackupFolderName), c.joined);
}

// Files left in a folder besides the ones expected: a torn copy shows up here.
std::vector<std::string> stray_files(const fs::path& folder, std::initializer_list<std::string> known) {
  std::vector<std::string> stray;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const auto name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) stray.push_back(name);
  }
  return stray;
}

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store.open().ok);
    ASSERT_TRUE(store.create_group("old").ok);
  }
  std::string database_bytes() { return read_all(store.database_path()); }
  fs::path backup_folder() const { return chosen.path() / kBackupFolderName; }
  std::string chosen_text() const { return chosen.path().string(); }

  TempFolder program, chosen;
  ContactStore store{program.path()};
};

TEST_F(BackupTest, CopiesTheDatabaseAndItsDate) {
  std::vector<std::string> pauses;
  CopyHooks hooks;
  int gauge_maximum = 0, gauge_last = -1;
  hooks.progress = [&](int value, int maximum) {
    gauge_maximum = maximum;
    gauge_last = value;
  };
  auto report = backup_database(store, chosen_text(), kToday, hooks);
  EXPECT_TRUE(report.ok) << report.error;
  EXPECT_EQ(report.messages, Messages{text::kOperationSucceeded});
  EXPECT_EQ(report.path_field, backup_folder().string() + "/");
  EXPECT_EQ(gauge_maximum, 3);  // the code-0 row, one group, plus one
  EXPECT_EQ(gauge_last, 3);
  EXPECT_TRUE(store.is_open());
  EXPECT_EQ(read_all(backup_folder() / kBackupDateFileName), "1403/01/15\r\n");
  EXPECT_TRUE(is_contact_database(backup_folder() / kBackupFileName));

  // A second backup replaces both files.
  ASSERT_TRUE(store.create_group("new").ok);
  auto again = backup_database(store, chosen_text() + "/", {1403, 2, 1}, {});
  EXPECT_TRUE(again.ok);
  EXPECT_EQ(read_all(backup_folder() / kBackupDateFileName), "1403/02/01\r\n");
  ContactStore copy(program.path());
  store.close();
  fs::rename(backup_folder() / kBackupFileName, program.path() / "Orvexa.dll");
  ASSERT_TRUE(copy.open().ok);
  EXPECT_EQ(copy.groups().size(), 2u);
  EXPECT_EQ(stray_files(backup_folder(), {kBackupDateFileName}), std::vector<std::string>{});
}

TEST_F(BackupTest, CancelledChooserChangesNothing) {
  for (auto run : {+[](ContactStore& s) { return backup_database(s, std::nullopt, kToday, {}); },
                   +[](ContactStore& s) { return restore_database(s, std::nullopt, {}); }}) {
    const std::string before = database_bytes();
    auto report = run(store);
    EXPECT_FALSE(report.ok);
    EXPECT_EQ(report.path_field, text::kNoPathChosen);
    EXPECT_TRUE(report.messages.empty());
    EXPECT_TRUE(store.is_open());
    EXPECT_TRUE(database_bytes() == before);
  }
}

TEST_F(BackupTest, UncreatableFolderIsReportedAndTheConnectionComesBack) {
  write_all(chosen.path() / "file", "x");
  auto report = backup_database(store, (chosen.path() / "file").string(), kToday, {});
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.messages, Messages{text::kBackupCopyFailed});
  EXPECT_TRUE(store.is_open());
}

// Fail each file step in turn: the previous backup stays whole, success is never claimed.
TEST_F(BackupTest, EveryFailingStepKeepsThePreviousBackup) {
  ASSERT_TRUE(backup_database(store, chosen_text(), kToday, {}).ok);
  const std::string old_backup = read_all(backup_folder() / kBackupFileName);
  ASSERT_TRUE(store.create_group("newer").ok);
  for (int n = 1;; ++n) {
    host::FileFaults faults{n};
    CopyHooks hooks;
    hooks.faults = &faults;
    auto report = backup_database(store, chosen_text(), {1403, 9, 9}, hooks);
    if (faults.steps < n) {
      EXPECT_TRUE(report.ok) << "no fault at step " << n;
      EXPECT_GE(n, 4);
      break;
    }
    SCOPED_TRACE(n);
    EXPECT_FALSE(report.ok);
    EXPECT_EQ(report.messages, Messages{text::kBackupCopyFailed});
    EXPECT_TRUE(store.is_open());
    const std::string now = read_all(backup_folder() / kBackupFileName);
    EXPECT_TRUE(now == old_backup || is_contact_database(backup_folder() / kBackupFileName));
    EXPECT_EQ(stray_files(backup_folder(), {kBackupFileName, kBackupDateFileName}),
              std::vector<std::string>{});
  }
}

// Contacts are personal data: a backup is its owner's alone.
TEST_F(BackupTest, BackupIsReadableByItsOwnerOnly) {
  const mode_t saved = ::umask(022);
  const bool ok = backup_database(store, chosen_text(), kToday, {}).ok;
  ::umask(saved);
  ASSERT_TRUE(ok);
  struct stat st {};
  ASSERT_EQ(::stat((backup_folder() / kBackupFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A backup or restore killed midway leaves a copy as large as the database; the next backup,
// restore or start removes it, and nothing that only looks like it.
TEST_F(BackupTest, CopiesLeftByKilledBackupsAndRestoresGoNextTime) {
  ASSERT_TRUE(backup_database(store, chosen_text(), kToday, {}).ok);
  const std::string backup_part = std::string(kBackupFileName) + ".part4242";
  const std::string database_part = std::string(kDatabaseFileName) + ".part777";
  const std::vector<std::string> look_alikes = {"Orvexa.dll.part777 copy", "Orvexa.dll.part",
                                                "OrvexaBack.cfg.part1"};
  for (const auto& name : {backup_part, backup_part + "-journal"})
    write_all(backup_folder() / name, database_bytes());
  write_all(program.path() / database_part, database_bytes());
  for (const auto& name : look_alikes) write_all(program.path() / name, "mine");

  ASSERT_TRUE(backup_database(store, chosen_text(), kToday, {}).ok);
  EXPECT_EQ(stray_files(backup_folder(), {kBackupFileName, kBackupDateFileName}),
            std::vector<std::string>{});
  EXPECT_TRUE(fs::exists(program.path() / database_part));  // not in the backup's folder

  ASSERT_TRUE(restore_database(store, backup_folder().string(), {}).ok);
  EXPECT_FALSE(fs::exists(program.path() / database_part));

  write_all(program.path() / database_part, database_bytes());
  store.close();
  ContactStore started_again(program.path());
  EXPECT_FALSE(fs::exists(program.path() / database_part));
  for (const auto& name : look_alikes) EXPECT_EQ(read_all(program.path() / name), "mine") << name;
}

class RestoreTest : public BackupTest {
 protected:
  void SetUp() override {
    BackupTest::SetUp();
    ASSERT_TRUE(backup_database(store, chosen_text(), kToday, {}).ok);
    ASSERT_TRUE(store.create_group("made after the backup").ok);
    before = database_bytes();
    backup = read_all(backup_folder() / kBackupFileName);
  }
  void expect_untouched(const CopyReport& report) {
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.restart_required);
    EXPECT_TRUE(store.is_open());
    EXPECT_TRUE(database_bytes() == before);
    EXPECT_EQ(stray_files(program.path(), {"Orvexa.dll"}), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(backup_folder() / kProbeFileName));
  }
  std::string before, backup;
};

TEST_F(RestoreTest, ReplacesTheDatabaseWithTheBackup) {
  auto report = restore_database(store, backup_folder().string(), {});
  EXPECT_TRUE(report.ok) << report.error;
  EXPECT_TRUE(report.restart_required);
  EXPECT_EQ(report.messages, Messages{text::kRestoreSucceeded});
  EXPECT_TRUE(database_bytes() == backup);
  EXPECT_FALSE(fs::exists(backup_folder() / kProbeFileName));
  EXPECT_EQ(stray_files(program.path(), {"Orvexa.dll"}), std::vector<std::string>{});
  EXPECT_EQ(store.groups().size(), 1u);  // the reopened connection sees the restored file
}

TEST_F(RestoreTest, RestoredDatabaseKeepsTheModeOfTheOneItReplaces) {
  ASSERT_EQ(::chmod(store.database_path().c_str(), 0640), 0);
  ASSERT_TRUE(restore_database(store, backup_folder().string(), {}).ok);
  struct stat st {};
  ASSERT_EQ(::stat(store.database_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(RestoreTest, RefusalsLeaveTheDatabaseAlone) {
  struct Case {
    const char* name;
    std::function<std::string()> prepare;  // returns the folder to choose
    const char* message;
  };
  const Case cases[] = {
      {"the folder above the backup", [&] { return chosen_text(); }, text::kBackupFilesMissing},
      {"not a database",
       [&] {
         write_all(chosen.path() / kBackupFileName, "not a database at all");
         return chosen_text();
       },
       text::kBackupFileInvalid},
      {"a database without groups",
       [&] {
         ContactStore other(chosen.path() / "other");
         fs::create_directory(chosen.path() / "other");
         EXPECT_TRUE(other.open().ok);
         QSqlQuery(other.database()).exec("drop table groups");
         other.close();
         fs::rename(chosen.path() / "other" / "Orvexa.dll", chosen.path() / "other" / kBackupFileName);
         return (chosen.path() / "other").string();
       },
       text::kBackupFileInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto report = restore_database(store, c.prepare(), {});
    EXPECT_EQ(report.messages, Messages{c.message});
    expect_untouched(report);
    fs::remove(chosen.path() / kBackupFileName);
  }
}

TEST_F(RestoreTest, UnwritableFolderAsksForACopyOnDisk) {
  host::FileFaults faults{1};  // the probe file cannot be written
  CopyHooks hooks;
  hooks.faults = &faults;
  auto report = restore_database(store, backup_folder().string(), hooks);
  EXPECT_EQ(report.messages, Messages{text::kCopyToDiskFirst});
  expect_untouched(report);
}

TEST_F(RestoreTest, EveryFailingStepKeepsTheOldDatabase) {
  for (int n = 1;; ++n) {
    host::FileFaults faults{n};
    CopyHooks hooks;
    hooks.faults = &faults;
    auto report = restore_database(store, backup_folder().string(), hooks);
    if (faults.steps < n) {
      EXPECT_TRUE(report.ok) << "no fault at step " << n;
      EXPECT_TRUE(database_bytes() == backup);
      EXPECT_GE(n, 5);
      break;
    }
    SCOPED_TRACE(n);
    EXPECT_EQ(report.messages.size(), 1u);
    EXPECT_NE(report.messages.front(), text::kRestoreSucceeded);
    expect_untouched(report);
  }
}

TEST_F(RestoreTest, JournalOfAnotherWriterBlocksTheRestore) {
  write_all(program.path() / "Orvexa.dll-journal", "");
  auto report = restore_database(store, backup_folder().string(), {});
  EXPECT_EQ(report.messages, Messages{text::kOperationFailed});
  EXPECT_TRUE(database_bytes() == before);
}

}  // namespace
}  // namespace orvexa::data
