// TForm1's controls, with the design names as Qt object names.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <QPainter>

#include "app/campaign/campaign_texts.h"
#include "app/main/channel_table.h"
#include "app/main/form_main.h"
#include "app/main/holidays_page.h"
#include "app/main/schedules_page.h"
#include "app/main/page_dialogs.h"
#include "app/main/report_page.h"

namespace orvexa::app {

namespace {

template <class W, class... Args>
W* named(const char* name, QWidget* parent, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(name);
  return w;
}

QLabel* caption(const char* name, const char* text, QWidget* parent) {
  return named<QLabel>(name, parent, QString::fromUtf8(text));
}

QPushButton* push(const char* name, const char* text, const char* hint, QWidget* parent) {
  auto* b = named<QPushButton>(name, parent, QString::fromUtf8(text));
  if (hint) b->setToolTip(QString::fromUtf8(hint));
  return b;
}

constexpr int kDotLeft[] = {11, 34, 57};

}  // namespace

void TForm1::build() {
  auto* central = named<QWidget>("ClientArea", this);
  setCentralWidget(central);
  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->addWidget(build_top_panel(), 0, 0, 1, 2);

  auto* side = new QVBoxLayout;
  auto* title = named<QWidget>("Panel2", central);
  auto* title_row = new QHBoxLayout(title);
  auto* emblem = named<QLabel>("Image4", title);
  QPixmap badge(28, 28);
  badge.fill(Qt::transparent);
  QPainter painter(&badge);
  draw_badge(painter, Glyph::Phone, QRectF(0, 0, 28, 28), QColor(0, 140, 70));
  emblem->setPixmap(badge);
  title_row->addStretch();
  title_row->addWidget(emblem);
  title_row->addWidget(caption("Label2", "( Orvexa )", title));
  title_row->addStretch();
  side->addWidget(title);
  build_tree();
  side->addWidget(TreeView1);
  grid->addLayout(side, 1, 0);

  PageControl1 = named<QTabWidget>("PageControl1", central);
  struct Page {
    const char* name;
    const char* caption;
  };
  const Page pages[] = {{"TabSheet1", "صفحه نخست"},       {"TabSheet2", "انجام عمليات"},
                        {"TabSheet3", "تعريف گروه ها"},     {"TabSheet4", "ويرايش گروه ها"},
                        {"TabSheet5", "پشتيباني اطلاعات"}, {"TabSheet6", "تنظيمات امنيتي"},
                        {"TabSheet9", "گزارش تماس ها"},     {"TabSheet10", "ساعات تماس و تعطيلات"},
                        {"TabSheet11", "يادآوري هاي روزانه"}, {"TabSheet8", " در باره  برنامه "}};
  for (const auto& p : pages) {
    QWidget* page = nullptr;
    if (std::string_view(p.name) == "TabSheet2") {
      page = build_operations_page();
    } else if (std::string_view(p.name) == "TabSheet8") {
      page = build_about_page();
    } else if (std::string_view(p.name) == "TabSheet9") {
      page = build_report_page();
    } else if (std::string_view(p.name) == "TabSheet10") {
      page = build_holidays_page();
    } else if (std::string_view(p.name) == "TabSheet11") {
      page = build_schedules_page();
    } else {
      page = new QWidget;
      if (std::string_view(p.name) == "TabSheet1") {
        auto* home = new QVBoxLayout(page);
        auto* picture = caption("Image2", " Orvexa ", page);
        picture->setAlignment(Qt::AlignCenter);
        if (QPixmap home_picture = pictures_.picture(Picture::Home); !home_picture.isNull())
          picture->setPixmap(home_picture);
        else
          picture->setStyleSheet("font-size: 48px; color: rgb(30, 60, 120);");
        home->addWidget(picture);
      }
    }
    page->setObjectName(p.name);
    PageControl1->addTab(page, QString::fromUtf8(p.caption));
  }
  grid->addWidget(PageControl1, 1, 1);

  BitBtn7 = push("BitBtn7", "متوقف نمودن عمليات", nullptr, central);
  BitBtn7->setVisible(false);
  grid->addWidget(BitBtn7, 2, 1, Qt::AlignLeft);
  grid->addWidget(build_status_bar(), 3, 0, 1, 2);
  // Set once the bar sits in the window, whose right-to-left direction would otherwise win.
  findChild<QWidget*>("DateBox")->setLayoutDirection(Qt::LeftToRight);

  // Outside the visible area: it only takes the focus away from the input controls.
  Button4 = push("Button4", "", nullptr, central);
  Button4->setGeometry(-200, -200, 10, 10);
  show_pictures();
}

void TForm1::show_pictures() {
  set_glyphs(*this, {{"BitBtn9", Glyph::Record}, {"BitBtn10", Glyph::Stop}, {"BitBtn11", Glyph::Play},
                     {"BitBtn14", Glyph::Record}, {"BitBtn13", Glyph::Stop}, {"BitBtn12", Glyph::Play},
                     {"Button1", Glyph::Folder}, {"Button2", Glyph::Folder},
                     {"SpeedButton2", Glyph::Hardware}, {"SpeedButton1", Glyph::Help},
                     {"SpeedButton31", Glyph::Sliders}, {"SpeedButton5", Glyph::Folder},
                     {"SpeedButton4", Glyph::Save}, {"SpeedButton3", Glyph::Eraser},
                     {"BitBtn6", Glyph::Start}, {"BitBtn8", Glyph::Stop}, {"BitBtn7", Glyph::Stop},
                     {"AboutSiteButton", Glyph::Globe}, {"AboutLatestButton", Glyph::Backup},
                     {"AboutNoticesButton", Glyph::Book}});
  set_glyphs(*this, {{"SpeedButton6", Glyph::Info}}, 24);
  TreeView1->setIconSize(QSize(26, 26));
  for (QTreeWidgetItemIterator it(TreeView1); *it; ++it)
    (*it)->setIcon(0, QIcon(node_picture((*it)->data(0, Qt::UserRole).toInt())));
}

QWidget* TForm1::build_top_panel() {
  auto* panel = named<QWidget>("Panel1", nullptr);
  panel->setFixedHeight(56);
  // The banner lies under the dots, the caption and the about button.
  auto* banner = named<QLabel>("Image1", panel);
  banner->setGeometry(0, 0, picture_info(Picture::Banner).width, 56);
  banner->setPixmap(pictures_.picture(Picture::Banner));
  QLabel* dots[3] = {};
  const char* names[] = {"sa1", "sa2", "sa3"};
  for (int i = 0; i < 3; ++i) {
    dots[i] = caption(names[i], "●", panel);
    dots[i]->setGeometry(kDotLeft[i], 20, 14, 14);
  }
  sa1 = dots[0];
  sa3 = dots[2];
  imo = caption("imo", "●", panel);
  imo->setStyleSheet("color: rgb(0, 160, 0);");
  imo->setGeometry(kDotLeft[0], 20, 14, 14);
  imo->setVisible(false);
  auto* activity = caption("Label1", "وضعيت فعاليت", panel);
  activity->setGeometry(80, 18, 120, 20);
  auto* about = push("SpeedButton6", "", "در باره برنامه", panel);
  about->setGeometry(862, 12, 32, 32);
  about->setFlat(true);
  return panel;
}

void TForm1::build_tree() {
  TreeView1 = named<QTreeWidget>("TreeView1", nullptr);
  TreeView1->setHeaderHidden(true);
  TreeView1->setFixedWidth(190);
  struct Node {
    const char* caption;
    int picture;
    std::vector<std::pair<const char*, int>> children;
  };
  const Node nodes[] = {
      {"انجام عمليات", 3, {{"انجام عمليات", 24}, {"تنظيمات قبل از تماس", 14}, {"راهنماي تعيين پيام", 11},
                           {"گزارش تماس ها", 28}}},
      {"اطلاعات گروه ها", 4, {{"تعريف گروه ها", 19}, {"ويرايش گروه ها", 0}}},
      {"بانک اطلاعات", 17, {{"پشتيباني اطلاعات", 7}}},
      {"تنظيمات برنامه", 5, {{"تغيير سخت افزار ", 26}, {"تنظيمات امنيتي", 23},
                             {"ساعات تماس و تعطيلات", 29}, {"يادآوري هاي روزانه", 30}}},
      {"راهنماي برنامه", 18, {{"در باره برنامه", 10}, {"ورود به وب سايت گروه", 22}}},
  };
  for (const auto& n : nodes) {
    auto* top = new QTreeWidgetItem(TreeView1, {QString::fromUtf8(n.caption)});
    top->setData(0, Qt::UserRole, n.picture);
    for (const auto& [text, picture] : n.children) {
      auto* child = new QTreeWidgetItem(top, {QString::fromUtf8(text)});
      child->setData(0, Qt::UserRole, picture);
    }
  }
  TreeView1->expandAll();
}

QWidget* TForm1::build_message_rows(QWidget* page) {
  auto* box = named<QGroupBox>("GroupBox1", page);
  auto* grid = new QGridLayout(box);
  struct Row {
    const char* caption;
    const char* record;
    const char* stop;
    const char* play;
    const char* choose;
    const char* path;
  };
  const Row rows[] = {
      {"ضبط و يا انتخاب پيام صوتي آغازين ", "BitBtn9", "BitBtn10", "BitBtn11", "Button1", "Edit9"},
      {"ضبط و يا انتخاب پيام صوتي اصلي ", "BitBtn14", "BitBtn13", "BitBtn12", "Button2", "Edit8"},
  };
  for (int r = 0; r < 2; ++r) {
    const auto& row = rows[r];
    grid->addWidget(caption(r == 0 ? "Label9" : "Label8", row.caption, box), r, 0);
    auto* path = named<QLineEdit>(row.path, box);
    path->setReadOnly(true);
    path->setLayoutDirection(Qt::LeftToRight);
    (r == 0 ? Edit9 : Edit8) = path;
    grid->addWidget(path, r, 1);
    message_buttons_[r * 3 + 0] = push(row.record, "ضبط", "ضبط پيام", box);
    message_buttons_[r * 3 + 1] = push(row.stop, "توقف", "توقف", box);
    message_buttons_[r * 3 + 2] = push(row.play, "اجرا", "اجراي پيام", box);
    for (int k = 0; k < 3; ++k) grid->addWidget(message_buttons_[r * 3 + k], r, 2 + k);
    grid->addWidget(push(row.choose, "...", "انتخاب فايل پيام از روي هارد ديسک", box), r, 5);
  }
  return box;
}

QWidget* TForm1::build_campaign_choice(QWidget* page) {
  auto* box = named<QGroupBox>("GroupBox2", page);
  auto* grid = new QGridLayout(box);
  RadioButton1 = named<QRadioButton>("RadioButton1", box, QString::fromUtf8("تماس فقط  با شماره"));
  RadioButton1->setChecked(true);
  shomare = named<QLineEdit>("shomare", box);
  RadioButton2 = named<QRadioButton>("RadioButton2", box, QString::fromUtf8("تماس  فقط   با  گروه"));
  DBLookupComboBox1 = named<QComboBox>("DBLookupComboBox1", box);
  RadioButton3 = named<QRadioButton>("RadioButton3", box, QString::fromUtf8("تماس با کليه گروه ها"));
  Edit3 = named<QLineEdit>("Edit3", box, QString::fromUtf8(campaign::text::kAllGroupsCaption.data()));
  Edit3->setReadOnly(true);
  num = named<QLineEdit>("num", box);
  num->setGeometry(-300, -300, 10, 10);  // outside the visible area, never in a layout
  grid->addWidget(RadioButton1, 0, 0);
  grid->addWidget(shomare, 0, 1);
  grid->addWidget(RadioButton2, 1, 0);
  grid->addWidget(DBLookupComboBox1, 1, 1);
  grid->addWidget(RadioButton3, 2, 0);
  grid->addWidget(Edit3, 2, 1);
  return box;
}

QWidget* TForm1::build_filter_box(QWidget* page) {
  auto* holder = new QWidget(page);
  auto* column = new QVBoxLayout(holder);
  CheckBox1 = named<QCheckBox>("CheckBox1", holder, QString::fromUtf8(" اعمال فيلتر  تاريخ"));
  column->addWidget(CheckBox1);
  auto* box = named<QGroupBox>("GroupBox5", holder);
  GroupBox5 = box;
  auto* grid = new QGridLayout(box);
  grid->addWidget(caption("Label15", "تماس با هر يک  از  اعضاي گروه انتخاب شده در صورت تساوي تاريخ ", box), 0, 0, 1, 6);
  RadioButton4 = named<QRadioButton>("RadioButton4", box, QString::fromUtf8("تولد"));
  RadioButton5 = named<QRadioButton>("RadioButton5", box, QString::fromUtf8("ازدواج"));
  RadioButton6 = named<QRadioButton>("RadioButton6", box, QString::fromUtf8("قرارداد"));
  RadioButton7 = named<QRadioButton>("RadioButton7", box, QString::fromUtf8("اقساط"));
  RadioButton7->setChecked(true);
  int col = 0;
  for (auto* r : {RadioButton4, RadioButton5, RadioButton6, RadioButton7}) grid->addWidget(r, 1, col++);
  grid->addWidget(caption("Label16", "با تاريخ : ", box), 2, 0);
  Edit11 = named<QLineEdit>("Edit11", box);
  Edit10 = named<QLineEdit>("Edit10", box);
  for (auto* e : {Edit11, Edit10}) e->setMaxLength(2);
  auto* year = named<QLineEdit>("Edit12", box, QString("13 X X"));
  year->setReadOnly(true);
  grid->addWidget(Edit11, 2, 1);
  grid->addWidget(caption("Label17", "/", box), 2, 2);
  grid->addWidget(Edit10, 2, 3);
  grid->addWidget(caption("Label18", "/", box), 2, 4);
  grid->addWidget(year, 2, 5);
  box->setVisible(false);
  column->addWidget(box);
  return holder;
}

QWidget* TForm1::build_operations_page() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  grid->addWidget(build_message_rows(page), 0, 0, 1, 3);
  auto* tools = new QHBoxLayout;
  tools->addWidget(push("SpeedButton2", "سخت افزار", nullptr, page));
  tools->addWidget(push("SpeedButton1", "راهنما", "راهنماي انجام عمليات", page));
  tools->addWidget(push("SpeedButton31", "تنظيمات", "تنظيمات قبل از تماس", page));
  grid->addLayout(tools, 1, 0, 1, 3);
  grid->addWidget(build_campaign_choice(page), 2, 0);
  grid->addWidget(build_filter_box(page), 2, 1);

