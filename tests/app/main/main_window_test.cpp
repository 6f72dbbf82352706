// The main window offscreen, on the manual clock, with fakes of the line, the voice device and
// the member tables: controls by their design names, start-up, a campaign through the buttons
// (and the channel table of one on several channels), the status log's files and the report at
// close.
#include <gtest/gtest.h>

#include <QApplication>
#include <fstream>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <thread>

#include "../campaign/campaign_fakes.h"
#include "app/campaign/campaign_texts.h"
#include "app/campaign/code_page_1256.h"
#include "app/main/application_windows.h"
#include "app/main/channel_table.h"
#include "app/main/report_page.h"
#include "app/records/store_recorder.h"

namespace orvexa::app {
namespace {

using namespace std::chrono_literals;
using namespace campaign::testing;
namespace fs = std::filesystem;
namespace text = campaign::text;

QApplication& application() {
  static int argc = 1;
  static char name[] = "main_window_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit it would outlive what Qt's own statics need and crash.
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  return *new QApplication(argc, argv);
}

class ScriptedFiles final : public FileChooser {
 public:
  std::optional<std::string> next;
  std::optional<std::string> open_log() override { return next; }
  std::optional<std::string> save_log() override { return next; }
  std::optional<std::string> open_wave() override { return next; }
  std::optional<std::string> save_report(ReportFormat) override { return next; }
};

// 2026-12-09 10:30 local time is 1405/09/18 in the Solar calendar.
messaging::WallTime local_time(int y, unsigned mo, unsigned d, int h, int mi) {
  const auto day = std::chrono::sys_days(std::chrono::year(y) / mo / d);
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = static_cast<int>(mo) - 1;
  tm.tm_mday = static_cast<int>(d);
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  (void)day;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

// Calling hours closed until `opens`; the engine asks only with CheckCallingHours on.
class ClosedUntil final : public campaign::CallingWindow {
 public:
  messaging::WallTime opens{};
  mutable int asked = 0;
  std::optional<messaging::WallTime> next_open(messaging::WallTime when) const override {
    ++asked;
    return std::max(when, opens);
  }
  std::string describe(messaging::WallTime) const override { return "OPENS"; }
};

struct WindowRig {
  fs::path folder;
  messaging::ManualClock clock{local_time(2026, 12, 9, 10, 30)};
  messaging::Loop loop{clock};
  Scheduler scheduler{loop};
  FakeLine line{loop, scheduler};
  FakeVoice voice{scheduler, line};
  FakeMembers members;
  RecordingDialogs dialogs;
  ScriptedFiles files;
  host::RecordingShell shell;
  // The channels beyond the window's line, and the line devices the window named for them.
  FakeChannels channels{loop, scheduler, line};
  std::vector<std::vector<int>> channel_devices;
  WindowChannels window_channels{channels, [this](std::vector<int> d) { channel_devices.push_back(std::move(d)); }};
  ClosedUntil hours;
  std::unique_ptr<ApplicationWindows> windows;

  explicit WindowRig(int activate_result = 0, bool with_messages = true) {
    application();
    folder = fs::temp_directory_path() / ("orvexa-window-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (with_messages) {
      std::ofstream(folder / campaign::kOpeningFile) << std::string(100, 'a');
      std::ofstream(folder / campaign::kMainFile) << std::string(100, 'b');
    }
    line.activate_result = activate_result;
    windows = std::make_unique<ApplicationWindows>(
        MainWindowDeps{loop, line, voice, members, dialogs, files, shell, folder, nullptr, nullptr,
                       &window_channels, &hours});
    line.bind(form().engine().call_flow());
    voice.bind(form().engine().call_flow());
    voice.prep = &form().messages();
    form().set_show_splash(false);
    form().FormShow();
  }
  ~WindowRig() {
    windows.reset();
    fs::remove_all(folder);
  }
  TForm1& form() { return windows->main(); }
  template <class W>
  W* find(const char* name) {
    auto* w = form().findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char* name) { find<QPushButton>(name)->click(); }
  // A group campaign through the buttons, with `channels` calls at once set in TForm6.
  void start_group(const std::string& name, std::vector<FakeMembers::Member> ms, int calls) {
    members.group_rows.push_back({name, "g1"});
    members.tables["g1"] = std::move(ms);
    form().PageControl1Change();  // refills the group chooser
    form().findChild<QDialog*>("Form6")->findChild<QSpinBox*>("SpinChannels")->setValue(calls);
    find<QRadioButton>("RadioButton2")->setChecked(true);
    find<QComboBox>("DBLookupComboBox1")->setCurrentText(QString::fromStdString(name));
    click("BitBtn6");
  }
  // The channel table's rows, "channel|number|stage|seconds"; empty while it is hidden.
  QStringList channel_rows() {
    auto* table = find<ChannelTable>("ChannelTable");
    QStringList rows;
    if (table->isHidden()) return rows;
    for (int r = 0; r < table->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
      rows << cells.join('|');
    }
    return rows;
  }
  QStringList memo_lines() { return find<QPlainTextEdit>("Memo1")->toPlainText().split('\n'); }
};

TEST(MainWindow, NineWindowsInOrderAndEveryDesignName) {
  WindowRig rig;
  EXPECT_EQ(rig.windows->creation_order(),
            (std::vector<std::string>{"TForm1", "TForm2", "TForm3", "TForm7", "TForm4", "TForm5",
                                      "TForm6", "TForm8", "TForm9"}));
  EXPECT_EQ(rig.form().windowTitle(), QString::fromUtf8("Orvexa  5.0"));
  EXPECT_EQ(rig.form().layoutDirection(), Qt::RightToLeft);
  EXPECT_EQ(rig.form().minimumSize(), rig.form().maximumSize());
  EXPECT_EQ(rig.form().palette().color(QPalette::Window), QColor(185, 204, 240));
  EXPECT_FALSE(persian_font_family().isEmpty()) << "no Persian-capable font installed";
  for (const char* name :
       {"Panel1", "Panel2", "Panel3", "sa1", "sa2", "sa3", "imo", "SpeedButton6", "PageControl1",
        "TreeView1", "e1", "e2", "e3", "saat", "labol", "BitBtn7", "Button4", "Edit9", "Edit8",
        "BitBtn9", "BitBtn10", "BitBtn11", "Button1", "BitBtn14", "BitBtn13", "BitBtn12", "Button2",
        "SpeedButton2", "SpeedButton1", "RadioButton1", "shomare", "RadioButton2",
        "DBLookupComboBox1", "RadioButton3", "Edit3", "num", "Memo1", "SpeedButton5",
        "SpeedButton4", "SpeedButton3", "b1", "b2", "b3", "Gauge1", "SpeedButton31", "CheckBox1",
        "GroupBox5", "BitBtn6", "BitBtn8", "Memo2", "Memo3", "Edit10", "Edit11", "Edit12"}) {
    EXPECT_NE(rig.form().findChild<QWidget*>(name), nullptr) << name;
  }
  auto* pages = rig.find<QTabWidget>("PageControl1");
  const QStringList wanted = {"صفحه نخست",      "انجام عمليات",   "تعريف گروه ها",
                              "ويرايش گروه ها", "پشتيباني اطلاعات", "تنظيمات امنيتي",
                              "گزارش تماس ها",  "ساعات تماس و تعطيلات", "يادآوري هاي روزانه",
                              " در باره  برنامه "};
  ASSERT_EQ(pages->count(), wanted.size());
  for (int i = 0; i < pages->count(); ++i) EXPECT_EQ(pages->tabText(i), wanted[i]);
  EXPECT_TRUE(rig.find<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_FALSE(rig.find<QPushButton>("BitBtn7")->isVisibleTo(&rig.form()));
}

TEST(MainWindow, StartUpLineFailureClockAndMessagePaths) {
  {
    WindowRig rig(/*activate_result=*/9, /*with_messages=*/false);
    EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{std::string(text::kLineActivationBox)});
    EXPECT_EQ(rig.form().status_log().lines(),
              std::vector<std::string>{std::string(text::kLineActivationLog)});
    EXPECT_EQ(rig.find<QLineEdit>("Edit9")->text(), "");
    EXPECT_EQ(rig.find<QLineEdit>("Edit8")->text(), "");
  }
  WindowRig rig;
  EXPECT_TRUE(rig.dialogs.boxes.empty());
  EXPECT_EQ(rig.find<QLineEdit>("Edit9")->text().toStdString(), (rig.folder / "First.wav").string());
  EXPECT_EQ(rig.find<QLineEdit>("Edit8")->text().toStdString(), (rig.folder / "Orginal.wav").string());
  EXPECT_EQ(rig.find<QLabel>("e3")->text(), "1405");
  EXPECT_EQ(rig.find<QLabel>("e2")->text(), "09");
  EXPECT_EQ(rig.find<QLabel>("e1")->text(), "18");
  EXPECT_EQ(rig.find<QLabel>("saat")->text(), "10:30");
  EXPECT_TRUE(rig.find<QLabel>("labol")->text().contains("09, ")) << rig.find<QLabel>("labol")->text().toStdString();
  EXPECT_TRUE(rig.find<QLabel>("labol")->text().endsWith(" 2026"));
  rig.loop.run_for(45s);  // Timer4
  EXPECT_EQ(rig.find<QLabel>("saat")->text(), "10:30");
  rig.loop.run_for(46s);
  EXPECT_EQ(rig.find<QLabel>("saat")->text(), "10:31");
}

TEST(MainWindow, CampaignThroughTheButtonsLocksAndFreesTheWindow) {
  WindowRig rig;
  rig.line.scripts["0912"] = {{FarEnd::Answer, '1'}};
  rig.find<QLineEdit>("shomare")->setText("0912");
  EXPECT_EQ(rig.find<QLineEdit>("num")->text(), "0912");
  rig.click("BitBtn6");
  EXPECT_FALSE(rig.find<QTabWidget>("PageControl1")->isEnabled());
  EXPECT_FALSE(rig.find<QPushButton>("BitBtn6")->isEnabled());
  EXPECT_TRUE(rig.find<QPushButton>("BitBtn7")->isVisibleTo(&rig.form()));
  EXPECT_TRUE(rig.find<QLabel>("imo")->isVisibleTo(&rig.form()));
  EXPECT_EQ(rig.find<QProgressBar>("Gauge1")->value(), 100);

  // The activity dot steps 11 -> 34 -> 57 -> 11 every 650 ms.
  std::vector<int> xs;
  for (int i = 0; i < 4; ++i) {
    xs.push_back(rig.find<QLabel>("imo")->x());
    rig.loop.run_for(650ms);
  }
  EXPECT_EQ(xs, (std::vector<int>{11, 34, 57, 11}));

  // The tree refuses while the campaign runs.
  rig.find<QTreeWidget>("TreeView1")->setCurrentItem(rig.find<QTreeWidget>("TreeView1")->topLevelItem(1)->child(0));
  rig.form().TreeView1Click();
  EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{std::string(text::kBusyRefusal)});
  EXPECT_EQ(rig.find<QTabWidget>("PageControl1")->currentIndex(), 0);

  ASSERT_TRUE(rig.loop.run_until([&] { return rig.dialogs.boxes.size() == 2; }, 1h));
  EXPECT_EQ(rig.dialogs.boxes.back(), std::string(text::kEndOfOperation));
  EXPECT_TRUE(rig.find<QTabWidget>("PageControl1")->isEnabled());
  EXPECT_TRUE(rig.find<QPushButton>("BitBtn6")->isEnabled());
  EXPECT_FALSE(rig.find<QPushButton>("BitBtn7")->isVisibleTo(&rig.form()));
  EXPECT_EQ(rig.find<QLabel>("b1")->text(), "");
  const auto& lines = rig.form().status_log().lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], campaign::date_line("1405/09/18", "10:30"));
  QStringList expected;
  for (const auto& l : lines) expected << QString::fromStdString(l);
  EXPECT_EQ(rig.memo_lines(), expected);
  EXPECT_EQ(rig.voice.heard("0912", (rig.folder / "Orginal.wav").string()), 1);
}

