#include "app/main/schedules_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>
#include <charconv>

#include "app/records/calls_database.h"
#include "app/records/schedule_table.h"
#include "app/schedule/daily_schedule.h"
#include "app/schedule/local_time.h"

namespace orvexa::app {

namespace {

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The kinds as the operations page's date filter names them, in DateKind's order.
constexpr std::array<std::string_view, 4> kKindNames{"تولد", "ازدواج", "قرارداد", "اقساط"};

std::string_view kind_name(data::DateKind kind) { return kKindNames[static_cast<std::size_t>(kind)]; }

std::optional<data::DateKind> kind_from_name(std::string_view name) {
  for (std::size_t i = 0; i < kKindNames.size(); ++i)
    if (kKindNames[i] == name) return static_cast<data::DateKind>(i);
  return data::date_kind_from_name(name);
}

// "1405/01/03 08:00": a wall time on the Solar calendar.
std::string solar_time_text(messaging::WallTime t) {
  const auto day = schedule::local_solar_day(t);
  return (day ? day->text() : std::string("?")) + " " +
         schedule::time_of_day_text(schedule::local_moment(t).second / 60);
}

std::string next_run_text(const schedule::DailySchedule& s, messaging::WallTime now) {
  const auto next = schedule::next_run(s, now);
  if (!next) return "غيرفعال";
  return solar_time_text(*next) + (*next <= now ? " (اکنون)" : "");
}

std::optional<int> whole_number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(name);
  return b;
}

}  // namespace

SchedulesPage::SchedulesPage(SchedulesPageDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  setObjectName("Schedules");
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(QString::fromUtf8("يادآوري هاي روزانه"), this));
  const QStringList headers{QString::fromUtf8("شماره"),      QString::fromUtf8("گروه"),
                            QString::fromUtf8("نوع تاريخ"),   QString::fromUtf8("روز بعد"),
                            QString::fromUtf8("ساعت"),        QString::fromUtf8("تماس هم‌زمان"),
                            QString::fromUtf8("ساعات تماس"),  QString::fromUtf8("آخرين اجرا"),
                            QString::fromUtf8("اجراي بعدي")};
  ScheduleGrid = new QTableWidget(0, static_cast<int>(headers.size()), this);
  ScheduleGrid->setObjectName("ScheduleGrid");
  ScheduleGrid->setHorizontalHeaderLabels(headers);
  ScheduleGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ScheduleGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  ScheduleGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  ScheduleGrid->verticalHeader()->setVisible(false);
  ScheduleGrid->horizontalHeader()->setStretchLastSection(true);
  column->addWidget(ScheduleGrid);
  auto* buttons = new QHBoxLayout;
  auto* add = button("ScheduleAddButton", "افزودن يادآوري", this);
  auto* remove = button("ScheduleRemoveButton", "حذف يادآوري", this);
  buttons->addWidget(add);
  buttons->addWidget(remove);
  column->addLayout(buttons);
  connect(add, &QPushButton::clicked, this, [this] { ScheduleAddClick(); });
  connect(remove, &QPushButton::clicked, this, [this] { ScheduleRemoveClick(); });
}

bool SchedulesPage::with_table(const std::function<void(records::ScheduleTable&)>& use) {
  auto opened = records::CallsDatabase::open(deps_.program_folder / records::kCallsFile);
  if (!opened) {
    deps_.boxes.error_box(opened.error());
    return false;
  }
  records::ScheduleTable table(*opened.db);
  use(table);
  return true;
}

void SchedulesPage::refresh() {
  std::vector<schedule::DailySchedule> all;
  ScheduleGrid->setRowCount(0);
  if (!with_table([&](records::ScheduleTable& t) { all = t.schedules(); })) return;
  const messaging::WallTime now = deps_.clock.wall_now();
  ScheduleGrid->setRowCount(static_cast<int>(all.size()));
  for (int row = 0; const auto& s : all) {
    const std::string cells[] = {std::to_string(s.id),
                                 s.group ? *s.group : std::string("همه گروه ها"),
                                 std::string(kind_name(s.kind)),
                                 std::to_string(s.ahead),
                                 schedule::time_of_day_text(s.at_minute),
                                 std::to_string(s.channels),
                                 s.calling_hours ? "بله" : "خير",
                                 s.last_run ? s.last_run->text() : std::string("هرگز"),
                                 next_run_text(s, now)};
    for (int column = 0; const auto& cell : cells) ScheduleGrid->setItem(row, column++, new QTableWidgetItem(q(cell)));
    ++row;
  }
}

std::optional<std::string> SchedulesPage::ask(std::string_view label) {
  return deps_.ask.ask_text("افزودن يادآوري", label);
}

std::optional<schedule::DailySchedule> SchedulesPage::ask_schedule() {
  // Each answer is read as it comes: a cancel ends quietly, a wrong one with a box.
  const auto refused = [this] {
    deps_.boxes.message_box("يادآوري نادرست است");
    return std::nullopt;
  };
  schedule::DailySchedule s;
  const auto group = ask("گروه (خالي: همه گروه ها)");
  if (!group) return std::nullopt;
  if (!group->empty()) s.group = *group;
  const auto kind_text = ask("نوع تاريخ (تولد، ازدواج، قرارداد، اقساط)");
  if (!kind_text) return std::nullopt;
  const auto kind = kind_from_name(*kind_text);
  if (!kind) return refused();
  const auto ahead_text = ask("چند روز بعد (0: امروز)");
  if (!ahead_text) return std::nullopt;
  const auto ahead = whole_number(*ahead_text);
  if (!ahead || *ahead < 0 || *ahead > schedule::kMaxAhead) return refused();
  const auto at_text = ask("ساعت (08:30)");
  if (!at_text) return std::nullopt;
  const auto at = schedule::parse_time_of_day(*at_text);
  if (!at) return refused();
  s.kind = *kind;
  s.ahead = *ahead;
  s.at_minute = *at;
  return s;
}

void SchedulesPage::ScheduleAddClick() {
  const auto s = ask_schedule();
  if (!s) return;
  with_table([&](records::ScheduleTable& t) {
    if (!t.add(*s)) deps_.boxes.error_box("calls.db قابل نوشتن نيست");
  });
  refresh();
}

void SchedulesPage::ScheduleRemoveClick() {
  const int row = ScheduleGrid->currentRow();
  const auto* cell = row < 0 ? nullptr : ScheduleGrid->item(row, 0);
  const auto id = cell ? whole_number(cell->text().toStdString()) : std::nullopt;
  if (!id) {
    deps_.boxes.message_box("ابتدا يک يادآوري را انتخاب کنيد");
    return;
  }
  if (!deps_.ask.confirm("يادآوري " + std::to_string(*id) + " حذف شود؟")) return;
  with_table([&](records::ScheduleTable& t) {
    if (!t.remove(*id)) deps_.boxes.message_box("اين يادآوري ديگر نيست");
  });
  refresh();
}

}  // namespace orvexa::app
