#include "app/main/holidays_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "app/assembly/line_configuration.h"
#include "app/data/holiday_text.h"
#include "app/data/solar_days.h"
#include "app/records/calls_database.h"
#include "app/records/holiday_store.h"
#include "app/schedule/schedule_config.h"

namespace orvexa::app {

namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

constexpr std::array<std::string_view, 7> kWeekdays{"شنبه", "يکشنبه", "دوشنبه", "سه شنبه",
                                                    "چهارشنبه", "پنجشنبه", "جمعه"};

std::string_view weekday_name(const data::SolarDate& d) {
  const auto day = data::solar_weekday(d);
  return day ? kWeekdays[static_cast<std::size_t>(*day)] : std::string_view{};
}

std::string_view kind_name(const data::Holiday& h) {
  if (h.source == data::HolidaySource::Operator) return "شما";
  return h.estimate ? "تخميني" : "رسمي";
}

std::string clock_text(int second) {
  const auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return two(second / 3600) + ":" + two(second / 60 % 60);
}

std::string ranges_text(const std::vector<schedule::DayRange>& ranges) {
  if (ranges.empty()) return "بدون تماس";
  std::string out;
  for (const auto& r : ranges) out += (out.empty() ? "" : "  ") + clock_text(r.start) + "-" + clock_text(r.end);
  return out;
}

QTableWidget* grid(const char* name, const QStringList& headers, QWidget* parent) {
  auto* g = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  g->setObjectName(name);
  g->setHorizontalHeaderLabels(headers);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setSelectionBehavior(QAbstractItemView::SelectRows);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->verticalHeader()->setVisible(false);
  g->horizontalHeader()->setStretchLastSection(true);
  return g;
}

void set_row(QTableWidget* g, int row, std::initializer_list<std::string_view> cells) {
  int column = 0;
  for (const auto cell : cells) g->setItem(row, column++, new QTableWidgetItem(q(cell)));
}

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

HolidaysPage::HolidaysPage(HolidaysPageDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  setObjectName("Holidays");
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(QString::fromUtf8("ساعات تماس (orvexa.toml)"), this));
  HoursGrid = grid("HoursGrid", {QString::fromUtf8("روز"), QString::fromUtf8("ساعات")}, this);
  HoursGrid->setMaximumHeight(240);
  column->addWidget(HoursGrid);
  HoursNote = new QLabel(this);
  HoursNote->setObjectName("HoursNote");
  column->addWidget(HoursNote);
  column->addWidget(new QLabel(QString::fromUtf8("تلاش مجدد بر اساس نتيجه تماس (orvexa.toml)"), this));
  RetryGrid = grid("RetryGrid",
                   {QString::fromUtf8("نتيجه"), QString::fromUtf8("تماس هاي بيشتر"), QString::fromUtf8("پس از")},
                   this);
  RetryGrid->setMaximumHeight(200);
  column->addWidget(RetryGrid);
  column->addWidget(new QLabel(QString::fromUtf8("تعطيلات امسال"), this));
  HolidayGrid = grid("HolidayGrid",
                     {QString::fromUtf8("تاريخ"), QString::fromUtf8("روز"), QString::fromUtf8("مناسبت"),
                      QString::fromUtf8("نوع")},
                     this);
  column->addWidget(HolidayGrid);
  auto* buttons = new QHBoxLayout;
  auto* add = button("HolidayAddButton", "افزودن تعطيل", this);
  auto* remove = button("HolidayRemoveButton", "حذف تعطيل", this);
  auto* move = button("HolidayMoveButton", "جابجايي تعطيل", this);
  for (auto* b : {add, remove, move}) buttons->addWidget(b);
  column->addLayout(buttons);
  connect(add, &QPushButton::clicked, this, [this] { HolidayAddClick(); });
  connect(remove, &QPushButton::clicked, this, [this] { HolidayRemoveClick(); });
  connect(move, &QPushButton::clicked, this, [this] { HolidayMoveClick(); });
}

void HolidaysPage::refresh() {
  show_hours();
  show_holidays();
}

void HolidaysPage::show_hours() {
  const auto config = assembly::read_line_configuration(deps_.program_folder);
  const auto read = schedule::read_schedule_config(*config.root);
  // A broken table: `orvexa run` refuses to use it, the window's campaigns take the defaults.
  std::string note = config.file_error.empty() ? read.error : config.file_error;
  HoursNote->setText(q(note));
  HoursNote->setVisible(!note.empty());
  HoursGrid->setRowCount(schedule::kWeekdays);
  for (int d = 0; d < schedule::kWeekdays; ++d)
    set_row(HoursGrid, d, {kWeekdays[static_cast<std::size_t>(d)],
                           ranges_text(read.config.hours.day(static_cast<schedule::Weekday>(d)))});
  show_retries(read.config.retry);
}