TEST(MainWindow, ChannelTableFollowsACampaignOnThreeChannels) {
  WindowRig rig;
  rig.line.activate(2);  // as the device window leaves it
  rig.form().pre_call_settings().pace = 5;  // set-ups 200 ms apart
  for (const char* n : {"0911", "0912", "0913", "0914"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  EXPECT_TRUE(rig.channel_rows().isEmpty()) << "an idle window shows no table";
  rig.start_group("G", {{"0911", ""}, {"0912", ""}, {"0913", ""}, {"0914", ""}}, 3);
  EXPECT_EQ(rig.form().pre_call_settings().channels, 3);
  EXPECT_EQ(rig.channel_devices, (std::vector<std::vector<int>>{{2}})) << "the channels use the active line";
  ASSERT_EQ(rig.channels.opened.size(), 2u);
  EXPECT_TRUE(rig.form().follows_channels());

  // Each far end answers 2 s after its dial and presses 1 four seconds into the opening message.
  const QString dialing = "در حال شماره‌گیری", opening = "پیام آغازین", main = "پیام اصلی", idle = "آزاد";
  struct Moment {
    const char* name;
    std::chrono::milliseconds at;  // from the start
    QStringList rows;
  };
  const Moment moments[] = {
      {"dialling", 1000ms, {"1|0911|" + dialing + "|1", "2|0912|" + dialing + "|0", "3|0913|" + dialing + "|0"}},
      {"answered", 3000ms, {"1|0911|" + opening + "|3", "2|0912|" + opening + "|2", "3|0913|" + opening + "|2"}},
      {"key 1", 7000ms, {"1|0911|" + main + "|7", "2|0912|" + main + "|6", "3|0913|" + main + "|6"}},
  };
  auto elapsed = 0ms;
  for (const auto& m : moments) {
    rig.loop.run_for(m.at - elapsed);
    elapsed = m.at;
    EXPECT_EQ(rig.channel_rows(), m.rows) << m.name << "\n" << rig.channel_rows().join('\n').toStdString();
  }
  // The fourth member goes to the first channel free; the others run out of members.
  auto row = [&](int r) { return rig.channel_rows().value(r).toStdString(); };
  ASSERT_TRUE(rig.loop.run_until([&] { return row(0).find("0914") != std::string::npos; }, 1min));
  EXPECT_EQ(row(0), ("1|0914|" + dialing + "|0").toStdString());
  const QStringList others_idle{"2||" + idle + "|", "3||" + idle + "|"};
  ASSERT_TRUE(rig.loop.run_until([&] { return rig.channel_rows().mid(1) == others_idle; }, 1min));
  ASSERT_TRUE(rig.loop.run_until([&] { return !rig.form().engine().running(); }, 1h));
  EXPECT_TRUE(rig.channel_rows().isEmpty()) << "the table goes with the campaign";
  EXPECT_FALSE(rig.form().follows_channels());
  EXPECT_EQ(rig.dialogs.boxes.back(), std::string(text::kEndOfOperation));
}

TEST(MainWindow, OneChannelCampaignShowsNoTable) {
  WindowRig rig;
  rig.line.scripts["0911"] = {{FarEnd::Answer, '1'}};
  rig.start_group("G", {{"0911", ""}, {"0912", ""}}, 1);
  ASSERT_TRUE(rig.form().engine().running());
  bool table_seen = false, timer_seen = false;
  while (rig.form().engine().running() && rig.loop.run_for(500ms)) {
    table_seen = table_seen || !rig.channel_rows().isEmpty();
    timer_seen = timer_seen || rig.form().follows_channels();
  }
  EXPECT_FALSE(table_seen);
  EXPECT_FALSE(timer_seen);
  EXPECT_TRUE(rig.channels.opened.empty());
  // Every call on the window's own line, 0912 (no key) retried once, as always.
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"0911", "0912", "0912"}));
}

