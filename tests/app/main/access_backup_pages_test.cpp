// The security page and the password prompt at start, the backup page with a scripted folder
// chooser, and each window drawn offscreen right to left.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBrowser>
#include <fstream>

#include "app/access/access_messages.h"
#include "app/data/backup.h"
#include "app/main/member_dates_dialog.h"
#include "app/main/side_windows.h"
#include "data_pages_rig.h"

namespace orvexa::app {
namespace {

using namespace testing;
namespace atext = access::text;

TEST(SecurityPage, KeyRulesSetAndRemove) {
  DataRig rig;
  rig.go_to("TabSheet6");
  auto* first = rig.in<QLineEdit>("TabSheet6", "Edit19");
  auto* repeat = rig.in<QLineEdit>("TabSheet6", "Edit20");
  EXPECT_EQ(first->echoMode(), QLineEdit::Password);
  first->setFocus();
  QTest::keyClicks(first, "12a3");
  EXPECT_EQ(first->text(), "123");
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{atext::kDigitsOnly});
  QTest::keyClick(first, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), repeat);

  struct Case {
    const char* first;
    const char* repeat;
    std::string message;
    bool file;
  };
  const Case cases[] = {{"123", "", atext::kEnterNewAndRepeat, false},
                        {"123", "124", atext::kMismatch, false},
                        {"123", "123", atext::kSucceeded, true}};
  for (const auto& c : cases) {
    rig.boxes.boxes.clear();
    first->setText(c.first);
    repeat->setText(c.repeat);
    QTest::keyClick(repeat, Qt::Key_Return);  // Enter sets
    EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{c.message}) << c.first << "/" << c.repeat;
    EXPECT_EQ(fs::exists(rig.folder / "kms32.dll"), c.file);
    EXPECT_EQ(first->text(), "");
    EXPECT_EQ(repeat->text(), "");
  }
  rig.boxes.boxes.clear();
  rig.in<QPushButton>("TabSheet6", "BitBtn16")->click();
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{atext::kRemoved});
  EXPECT_FALSE(fs::exists(rig.folder / "kms32.dll"));
}

// Answers the prompt with `answers`, one confirm each, once it is shown.
void answer_prompt(DataRig& rig, std::vector<QString> answers) {
  auto* prompt = rig.form().findChild<TForm4*>("Form4");
  QTimer::singleShot(0, prompt, [prompt, answers] {
    for (const auto& a : answers) {
      if (!prompt->isVisible()) return;
      QTest::keyClicks(prompt->field(), a);
      QTest::keyClick(prompt->field(), Qt::Key_Return);
    }
  });
}

TEST(PasswordPrompt, ThreeWrongAnswersThenTheRightOneStartTheFourthWrongEndsEvenWithoutReport) {
  struct Case {
    std::vector<QString> answers;
    bool starts;
    std::size_t boxes;
  };
  const Case cases[] = {
      {{"1", "2", "4711 ", "4711"}, true, 3},   // a trailing blank is wrong
      {{"1", "2", "3", "4"}, false, 5},         // four wrong: the closing message too
      {{"4711"}, true, 0},
  };
  for (const auto& c : cases) {
    DataRig rig(false);
    ASSERT_FALSE(access::set_password({{rig.folder / "etc"}, rig.folder}, "4711", "4711",
                                      access::HashCost::minimum()).messages.empty());
    fs::create_directories(rig.folder / "Last Report.txt");  // the report cannot be written
    rig.form().show();
    answer_prompt(rig, c.answers);
    rig.form().FormShow();
    EXPECT_EQ(rig.form().isVisible(), c.starts) << c.answers.size();
    EXPECT_EQ(rig.boxes.boxes.size(), c.boxes);
    if (!c.starts) {
      EXPECT_EQ(rig.boxes.boxes.back(), atext::kClosingForSecurity);
      EXPECT_EQ(rig.boxes.errors.size(), 1u) << "the report error is shown, the window goes anyway";
    }
  }
}

TEST(PasswordPrompt, NoFileNoPromptAndAnUnreadableFileEndsTheProgram) {
  {
    DataRig rig;
    EXPECT_TRUE(rig.form().isVisible());
    EXPECT_TRUE(rig.boxes.boxes.empty());
  }
  DataRig rig(false);
  fs::create_directories(rig.folder / "kms32.dll");  // there, but no file to read
  rig.form().show();
  rig.form().FormShow();
  EXPECT_FALSE(rig.form().isVisible());
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{atext::kUnreadable});
}