  Memo1 = named<QPlainTextEdit>("Memo1", page);
  Memo1->setReadOnly(true);
  read_right_to_left(Memo1);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A hidden table takes no room: with one channel the log has the whole cell, as it always had.
  channel_table_ = new ChannelTable(page);
  channel_table_->setVisible(false);
  auto* log_column = new QVBoxLayout;
  log_column->setContentsMargins(0, 0, 0, 0);
  log_column->addWidget(channel_table_);
  log_column->addWidget(Memo1);
  grid->addLayout(log_column, 3, 0, 1, 2);
  auto* log_tools = new QVBoxLayout;
  log_tools->addWidget(push("SpeedButton5", "بارگذاري", "بارگذاري فايل وضعيت ذخيره شده", page));
  log_tools->addWidget(push("SpeedButton4", "ذخيره", "ذخيره وضعيتها در فايل", page));
  log_tools->addWidget(push("SpeedButton3", "پاک", "پاک کردن صفحه", page));
  grid->addLayout(log_tools, 3, 2);

  auto* progress = new QHBoxLayout;
  b1 = caption("b1", "", page);
  b2 = caption("b2", "", page);
  b3 = caption("b3", "", page);
  Gauge1 = named<QProgressBar>("Gauge1", page);
  Gauge1->setStyleSheet("QProgressBar::chunk { background-color: green; }");
  Gauge1->setRange(0, 100);
  Gauge1->setValue(0);
  for (auto* w : {static_cast<QWidget*>(b1), static_cast<QWidget*>(b2), static_cast<QWidget*>(b3),
                  static_cast<QWidget*>(Gauge1)}) {
    progress->addWidget(w);
  }
  grid->addLayout(progress, 4, 0, 1, 3);