TEST(MainWindow, CallingHoursHoldTheFirstDialUntilTheyOpen) {
  for (const bool keep_hours : {false, true}) {
    WindowRig rig;
    rig.hours.opens = rig.clock.wall_now() + 2h;
    rig.line.scripts["0912"] = {{FarEnd::Answer, '1'}};
    rig.form().findChild<QDialog*>("Form6")->findChild<QCheckBox*>("CheckCallingHours")->setChecked(keep_hours);
    rig.find<QLineEdit>("shomare")->setText("0912");
    rig.click("BitBtn6");
    rig.loop.run_for(2h - 1s);
    if (keep_hours) {
      EXPECT_TRUE(rig.line.dialled.empty());
      EXPECT_TRUE(rig.form().engine().running());
      EXPECT_TRUE(rig.memo_lines().join('\n').contains("OPENS")) << rig.memo_lines().join('\n').toStdString();
    } else {
      EXPECT_EQ(rig.hours.asked, 0) << "the classic campaign never asks the hours";
    }
    ASSERT_TRUE(rig.loop.run_until([&] { return !rig.form().engine().running(); }, 1h)) << keep_hours;
    EXPECT_EQ(rig.line.dialled, std::vector<std::string>{"0912"}) << keep_hours;
    EXPECT_EQ(rig.voice.heard("0912", (rig.folder / "Orginal.wav").string()), 1) << keep_hours;
  }
}

