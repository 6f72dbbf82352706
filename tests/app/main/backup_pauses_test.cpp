// The pauses of the backup and restore flow are timers on the loop's clock: the loop goes on
// meanwhile, the operator's input is held back, and under the manual clock they take no time.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTabBar>

#include "app/data/backup.h"
#include "app/main/side_windows.h"
#include "app/main/timed_wait.h"
#include "data_pages_rig.h"

namespace orvexa::app {
namespace {

using namespace testing;
using namespace std::chrono_literals;

TEST(TimedWait, WaitsItsTimeOnTheLoopClockWhileTheLoopRuns) {
  application();
  messaging::ManualClock clock;
  messaging::Loop loop(clock);
  Scheduler scheduler(loop);
  TimedWait pause(loop);
  struct Case {
    std::chrono::milliseconds asked, waited;
  };
  for (const Case c : {Case{500ms, 500ms}, Case{100ms, 100ms}, Case{0ms, 10ms}}) {
    int ran = 0;
    scheduler.after(c.waited / 2, [&] { ++ran; });
    scheduler.after(c.waited + 1ms, [&] { ran += 100; });  // after the pause: not yet
    const auto start = clock.now();
    pause.wait(c.asked);
    EXPECT_EQ(clock.now() - start, c.waited) << c.asked.count();
    EXPECT_EQ(ran, 1) << c.asked.count();
    loop.run_for(2ms);
    EXPECT_EQ(ran, 101);
  }
}

struct Step {
  const char* what;
  const char* button;
  std::function<std::optional<std::string>(const fs::path&)> folder;  // the chooser's answer
  std::chrono::milliseconds waited;
};

TEST(BackupPauses, EachFlowWaitsItsPausesOnTheLoopClock) {
  DataRig rig;
  rig.go_to("TabSheet5");
  const auto unit = data::kPauseUnit;
  const auto chosen = [](const fs::path& f) { return std::optional<std::string>((f / "bk").string()); };
  const auto backup_folder = [](const fs::path& f) {
    return std::optional<std::string>((f / "bk" / "Orvexa Backup").string());
  };
  const auto none = [](const fs::path&) { return std::optional<std::string>(); };
  fs::create_directories(rig.folder / "bk");
  const Step steps[] = {
      {"backup, cancelled", "BitBtn45", none, 0ms},
      {"backup into a new folder", "BitBtn45", chosen, 6 * unit},
      {"again into the same folder", "BitBtn45", chosen, 5 * unit},
      {"restore, cancelled", "BitBtn46", none, 4 * unit},
      {"restore without a backup there", "BitBtn46", chosen, 4 * unit},
      {"restore", "BitBtn46", backup_folder, 9 * unit},
  };
  for (const auto& s : steps) {
    if (auto f = s.folder(rig.folder)) rig.ask.folders = {*f};
    const auto start = rig.clock.now();
    rig.in<QPushButton>("TabSheet5", s.button)->click();
    EXPECT_EQ(rig.clock.now() - start, s.waited) << s.what;
  }
  EXPECT_FALSE(rig.form().isVisible()) << "the restore ended the program";
}

TEST(BackupPauses, DuringAPauseTheProgressShowsTimersRunAndClicksAreHeldBack) {
  DataRig rig;
  rig.go_to("TabSheet5");
  auto* pages = rig.form().findChild<QTabWidget*>("PageControl1");
  auto* progress = rig.form().findChild<TForm7*>("Form7");
  const fs::path chosen = rig.folder / "bk";
  fs::create_directories(chosen);
  rig.ask.folders = {chosen.string()};

  int ticks = 0;
  bool shown_full = false;
  // The copy is done after the folder pause (one unit); the 500 ms wait with a full gauge follows.
  for (auto at : {50ms, 150ms, 250ms, 350ms, 450ms, 550ms}) rig.scheduler.after(at, [&] { ++ticks; });
  rig.scheduler.after(300ms, [&] {
    shown_full = progress->isVisible() && progress->gauge()->value() == progress->gauge()->maximum();
    auto* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());  // the operations page
    QTest::keyClick(rig.in<QPushButton>("TabSheet5", "BitBtn46"), Qt::Key_Space);
  });
  rig.in<QPushButton>("TabSheet5", "BitBtn45")->click();

  EXPECT_EQ(ticks, 6) << "the loop's timers ran during the pauses";
  EXPECT_TRUE(shown_full);
  EXPECT_EQ(pages->currentWidget(), rig.page("TabSheet5")) << "the click on another page was held back";
  EXPECT_EQ(rig.ask.titles.size(), 1u) << "no restore was started meanwhile";
  EXPECT_FALSE(progress->isVisible());

  // After the operation the same click works again.
  auto* bar = pages->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_EQ(pages->currentWidget(), rig.page("TabSheet2"));
}

TEST(BackupPauses, TheProgressWindowShowsOnlyForACopy) {
  DataRig rig;
  rig.go_to("TabSheet5");
  auto* progress = rig.form().findChild<TForm7*>("Form7");
  const fs::path chosen = rig.folder / "bk";
  fs::create_directories(chosen);
  struct Case {
    const char* what;
    const char* button;
    fs::path folder;
    bool shown;
  };
  const Case cases[] = {{"restore without a backup there", "BitBtn46", chosen, false},
                        {"backup", "BitBtn45", chosen, true},
                        {"restore from the folder above the backup", "BitBtn46", rig.folder, false}};
  for (const auto& c : cases) {
    bool seen = false;
    // Looks every 50 ms while the operation runs.
    for (int i = 1; i <= 20; ++i) rig.scheduler.after(i * 50ms, [&] { seen = seen || progress->isVisible(); });
    rig.ask.folders = {c.folder.string()};
    rig.in<QPushButton>("TabSheet5", c.button)->click();
    rig.loop.run_for(1s);  // the probes left over
    EXPECT_EQ(seen, c.shown) << c.what;
    EXPECT_FALSE(progress->isVisible()) << c.what;
    EXPECT_TRUE(rig.in<QPushButton>("TabSheet5", "BitBtn45")->isEnabled()) << c.what;
  }
}

}  // namespace
}  // namespace orvexa::app
