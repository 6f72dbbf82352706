// The main window and calls.db, offscreen on the manual clock: a campaign left unfinished is
// offered at start (continued with only the members left, or marked stopped and not asked
// again), a calls.db the program cannot use is asked about (run unrecorded, or refuse to
// start), and a normal campaign leaves its attempts in calls.db with its log unchanged.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <deque>
#include <fstream>

#include "../campaign/campaign_fakes.h"
#include "app/campaign/campaign_texts.h"
#include "app/campaign/code_page_1256.h"
#include "app/campaign/record_texts.h"
#include "app/main/application_windows.h"
#include "app/main/page_dialogs.h"
#include "app/main/window_records.h"

namespace orvexa::app {
namespace {

using namespace std::chrono_literals;
using namespace campaign::testing;
using campaign::CampaignState;
using campaign::Outcome;
namespace fs = std::filesystem;
namespace text = campaign::text;

QApplication& application() {
  static int argc = 1;
  static char name[] = "window_records_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  return *new QApplication(argc, argv);  // never destroyed, as in the other window tests
}

class NoFiles final : public FileChooser {
 public:
  std::optional<std::string> open_log() override { return std::nullopt; }
  std::optional<std::string> save_log() override { return std::nullopt; }
  std::optional<std::string> open_wave() override { return std::nullopt; }
  std::optional<std::string> save_report(ReportFormat) override { return std::nullopt; }
};

// Answers the window's questions from a queue (Cancel when it runs out) and keeps them.
class QueuedQuestions final : public PageDialogs {
 public:
  std::deque<bool> answers;
  std::vector<std::string> asked;
  bool confirm(std::string_view text) override {
    asked.emplace_back(text);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> choose_folder(std::string_view) override { return std::nullopt; }
};

// 2026-12-09 10:30 local time: 1405/09/18.
messaging::WallTime morning() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 9;
  tm.tm_hour = 10;
  tm.tm_min = 30;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

struct Folder {
  fs::path path = fs::temp_directory_path() / ("orvexa-window-records-" + std::to_string(::getpid()));
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
    std::ofstream(path / campaign::kOpeningFile) << std::string(100, 'a');
    std::ofstream(path / campaign::kMainFile) << std::string(100, 'b');
    std::ofstream(path / "Other.wav") << std::string(100, 'c');
  }
  ~Folder() { fs::remove_all(path); }
  fs::path calls() const { return path / records::kCallsFile; }
};

// One run of the window over `folder`; `recorded` false builds it as before calls.db existed.
struct Window {
  messaging::ManualClock clock{morning()};
  messaging::Loop loop{clock};
  Scheduler scheduler{loop};
  FakeLine line{loop, scheduler};
  FakeVoice voice{scheduler, line};
  FakeMembers members;
  RecordingDialogs dialogs;
  NoFiles files;
  host::RecordingShell shell;
  QueuedQuestions questions;
  std::unique_ptr<WindowRecords> records;  // outlives the windows, as in the program
  std::unique_ptr<ApplicationWindows> windows;

