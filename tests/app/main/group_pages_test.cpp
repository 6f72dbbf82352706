// The group definition and editing pages on a real contact database: groups made, chosen and
// dropped, members entered with their dates through real keys, and the grid edited in place.
#include <gtest/gtest.h>

#include "app/data/data_messages.h"
#include "app/main/member_dates_dialog.h"
#include "data_pages_rig.h"

namespace orvexa::app {
namespace {

using namespace testing;
namespace text = data::text;

QString s(const char* utf8) { return QString::fromUtf8(utf8); }

TEST(GroupPages, CreateRefusesEmptyAndDuplicateNamesAndFillsEveryChooser) {
  DataRig rig;
  rig.go_to("TabSheet3");
  auto* name = rig.in<QLineEdit>("TabSheet3", "Edit4");
  struct Case {
    QString typed;
    std::string message;
  };
  const Case cases[] = {
      {"", text::kEnterGroupName},
      {"دوستان", text::kGroupCreated},
      {"دوستان", text::kDuplicateGroup},
      {"دوستان ", text::kGroupCreated},  // a trailing blank makes another name
      {"   ", text::kGroupCreated},       // blanks are a name
  };
  for (const auto& c : cases) {
    rig.boxes.boxes.clear();
    name->setText(c.typed);
    rig.in<QPushButton>("TabSheet3", "BitBtn3")->click();
    EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{c.message}) << c.typed.toStdString();
  }
  EXPECT_EQ(name->text(), "") << "cleared after a group is stored";
  ASSERT_EQ(rig.store.groups().size(), 3u);
  EXPECT_EQ(rig.store.groups()[0].gcode, "1");
  name->setText(QString(80, u'x'));
  EXPECT_EQ(name->text().size(), 50);
  for (const char* chooser : {"DBLookupComboBox3", "DBLookupComboBox2", "DBLookupComboBox4",
                              "DBLookupComboBox1"}) {
    auto* c = rig.form().findChild<QComboBox*>(chooser);
    ASSERT_NE(c, nullptr) << chooser;
    EXPECT_EQ(c->count(), 3) << chooser;
  }
}

TEST(GroupPages, EachChooserActsOnItsOwnGroupAndCountsAreExact) {
  DataRig rig;
  for (auto n : {"A", "B"}) ASSERT_TRUE(rig.store.create_group(n).ok);
  std::vector<data::Member> rows(3);
  for (auto& r : rows) r.num = "0912";
  ASSERT_TRUE(rig.store.insert_rows(rig.group("B"), rows).ok);
  rig.go_to("TabSheet4");

  rig.in<QPushButton>("TabSheet4", "BitBtn5")->click();
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{text::kChooseGroup});
  rig.choose("TabSheet4", "DBLookupComboBox4", "BitBtn4", "A");  // removal chooser on A, cancelled
  rig.choose("TabSheet4", "DBLookupComboBox2", "BitBtn5", "B");
  EXPECT_EQ(rig.in<QLabel>("TabSheet4", "Label56")->text().toStdString(),
            text::member_count_label("B", 3));
  EXPECT_EQ(rig.in<QTableView>("TabSheet4", "DBGrid2")->model()->rowCount(), 3);
  EXPECT_EQ(rig.ask.questions, std::vector<std::string>{text::kConfirmDrop});
  EXPECT_EQ(rig.store.groups().size(), 2u) << "Cancel drops nothing";

  rig.go_to("TabSheet3");
  EXPECT_EQ(rig.in<QTableView>("TabSheet4", "DBGrid2")->model()->rowCount(), 0)
      << "a page change closes the member tables";
  rig.choose("TabSheet3", "DBLookupComboBox3", "BitBtn1", "A");
  EXPECT_EQ(rig.in<QLabel>("TabSheet3", "Label46")->text().toStdString(),
            text::member_count_label("A", 0));
}

// Types `keys` into the dialog's fields when it opens and leaves it with `how`.
void script_dates(TForm3& dates, std::vector<std::pair<int, QString>> keys, const char* how) {
  QTimer::singleShot(0, &dates, [&dates, keys, how] {
    for (const auto& [field, typed] : keys) QTest::keyClicks(dates.field(field), typed);
    if (std::string_view(how) == "escape") QTest::keyClick(dates.field(1), Qt::Key_Escape);
    else dates.findChild<QPushButton*>(how)->click();
  });
}