TEST(MainWindow, ClosingWritesTheReportInCodePage1256) {
  WindowRig rig;
  rig.form().close();
  std::error_code error;
  auto empty = host::read_file(rig.folder / "Last Report.txt", error);
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, "");

  rig.form().status_log().append(text::kBusy);
  rig.form().status_log().append(text::kSeparator);
  rig.form().close();
  auto bytes = host::read_file(rig.folder / "Last Report.txt", error);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, campaign::utf8_to_cp1256(text::kBusy) + "\r\n" + std::string(text::kSeparator) + "\r\n");
}

TEST(MainWindow, UnwritableReportKeepsTheWindowUnlessItMustClose) {
  WindowRig rig;
  fs::create_directories(rig.folder / "Last Report.txt");  // a name that cannot become a file
  rig.form().show();
  rig.form().close();
  EXPECT_EQ(rig.dialogs.errors.size(), 1u);
  EXPECT_TRUE(rig.form().isVisible()) << "the operator is told and the window stays";
  rig.form().close_for_good();  // SIGTERM, a failed password
  EXPECT_EQ(rig.dialogs.errors.size(), 2u);
  EXPECT_FALSE(rig.form().isVisible());
}

TEST(MainWindow, ShutdownClosesWithTheReportBeforeThePowerOff) {
  WindowRig rig;
  rig.form().pre_call_settings().shutdown = true;
  rig.line.scripts["1"] = {{FarEnd::Answer, '2'}};
  rig.find<QLineEdit>("shomare")->setText("1");
  rig.click("BitBtn6");
  ASSERT_TRUE(rig.loop.run_until([&] { return rig.shell.power_off_requests > 0; }, 1h));
  std::vector<std::string> report;
  ASSERT_FALSE(campaign::load_log_file(rig.folder / "Last Report.txt", report));
  EXPECT_EQ(report.back(), std::string(text::kEndOfOperation));
  EXPECT_EQ(rig.shell.power_off_requests, 1);
}