void HolidaysPage::show_retries(const schedule::RetryPolicy& policy) {
  RetryGrid->setRowCount(0);
  for (const campaign::Outcome outcome : campaign::kAllOutcomes) {
    if (!schedule::retry_configurable(outcome)) continue;
    const schedule::RetryRule& rule = policy.rule(outcome);
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(rule.after).count();
    const std::string after = rule.more == 0 ? "-"
                              : rule.wait == schedule::RetryWait::NextCallingDay
                                  ? "روز کاري بعد"
                                  : minutes % 60 == 0 && minutes > 0 ? std::to_string(minutes / 60) + " ساعت"
                                                                     : std::to_string(minutes) + " دقيقه";
    const int row = RetryGrid->rowCount();
    RetryGrid->setRowCount(row + 1);
    set_row(RetryGrid, row, {campaign::outcome_label(outcome), std::to_string(rule.more), after});
  }
}

void HolidaysPage::show_holidays() {
  const int year = data::solar_today(deps_.clock).year;
  data::HolidayChanges changes;
  if (auto opened = records::CallsDatabase::open(deps_.program_folder / records::kCallsFile))
    changes = records::HolidayStore(*opened.db, deps_.clock).changes();
  const auto holidays = data::HolidayCalendar(year - 1, year + 1, changes).holidays_in(year);
  HolidayGrid->setRowCount(static_cast<int>(holidays.size()));
  for (int row = 0; const auto& h : holidays) {
    set_row(HolidayGrid, row++, {h.date.text(), weekday_name(h.date), h.name, kind_name(h)});
  }
}

std::optional<data::SolarDate> HolidaysPage::chosen_day() {
  const int row = HolidayGrid->currentRow();
  if (row < 0 || !HolidayGrid->item(row, 0)) {
    deps_.boxes.message_box("ابتدا يک روز تعطيل را انتخاب کنيد");
    return std::nullopt;
  }
  return data::read_holiday_date(HolidayGrid->item(row, 0)->text().toStdString()).date;
}

std::optional<data::SolarDate> HolidaysPage::ask_date(std::string_view title) {
  const auto text = deps_.ask.ask_text(title, "تاريخ (1404/05/12)");
  if (!text) return std::nullopt;
  auto read = data::read_holiday_date(*text);
  if (!read.date) deps_.boxes.message_box("تاريخ نادرست است: " + *text);
  return read.date;
}

void HolidaysPage::edit(const std::function<records::HolidayEdit(records::HolidayStore&)>& change,
                        const data::SolarDate& day) {
  auto opened = records::CallsDatabase::open(deps_.program_folder / records::kCallsFile);
  if (!opened) {
    deps_.boxes.error_box(opened.error());
    return;
  }
  records::HolidayStore store(*opened.db, deps_.clock);
  switch (change(store)) {
    case records::HolidayEdit::Done: break;
    case records::HolidayEdit::NotAHoliday: deps_.boxes.message_box(day.text() + " تعطيل نيست"); break;
    case records::HolidayEdit::Failed: deps_.boxes.error_box("calls.db قابل نوشتن نيست"); break;
  }
  opened.db.reset();
  show_holidays();
}

void HolidaysPage::HolidayAddClick() {
  const auto day = ask_date("افزودن تعطيل");
  if (!day) return;
  const auto name = deps_.ask.ask_text("افزودن تعطيل", "مناسبت");
  if (!name) return;
  const auto read = data::parse_holiday_text(day->text() + " " + *name);
  if (read.holidays.size() != 1 || !read.errors.empty()) {
    deps_.boxes.message_box("نام مناسبت را بنويسيد");
    return;
  }
  edit([&](records::HolidayStore& s) { return s.add(read.holidays) ? records::HolidayEdit::Done
                                                                    : records::HolidayEdit::Failed; },
       *day);
}

void HolidaysPage::HolidayRemoveClick() {
  const auto day = chosen_day();
  if (!day || !deps_.ask.confirm(day->text() + " ديگر تعطيل نباشد؟")) return;
  edit([&](records::HolidayStore& s) { return s.remove(*day); }, *day);
}

void HolidaysPage::HolidayMoveClick() {
  const auto from = chosen_day();
  if (!from) return;
  const auto to = ask_date("جابجايي تعطيل " + from->text());
  if (!to) return;
  edit([&](records::HolidayStore& s) { return s.move(*from, *to); }, *from);
}

}  // namespace orvexa::app