TEST(MemberEntry, EnterChainKeyRulesDatesAndInsertion) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("G").ok);
  rig.go_to("TabSheet3");
  rig.in<QPushButton>("TabSheet3", "BitBtn2")->click();
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{text::kChooseEntryGroup});
  rig.choose("TabSheet3", "DBLookupComboBox3", "BitBtn1", "G");

  auto field = [&](const char* n) { return rig.in<QLineEdit>("TabSheet3", n); };
  QTest::keyClicks(field("Edit5"), "  Ali ");
  QTest::keyClick(field("Edit5"), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), field("Edit6"));
  QTest::keyClicks(field("Edit6"), QString(60, u'f'));
  EXPECT_EQ(field("Edit6")->text().size(), 50) << "cut at the column's length";
  QTest::keyClick(field("Edit6"), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), field("Edit1"));
  QTest::keyClick(field("Edit1"), Qt::Key_Return);
  QTest::keyClick(field("Edit2"), Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), rig.in<QPushButton>("TabSheet3", "Button3"));
  QTest::keyClicks(field("Edit7"), "09a 12-+3");
  EXPECT_EQ(field("Edit7")->text(), "0912+3") << "letters, blanks and '-' dropped";
  EXPECT_TRUE(rig.boxes.boxes.size() == 1) << "without a message";

  auto& dates = *rig.form().findChild<TForm3*>("Form3");
  script_dates(dates, {{1, "5x"}, {2, "034"}, {31, "1"}, {32, "2"}, {33, "14035"}}, "Button1");
  rig.in<QPushButton>("TabSheet3", "Button3")->click();
  EXPECT_EQ(rig.in<QPushButton>("TabSheet3", "Button3")->text(), s("درج گرديد"));
  EXPECT_TRUE(rig.in<QLabel>("TabSheet3", "Image37")->isVisible());
  EXPECT_EQ(dates.field(2)->text(), "03");
  EXPECT_EQ(dates.field(33)->text(), "1403");
  QApplication::setActiveWindow(&rig.form());  // the window system's part offscreen
  EXPECT_EQ(QApplication::focusWidget(), field("Edit7"))
      << "the dialog hands the focus back: "
      << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "");

  QTest::keyClick(field("Edit7"), Qt::Key_Return);  // inserts
  EXPECT_EQ(rig.boxes.boxes.back(), text::kMemberStored);
  auto stored = rig.members_of("G");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].id, 1);
  EXPECT_EQ(stored[0].name, "Ali");
  EXPECT_EQ(stored[0].num, "0912+3");
  EXPECT_EQ(stored[0].tart, "03/5");
  EXPECT_EQ(stored[0].tarezd, "/");
  EXPECT_EQ(stored[0].tare, "140321");
  EXPECT_EQ(rig.in<QLabel>("TabSheet3", "Label46")->text().toStdString(),
            text::member_count_label("G", 1));
  EXPECT_EQ(rig.in<QTableView>("TabSheet3", "DBGrid1")->model()->rowCount(), 1);
  EXPECT_EQ(field("Edit5")->text(), "");
  EXPECT_EQ(dates.field(1)->text(), "");
  EXPECT_EQ(rig.in<QPushButton>("TabSheet3", "Button3")->text(), s("درج"));
  EXPECT_FALSE(rig.in<QLabel>("TabSheet3", "Image37")->isVisible());

  // Escape keeps what was typed and it is still stored; the year left empty gives 88888888.
  script_dates(dates, {{1, "7"}, {31, "01"}, {32, "02"}}, "escape");
  rig.in<QPushButton>("TabSheet3", "Button3")->click();
  EXPECT_EQ(rig.in<QPushButton>("TabSheet3", "Button3")->text(), s("درج"));
  field("Edit7")->setText("  ");  // pasted blanks
  rig.in<QPushButton>("TabSheet3", "BitBtn2")->click();
  EXPECT_EQ(rig.boxes.boxes.back(), text::kEnterPhone);
  EXPECT_EQ(dates.field(1)->text(), "7") << "a refused insertion keeps the dates";
  field("Edit7")->setText(" 021");
  rig.in<QPushButton>("TabSheet3", "BitBtn2")->click();
  stored = rig.members_of("G");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1].id, 2);
  EXPECT_EQ(stored[1].num, " 021");
  EXPECT_EQ(stored[1].tart, "/7");
  EXPECT_EQ(stored[1].tare, "88888888");

  // Cancel empties the dialog; entering the page again empties the fields.
  script_dates(dates, {{3, "12"}}, "Button2");
  rig.in<QPushButton>("TabSheet3", "Button3")->click();
  EXPECT_EQ(dates.field(3)->text(), "");
  field("Edit5")->setText("x");
  rig.go_to("TabSheet4");
  rig.go_to("TabSheet3");
  EXPECT_EQ(field("Edit5")->text(), "");
}