TEST(MainWindow, StatusLogLoadSaveAndClear) {
  WindowRig rig;
  auto& log = rig.form().status_log();
  log.append(text::kDialing);
  log.append("شک");
  const auto saved = (rig.folder / "saved.txt").string();
  rig.files.next = saved;
  rig.click("SpeedButton4");
  rig.click("SpeedButton3");
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(rig.find<QPlainTextEdit>("Memo1")->toPlainText(), "");
  log.append("to be replaced");
  rig.click("SpeedButton5");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{std::string(text::kDialing), "شک"}));
  EXPECT_EQ(rig.memo_lines(), (QStringList{QString::fromUtf8(text::kDialing.data()), "شک"}));

  rig.files.next = (rig.folder / "missing.txt").string();
  rig.click("SpeedButton5");
  EXPECT_EQ(rig.dialogs.errors.size(), 1u);
  EXPECT_EQ(log.lines().size(), 2u) << "a failed load leaves the log";
  rig.files.next.reset();
  rig.click("SpeedButton5");  // cancelled
  EXPECT_EQ(log.lines().size(), 2u);
}

TEST(MainWindow, MessageButtonsFollowTheRecording) {
  WindowRig rig;
  rig.click("BitBtn9");
  const char* buttons[] = {"BitBtn9", "BitBtn10", "BitBtn11", "BitBtn14", "BitBtn13", "BitBtn12"};
  std::vector<bool> enabled;
  for (const char* b : buttons) enabled.push_back(rig.find<QPushButton>(b)->isEnabled());
  EXPECT_EQ(enabled, (std::vector<bool>{false, true, false, false, false, false}));
  std::ofstream(rig.voice.recordings.back(), std::ios::binary) << std::string(200, 'r');
  rig.click("BitBtn10");
  for (const char* b : buttons) EXPECT_TRUE(rig.find<QPushButton>(b)->isEnabled()) << b;
  EXPECT_EQ(rig.form().status_log().lines().back(), std::string(text::kRecDone));
  std::error_code error;
  EXPECT_EQ(host::read_file(rig.folder / "First.wav", error).value_or(""), std::string(200, 'r'));
}