  auto* actions = new QHBoxLayout;
  BitBtn6 = push("BitBtn6", "انجام عمليات", nullptr, page);
  actions->addWidget(BitBtn6);
  actions->addWidget(push("BitBtn8", "متوقف نمودن عمليات", nullptr, page));
  grid->addLayout(actions, 5, 0, 1, 3);
  return page;
}

QWidget* TForm1::build_about_page() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  auto* heading = new QHBoxLayout;
  auto* picture = named<QLabel>("Image3", page);
  picture->setPixmap(pictures_.picture(Picture::About));
  heading->addWidget(picture);
  auto* labels = new QVBoxLayout;
  labels->addStretch();
  labels->addWidget(caption("Label20", "شماره نسخه جاري : 5,0", page));
  labels->addWidget(caption("Label21", "تاريخ عرضه : 1388/12/01 ", page));
  labels->addWidget(caption("Label22", " سيستم عامل مورد نياز : Microsoft Windows XP  or  Windows 7", page));
  labels->addStretch();
  heading->addLayout(labels, 1);
  column->addLayout(heading);
  Memo3 = named<QPlainTextEdit>("Memo3", page);
  Memo3->setPlainText(QString::fromUtf8(
      "اين برنامه با شماره گيري خودکار، پيام صوتي شما را به اعضاي گروه ها مي رساند.\n"
      "پيام آغازين پخش مي شود و با فشردن کليد 1 پيام اصلي براي مخاطب پخش مي گردد.\n"
      "تاريخ هاي تولد، ازدواج، قرارداد و اقساط اعضا براي يادآوري و تبريک به کار مي روند."));
  Memo3->setVisible(false);
  Memo2 = named<QPlainTextEdit>("Memo2", page);
  Memo2->setReadOnly(true);
  read_right_to_left(Memo2);
  column->addWidget(Memo2);
  auto* links = new QHBoxLayout;
  // The site, the latest version and the notices, shown in the web page window.
  links->addWidget(push("AboutSiteButton", "وب سايت", nullptr, page));
  links->addWidget(push("AboutLatestButton", "آخرين نسخه", nullptr, page));
  links->addWidget(push("AboutNoticesButton", "اطلاعيه ها", nullptr, page));
  column->addLayout(links);
  return page;
}