  Window(const fs::path& folder, std::deque<bool> answers, bool recorded = true) {
    application();
    questions.answers = std::move(answers);
    members.group_rows = {{"G", "7"}};
    members.tables["7"] = {{"1", ""}, {"2", ""}, {"3", ""}};
    for (const char* n : {"1", "2", "3", "0912"}) line.scripts[n] = {{FarEnd::Answer, '1'}};
    if (recorded) records = std::make_unique<WindowRecords>(folder, loop.clock());
    windows = std::make_unique<ApplicationWindows>(MainWindowDeps{
        loop, line, voice, members, dialogs, files, shell, folder, records.get(), &questions});
    line.bind(form().engine().call_flow());
    voice.bind(form().engine().call_flow());
    voice.prep = &form().messages();
    form().set_show_splash(false);
    form().FormShow();
  }
  ~Window() { windows.reset(); }
  TForm1& form() { return windows->main(); }
  const std::vector<std::string>& log() { return form().status_log().lines(); }
  void start_group() {
    form().findChild<QRadioButton*>("RadioButton2")->setChecked(true);
    auto* groups = form().findChild<QComboBox*>("DBLookupComboBox1");
    groups->setCurrentIndex(groups->findText("G"));
    form().findChild<QPushButton*>("BitBtn6")->click();
  }
  void start_number(const char* number) {
    form().findChild<QLineEdit*>("shomare")->setText(number);
    form().findChild<QPushButton*>("BitBtn6")->click();
  }
  bool run_to_end() {
    return loop.run_until([&] { return !form().engine().operation_open(); }, 2h);
  }
};

void sql(const fs::path& file, const std::string& text) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

records::CampaignRow only_campaign(const fs::path& file) {
  auto db = records::CallsDatabase::open(file);
  EXPECT_TRUE(db) << db.error();
  if (!db) return {};
  auto all = db->campaigns();
  EXPECT_EQ(all.size(), 1u);
  return all.empty() ? records::CampaignRow{} : all.front();
}

// A group campaign of three, with its own opening message and a waiting length of 2, left in
// its second call: the window closed mid-call, or the program killed (its row still running,
// its process gone).
enum class LeftBy { ClosedWindow, KilledProgram };

void leave_unfinished(const Folder& folder, LeftBy how) {
  Window first(folder.path, {});
  first.form().pre_call_settings().waiting_length = 2;
  first.form().message_paths().opening = (folder.path / "Other.wav").string();
  first.start_group();
  ASSERT_TRUE(first.loop.run_until([&] { return first.line.dialled.size() == 2; }, 1h));
  first.loop.run_for(3s);  // answered, the opening playing
  if (how == LeftBy::KilledProgram) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    // Its row as the killed program leaves it: running, under a process that is gone.
    first.windows.reset();
    sql(folder.calls(), "UPDATE campaigns SET state = 'running', owner_pid = " + std::to_string(child) +
                            "; UPDATE attempts SET outcome = NULL, progress = NULL WHERE id = "
                            "(SELECT MAX(id) FROM attempts)");
  }
}

TEST(WindowRecords, AnUnfinishedCampaignIsOfferedAtStart) {
  struct Case {
    const char* what;
    LeftBy left;
    bool answer;
  };
  const Case cases[] = {{"closed, continued", LeftBy::ClosedWindow, true},
                        {"killed, continued", LeftBy::KilledProgram, true},
                        {"closed, declined", LeftBy::ClosedWindow, false},
                        {"killed, declined", LeftBy::KilledProgram, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Folder folder;
    leave_unfinished(folder, c.left);
    Window again(folder.path, {c.answer});
    ASSERT_EQ(again.questions.asked.size(), 1u);
    const std::string& question = again.questions.asked[0];
    EXPECT_NE(question.find("کارزار شماره 1 "), std::string::npos) << question;
    EXPECT_NE(question.find("1405/09/18 10:30"), std::string::npos) << question;
    EXPECT_NE(question.find("با 2 نفر از 3 نفر"), std::string::npos) << question;
    if (c.answer) {
      ASSERT_TRUE(again.run_to_end());
      EXPECT_EQ(again.line.dialled, (std::vector<std::string>{"2", "3"})) << "member 1 heard it all";
      ASSERT_FALSE(again.log().empty());
      EXPECT_EQ(again.log().front(), std::string(text::kResumedCampaign) + "1");
      EXPECT_EQ(again.log().back(), std::string(text::kEndOfOperation));
      // With the message and the waiting length it was started with.
      EXPECT_EQ(again.voice.heard("2", (folder.path / "Other.wav").string()), 1);
      EXPECT_EQ(again.voice.heard("2", (folder.path / campaign::kOpeningFile).string()), 0);
      EXPECT_EQ(again.form().pre_call_settings().waiting_length, 2);
      EXPECT_EQ(again.form().findChild<QLineEdit*>("Edit9")->text().toStdString(),
                (folder.path / "Other.wav").string());
      again.windows.reset();
      const auto row = only_campaign(folder.calls());
      EXPECT_EQ(row.state, CampaignState::Finished);
      EXPECT_EQ(row.members_done, 3);
    } else {
      EXPECT_TRUE(again.line.dialled.empty());
      EXPECT_FALSE(again.form().engine().running());
      EXPECT_TRUE(again.log().empty());
      again.windows.reset();
      EXPECT_EQ(only_campaign(folder.calls()).state, CampaignState::Stopped);
      Window third(folder.path, {true});
      EXPECT_TRUE(third.questions.asked.empty()) << "declined once, not asked again";
      EXPECT_TRUE(third.line.dialled.empty());
    }
  }
}

TEST(WindowRecords, ACallsDbItCannotUseIsAskedAbout) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    bool answer;
  };
  auto text_file = [](const fs::path& f) { std::ofstream(f) << "name,number\n" << std::string(4096, 'x'); };
  auto newer = [](const fs::path& f) { sql(f, "PRAGMA user_version = 9"); };
  const Case cases[] = {{"text, run unrecorded", text_file, true},
                        {"text, refused", text_file, false},
                        {"newer, run unrecorded", newer, true},
                        {"newer, refused", newer, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Folder folder;
    c.make(folder.calls());
    Window window(folder.path, {c.answer});
    ASSERT_EQ(window.questions.asked.size(), 1u);
    EXPECT_NE(window.questions.asked[0].find(folder.calls().string()), std::string::npos)
        << window.questions.asked[0];
    window.start_number("0912");
    const std::string not_recorded(records_text::kNotRecorded);
    if (c.answer) {
      ASSERT_TRUE(window.run_to_end());
      EXPECT_EQ(window.line.dialled, std::vector<std::string>{"0912"});
      ASSERT_FALSE(window.log().empty());
      EXPECT_EQ(window.log().front(), not_recorded);
      EXPECT_EQ(std::count(window.log().begin(), window.log().end(), not_recorded), 1);
      EXPECT_EQ(window.dialogs.boxes, std::vector<std::string>{std::string(text::kEndOfOperation)});
    } else {
      EXPECT_TRUE(window.line.dialled.empty());
      EXPECT_FALSE(window.form().engine().running());
      ASSERT_EQ(window.dialogs.boxes.size(), 1u);
      EXPECT_NE(window.dialogs.boxes[0].find(folder.calls().string()), std::string::npos);
      EXPECT_EQ(std::count(window.log().begin(), window.log().end(), not_recorded), 0);
    }
  }
}

TEST(WindowRecords, ANormalCampaignIsRecordedWithItsLogUnchanged) {
  std::vector<std::string> unrecorded_log;
  {
    Folder folder;
    Window before(folder.path, {}, /*recorded=*/false);
    before.start_number("0912");
    ASSERT_TRUE(before.run_to_end());
    unrecorded_log = before.log();
    EXPECT_FALSE(fs::exists(folder.calls()));
  }
  Folder folder;
  Window window(folder.path, {});
  EXPECT_TRUE(window.questions.asked.empty()) << "a new calls.db asks nothing";
  window.start_number("0912");
  ASSERT_TRUE(window.run_to_end());
  EXPECT_EQ(window.log(), unrecorded_log);
  auto db = records::CallsDatabase::open(folder.calls());
  ASSERT_TRUE(db) << db.error();
  const auto campaigns = db->campaigns();
  ASSERT_EQ(campaigns.size(), 1u);
  EXPECT_EQ(campaigns[0].state, CampaignState::Finished);
  const auto attempts = db->attempts(campaigns[0].id);
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_EQ(attempts[0].number, "0912");
  EXPECT_EQ(attempts[0].outcome, Outcome::HeardMain);
  EXPECT_EQ(attempts[0].keys, "1");
}

TEST(WindowRecords, TheNotRecordedLineFitsTheLogFilesCodePage) {
  bool lossy = false;
  campaign::utf8_to_cp1256(records_text::kNotRecorded, &lossy);
  EXPECT_FALSE(lossy);
}

}  // namespace
}  // namespace orvexa::app