TEST(MainWindow, TreePagesAndTheAboutAnimation) {
  WindowRig rig;
  auto* tree = rig.find<QTreeWidget>("TreeView1");
  auto* pages = rig.find<QTabWidget>("PageControl1");
  tree->setCurrentItem(tree->topLevelItem(4)->child(0));  // about
  rig.form().TreeView1Click();
  EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet8");
  rig.loop.run_for(800ms);
  const int typed = rig.form().typed_count();
  EXPECT_EQ(typed, 10);
  EXPECT_EQ(rig.find<QPlainTextEdit>("Memo2")->toPlainText().size(), typed);
  EXPECT_GT(rig.form().about_colour(), 10);
  rig.loop.run_for(50s);  // 570 characters at 80 ms
  EXPECT_LE(rig.form().typed_count(), 570);
  EXPECT_EQ(rig.find<QPlainTextEdit>("Memo2")->toPlainText(),
            rig.find<QPlainTextEdit>("Memo3")->toPlainText().left(570));
  int lowest = 1000, highest = 0;
  for (int i = 0; i < 200; ++i) {
    rig.loop.run_for(30ms);
    lowest = std::min(lowest, rig.form().about_colour());
    highest = std::max(highest, rig.form().about_colour());
  }
  EXPECT_LE(lowest, 10);
  EXPECT_GE(highest, 208);

  tree->setCurrentItem(tree->topLevelItem(0)->child(0));  // operations
  rig.form().TreeView1Click();
  EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet2");
  tree->setCurrentItem(tree->topLevelItem(2));  // a top node: no page change
  rig.form().TreeView1Click();
  EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet2");
  tree->setCurrentItem(tree->topLevelItem(4)->child(0));
  rig.form().TreeView1Click();
  EXPECT_EQ(rig.form().typed_count(), 0) << "typing restarts from an empty memo";
  EXPECT_EQ(rig.find<QPlainTextEdit>("Memo2")->toPlainText(), "");
}