TEST(MemberEditing, GridEditsArePostedOnMoveButtonPageChangeAndCloseAndBadValuesReRead) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("G").ok);
  std::vector<data::Member> rows(3);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].num = "09" + std::to_string(i);
    rows[i].tare = "88888888";
  }
  ASSERT_TRUE(rig.store.insert_rows(rig.group("G"), rows).ok);
  rig.go_to("TabSheet4");
  rig.choose("TabSheet4", "DBLookupComboBox2", "BitBtn5", "G");
  auto* grid = rig.in<QTableView>("TabSheet4", "DBGrid2");
  auto* model = grid->model();

  // Typing into a cell and moving to the next row stores the row.
  grid->setCurrentIndex(model->index(0, 0));
  grid->setFocus();
  QTest::keyClick(grid, 'n');  // any key opens the cell editor
  ASSERT_NE(QApplication::focusWidget(), grid);
  QTest::keyClicks(QApplication::focusWidget(), QString(44, u'n'));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(rig.members_of("G")[0].name, "") << "not stored while the row is current";
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(rig.members_of("G")[0].name, std::string(40, 'n')) << "cut at varchar(40)";

  // The post navigator, with the cell editor still open.
  grid->setCurrentIndex(model->index(1, 1));
  rig.in<QPushButton>("TabSheet4", "DBNavigator1")->click();
  QTest::keyClicks(QApplication::focusWidget(), "fam");
  rig.in<QPushButton>("TabSheet4", "DBNavigator2")->click();
  EXPECT_EQ(rig.members_of("G")[1].family, "fam");

  // A value the integer column refuses: the Persian error and the grid shows the database.
  model->setData(model->index(2, 20), "abc", Qt::EditRole);
  rig.in<QPushButton>("TabSheet4", "DBNavigator2")->click();
  EXPECT_EQ(rig.boxes.errors, std::vector<std::string>{text::kOperationFailed});
  EXPECT_EQ(model->index(2, 20).data().toString(), "88888888");
  EXPECT_EQ(rig.members_of("G")[2].tare, "88888888");

  // A page change and the window's close post what is being edited.
  model->setData(model->index(2, 2), "0999", Qt::EditRole);
  rig.go_to("TabSheet3");
  EXPECT_EQ(rig.members_of("G")[2].num, "0999");
  rig.go_to("TabSheet4");
  rig.choose("TabSheet4", "DBLookupComboBox2", "BitBtn5", "G");
  model->setData(model->index(2, 0), "last", Qt::EditRole);
  rig.form().close();
  EXPECT_EQ(rig.members_of("G")[2].name, "last");
}

TEST(MemberEditing, DeleteAsksFirst) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("G").ok);
  std::vector<data::Member> rows(2);
  rows[0].num = "1";
  rows[1].num = "2";
  ASSERT_TRUE(rig.store.insert_rows(rig.group("G"), rows).ok);
  rig.go_to("TabSheet4");
  rig.choose("TabSheet4", "DBLookupComboBox2", "BitBtn5", "G");
  auto* grid = rig.in<QTableView>("TabSheet4", "DBGrid2");
  grid->setCurrentIndex(grid->model()->index(0, 2));
  rig.in<QPushButton>("TabSheet4", "DBNavigator3")->click();  // Cancel
  EXPECT_EQ(rig.members_of("G").size(), 2u);
  rig.ask.answers = {true};
  rig.in<QPushButton>("TabSheet4", "DBNavigator3")->click();
  EXPECT_EQ(rig.ask.questions, (std::vector<std::string>{"Delete record?", "Delete record?"}));
  ASSERT_EQ(rig.members_of("G").size(), 1u);
  EXPECT_EQ(rig.members_of("G")[0].num, "2");
  EXPECT_EQ(grid->model()->rowCount(), 1);
}

TEST(GroupPages, DropWithTheTableHeldOpenByTheGridTakesRowAndTableTogether) {
  DataRig rig;
  ASSERT_TRUE(rig.store.create_group("Old").ok);
  std::vector<data::Member> rows(1);
  rows[0].num = "1";
  ASSERT_TRUE(rig.store.insert_rows(rig.group("Old"), rows).ok);
  rig.go_to("TabSheet4");
  rig.choose("TabSheet4", "DBLookupComboBox2", "BitBtn5", "Old");
  auto* model = rig.in<QTableView>("TabSheet4", "DBGrid2")->model();
  model->setData(model->index(0, 0), "pending", Qt::EditRole);
  rig.ask.answers = {true};
  rig.choose("TabSheet4", "DBLookupComboBox4", "BitBtn4", "Old");
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{text::kGroupDropped});
  EXPECT_TRUE(rig.store.groups().empty());
  EXPECT_EQ(model->rowCount(), 0);
  EXPECT_EQ(rig.in<QComboBox>("TabSheet4", "DBLookupComboBox4")->count(), 0);
  // The next group takes code 1 again and finds an empty table.
  ASSERT_TRUE(rig.store.create_group("New").ok);
  EXPECT_EQ(rig.group("New").gcode, "1");
  EXPECT_EQ(rig.store.count_members(rig.group("New")), 0);
}

TEST(MemberGrid, HundredThousandMembersAreReadInBlocks) {
  DataRig rig(false);
  ASSERT_TRUE(rig.store.create_group("Big").ok);
  std::vector<data::Member> rows(100000);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].num = std::to_string(i);
  ASSERT_TRUE(rig.store.insert_rows(rig.group("Big"), rows).ok);
  MemberTableModel model(rig.store, false);
  ASSERT_TRUE(model.open(rig.group("Big")));
  EXPECT_EQ(model.rowCount(), 100000);
  for (int row : {0, 255, 256, 54321, 99999, 3}) {
    EXPECT_EQ(model.index(row, 2).data().toString(), QString::number(row)) << row;
  }
  for (int row = 0; row < 100000; row += 97) (void)model.index(row, 2).data();
  EXPECT_EQ(model.index(99998, 2).data().toString(), "99998");
}

}  // namespace
}  // namespace orvexa::app