TEST(BackupPage, BackupCancelAndRestoreThroughThePage) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("G").ok);
  rig.go_to("TabSheet5");
  auto* path = rig.in<QLineEdit>("TabSheet5", "Edit100");
  rig.in<QPushButton>("TabSheet5", "BitBtn45")->click();  // cancelled
  EXPECT_EQ(path->text().toStdString(), data::text::kNoPathChosen);
  EXPECT_EQ(rig.ask.titles, std::vector<std::string>{data::text::kBackupChooserTitle});
  EXPECT_TRUE(rig.store.is_open()) << "the connection is open again";

  const fs::path chosen = rig.folder / "bk";
  fs::create_directories(chosen);
  rig.ask.folders = {chosen.string()};
  rig.in<QPushButton>("TabSheet5", "BitBtn45")->click();
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{data::text::kOperationSucceeded});
  EXPECT_TRUE(fs::exists(chosen / "Orvexa Backup" / "OrvexaBack.cfg"));
  EXPECT_EQ(path->text().toStdString(), (chosen / "Orvexa Backup/").string());
  auto* progress = rig.form().findChild<TForm7*>("Form7");
  EXPECT_EQ(progress->gauge()->value(), progress->gauge()->maximum());
  EXPECT_FALSE(progress->isVisible());
  EXPECT_FALSE(rig.in<QLabel>("TabSheet5", "wait1")->isVisible());
  EXPECT_TRUE(rig.in<QPushButton>("TabSheet5", "BitBtn46")->isEnabled());

  ASSERT_TRUE(rig.store.create_group("After").ok);
  rig.boxes.boxes.clear();
  rig.ask.folders = {chosen.string()};  // not the backup folder itself
  rig.in<QPushButton>("TabSheet5", "BitBtn46")->click();
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{data::text::kBackupFilesMissing});
  EXPECT_TRUE(rig.form().isVisible());
  rig.ask.folders = {(chosen / "Orvexa Backup").string()};
  rig.in<QPushButton>("TabSheet5", "BitBtn46")->click();
  EXPECT_EQ(rig.boxes.boxes.back(), data::text::kRestoreSucceeded);
  EXPECT_FALSE(rig.form().isVisible()) << "a restore ends the program";
  EXPECT_FALSE(fs::exists(chosen / "Orvexa Backup" / "bmn.cnt"));
  EXPECT_EQ(rig.store.groups().size(), 1u) << "the restored file has only the group of the backup";
}

// Not blank: more than a handful of colours.
bool drawn(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  return colours.size() > 8;
}

TEST(Rendering, PagesAndDialogsAreDrawnRightToLeft) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("G").ok);
  std::vector<data::Member> rows(5);
  for (auto& r : rows) r.num = "0912";
  ASSERT_TRUE(rig.store.insert_rows(rig.group("G"), rows).ok);
  for (const char* page : {"TabSheet3", "TabSheet4", "TabSheet5", "TabSheet6"}) {
    rig.go_to(page);
    if (std::string_view(page) == "TabSheet4") rig.choose(page, "DBLookupComboBox2", "BitBtn5", "G");
    QApplication::processEvents();
    EXPECT_TRUE(drawn(rig.form().grab().toImage())) << page;
    EXPECT_EQ(rig.page(page)->layoutDirection(), Qt::RightToLeft) << page;
  }
  // The grid's first column ("نام") is drawn at the right.
  auto* grid = rig.in<QTableView>("TabSheet4", "DBGrid2");
  EXPECT_GT(grid->columnViewportPosition(0), grid->columnViewportPosition(1));
  EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("نام"));

  auto* dates = rig.form().findChild<TForm3*>("Form3");
  auto* prompt = rig.form().findChild<TForm4*>("Form4");
  auto* web = rig.form().findChild<TForm5*>("Form5");
  auto* progress = rig.form().findChild<TForm7*>("Form7");
  for (QDialog* d : std::initializer_list<QDialog*>{dates, prompt, web, progress}) {
    d->show();
    QApplication::processEvents();
    EXPECT_TRUE(drawn(d->grab().toImage())) << d->objectName().toStdString();
    EXPECT_EQ(d->layoutDirection(), Qt::RightToLeft);
    d->hide();
  }
  // Day field right of the month field, read from right to left.
  dates->show();
  EXPECT_GT(dates->field(1)->mapTo(dates, QPoint()).x(), dates->field(2)->mapTo(dates, QPoint()).x());
  dates->hide();
  EXPECT_TRUE(web->browser()->openExternalLinks());

  // Status log lines start at the right, the separator of hyphens too.
  rig.form().status_log().append("------------------------------");
  rig.form().status_log().append("پايان عمليات");
  rig.go_to("TabSheet2");
  auto* memo = rig.form().findChild<QPlainTextEdit*>("Memo1");
  QApplication::processEvents();
  const QImage log = memo->viewport()->grab().toImage();
  const QRgb ground = log.pixel(log.width() / 2, log.height() - 2);
  int leftmost = log.width();
  for (int y = 0; y < log.height(); ++y)
    for (int x = 0; x < log.width(); ++x)
      if (log.pixel(x, y) != ground) leftmost = std::min(leftmost, x);
  EXPECT_LT(leftmost, log.width()) << "nothing drawn";
  EXPECT_GT(leftmost, log.width() / 2) << "the lines are drawn at the left";
  EXPECT_TRUE(web->browser()->toHtml().contains("notices"));
}

}  // namespace
}  // namespace orvexa::app