// Lets Qt deliver the report reader's answer (bounded: a lost answer fails, never hangs).
void settle(ReportPage& page) {
  for (int i = 0; i < 20000 && page.reading(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(page.reading());
}

TEST(MainWindow, ReportNodeReadsCallsDbEachTimeThePageIsEntered) {
  WindowRig rig;
  auto* tree = rig.find<QTreeWidget>("TreeView1");
  auto* pages = rig.find<QTabWidget>("PageControl1");
  auto& report = rig.form().report_page();
  auto go = [&](QTreeWidgetItem* node) {
    tree->setCurrentItem(node);
    rig.form().TreeView1Click();
    settle(report);
  };
  QTreeWidgetItem* report_node = tree->topLevelItem(0)->child(3);
  go(report_node);
  EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet9");
  EXPECT_EQ(report.message().toStdString(), std::string(report_text::kMissing));
  EXPECT_FALSE(fs::exists(rig.folder / records::kCallsFile)) << "looking creates no file";

  // A campaign recorded while another page is shown appears when the page is entered again.
  go(tree->topLevelItem(0)->child(0));
  {
    auto opened = records::CallsDatabase::open(rig.folder / records::kCallsFile);
    ASSERT_TRUE(opened);
    records::StoreRecorder recorder(*opened.db, rig.clock);
    ASSERT_TRUE(recorder.begin({}, {{"G", "1", 1, "N", "F", "0912"}}));
  }
  go(report_node);
  ASSERT_EQ(report.campaigns().size(), 1u);
  EXPECT_EQ(rig.find<QTableWidget>("CampaignList")->item(0, 1)->text(), "1405/09/18 10:30:00");
  go(tree->topLevelItem(0)->child(0));
  EXPECT_TRUE(report.campaigns().empty()) << "leaving the page lets the file go";
}

TEST(SideWindows, SettingsDefaultsAndTheSplashClosesByItself) {
  WindowRig rig;
  auto* settings = rig.form().findChild<QDialog*>("Form6");
  ASSERT_NE(settings, nullptr);
  EXPECT_TRUE(settings->findChild<QCheckBox*>("CheckBox1")->isChecked());
  EXPECT_EQ(settings->findChild<QSlider*>("TrackBar1")->value(), 4);
  EXPECT_FALSE(settings->findChild<QCheckBox*>("CheckBox2")->isChecked());
  auto* calls = settings->findChild<QSpinBox*>("SpinChannels");
  ASSERT_NE(calls, nullptr);
  EXPECT_EQ(calls->value(), 1);
  EXPECT_EQ(calls->maximum(), campaign::PreCallSettings::kMaximumChannels);
  calls->setValue(4);
  EXPECT_EQ(rig.form().pre_call_settings().channels, 4);
  // Our check boxes, off by default, each setting its own value and no other.
  struct Check {
    const char* name;
    bool campaign::PreCallSettings::*value;
  };
  const Check checks[] = {{"CheckKey2Dnc", &campaign::PreCallSettings::key2_dnc},
                          {"CheckCallingHours", &campaign::PreCallSettings::calling_hours},
                          {"CheckRetryPolicy", &campaign::PreCallSettings::retry_policy}};
  for (const auto& c : checks) {
    auto* box = settings->findChild<QCheckBox*>(c.name);
    ASSERT_NE(box, nullptr) << c.name;
    EXPECT_FALSE(box->isChecked()) << c.name;
    EXPECT_FALSE(rig.form().pre_call_settings().*c.value) << c.name;
    box->setChecked(true);
    for (const auto& other : checks)
      EXPECT_EQ(rig.form().pre_call_settings().*other.value, &other == &c) << c.name << " " << other.name;
    box->setChecked(false);
  }
  settings->findChild<QSlider*>("TrackBar1")->setValue(7);
  settings->findChild<QCheckBox*>("CheckBox1")->setChecked(false);
  EXPECT_EQ(rig.form().pre_call_settings().waiting_length, 7);
  EXPECT_FALSE(rig.form().pre_call_settings().retry_once);

  auto* splash = rig.form().findChild<QDialog*>("Form8");
  ASSERT_NE(splash, nullptr);
  splash->show();
  rig.loop.run_for(1400ms);
  EXPECT_TRUE(splash->isVisible());
  rig.loop.run_for(200ms);
  EXPECT_FALSE(splash->isVisible());
}

}  // namespace
}  // namespace orvexa::app
