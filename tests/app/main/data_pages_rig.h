// The main window with the real contact database in a fresh folder, offscreen on the manual
// clock; the operator's answers (boxes, OK/Cancel, folders) are scripted.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <deque>

#include "../campaign/campaign_fakes.h"
#include "../data/temp_folder.h"
#include "app/main/application_windows.h"
#include "app/main/group_pages.h"
#include "app/main/member_table_model.h"

namespace orvexa::app::testing {

using namespace campaign::testing;
namespace fs = std::filesystem;

inline QApplication& application() {
  static int argc = 1;
  static char name[] = "data_pages_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit it would outlive what Qt's own statics need and crash.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class NoFiles final : public FileChooser {
 public:
  std::optional<std::string> open_log() override { return {}; }
  std::optional<std::string> save_log() override { return {}; }
  std::optional<std::string> open_wave() override { return {}; }
  std::optional<std::string> save_report(ReportFormat) override { return {}; }
};

class ScriptedPageDialogs final : public PageDialogs {
 public:
  std::deque<bool> answers;  // empty: Cancel
  std::deque<std::optional<std::string>> folders;
  std::vector<std::string> questions, titles;
  bool confirm(std::string_view text) override {
    questions.emplace_back(text);
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> choose_folder(std::string_view title) override {
    titles.emplace_back(title);
    if (folders.empty()) return std::nullopt;
    auto f = folders.front();
    folders.pop_front();
    return f;
  }
};

struct DataRig {
  testing_support::TempFolder temp;
  fs::path folder = temp.path();
  messaging::ManualClock clock{std::chrono::system_clock::from_time_t(1765276200)};
  messaging::Loop loop{clock};
  Scheduler scheduler{loop};
  FakeLine line{loop, scheduler};
  FakeVoice voice{scheduler, line};
  FakeMembers members;
  RecordingDialogs boxes;
  NoFiles files;
  ScriptedPageDialogs ask;
  host::RecordingShell shell;
  data::ContactStore store{folder};
  std::unique_ptr<ApplicationWindows> windows;

  // `formats`: which image formats the pictures may use (default: what Qt can decode).
  explicit DataRig(bool show = true, FormatProbe formats = {}) {
    application();
    EXPECT_TRUE(store.open().ok);
    windows = std::make_unique<ApplicationWindows>(
        MainWindowDeps{loop, line, voice, members, boxes, files, shell, folder}, std::move(formats));
    windows->attach_data({store, ask, {{folder / "etc"}, folder}, access::HashCost::minimum()});
    form().set_show_splash(false);
    if (show) {
      form().show();
      QApplication::setActiveWindow(&form());  // focus moves offscreen only in the active window
      form().FormShow();
    }
  }
  ~DataRig() { windows.reset(); }
  TForm1& form() { return windows->main(); }
  QWidget* page(const char* name) { return form().findChild<QWidget*>(name); }
  template <class W>
  W* in(const char* page_name, const char* name) {
    auto* w = page(page_name)->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << page_name << "/" << name;
    return w;
  }
  void go_to(const char* page_name) {
    form().findChild<QTabWidget*>("PageControl1")->setCurrentWidget(page(page_name));
  }
  // Chooses `name` in a chooser and presses its button.
  void choose(const char* page_name, const char* chooser, const char* button, const QString& name) {
    auto* c = in<QComboBox>(page_name, chooser);
    c->setCurrentIndex(c->findText(name));
    in<QPushButton>(page_name, button)->click();
  }
  data::Group group(const std::string& name) { return store.find_group(name).value(); }
  std::vector<data::Member> members_of(const std::string& name) {
    return store.members(group(name)).value_or(std::vector<data::Member>{});
  }
};

}  // namespace orvexa::app::testing