QWidget* TForm1::build_report_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  report_ = new ReportPage({deps_.program_folder, deps_.files, deps_.dialogs}, page);
  layout->addWidget(report_);
  return page;
}

QWidget* TForm1::build_holidays_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  PageDialogs* ask = deps_.questions;
  if (!ask) ask = (own_questions_ = std::make_unique<QtPageDialogs>()).get();
  holidays_ = new HolidaysPage({deps_.program_folder, deps_.loop.clock(), *ask, deps_.dialogs}, page);
  layout->addWidget(holidays_);
  return page;
}

QWidget* TForm1::build_schedules_page() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  // The holidays page has made the questions' fallback already.
  PageDialogs* ask = deps_.questions ? deps_.questions : own_questions_.get();
  schedules_ = new SchedulesPage({deps_.program_folder, deps_.loop.clock(), *ask, deps_.dialogs}, page);
  layout->addWidget(schedules_);
  return page;
}

QWidget* TForm1::build_status_bar() {
  auto* bar = named<QWidget>("Panel3", nullptr);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 0, 4, 0);
  row->addWidget(caption("Label5", "تاريخ شمسي", bar));
  // Read left to right whatever the window's direction: year / month / day.
  auto* date = named<QWidget>("DateBox", bar);
  auto* date_row = new QHBoxLayout(date);
  date_row->setContentsMargins(0, 0, 0, 0);
  e3 = caption("e3", "", date);
  e2 = caption("e2", "", date);
  e1 = caption("e1", "", date);
  date_row->addWidget(e3);
  date_row->addWidget(caption("Label6", "/", date));
  date_row->addWidget(e2);
  date_row->addWidget(caption("Label7", "/", date));
  date_row->addWidget(e1);
  row->addWidget(date);
  row->addWidget(caption("Label10", "زمان", bar));
  saat = caption("saat", "", bar);
  row->addWidget(saat);
  row->addWidget(caption("Label11", "تاريخ ميلادي", bar));
  labol = caption("labol", "", bar);
  row->addWidget(labol);
  row->addStretch();
  row->addWidget(caption("Label12", kMainCaption, bar));
  return bar;
}

}  // namespace orvexa::app
