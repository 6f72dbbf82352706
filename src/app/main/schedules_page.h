// The daily reminders page: each schedule kept in calls.db with its members, date kind, days
// ahead, time of day, channels, calling hours and its last and next run, as `orvexa schedule
// list` shows them; the operator adds (group, kind, days ahead, time) and removes them.
//
//   auto* page = new SchedulesPage({folder, loop.clock(), page_dialogs, dialogs});
//   page->refresh();   // on entering the page: calls.db read again
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/campaign/ports.h"
#include "app/main/page_dialogs.h"
#include "platform/messaging/clock.h"

class QTableWidget;

namespace orvexa::records {
class ScheduleTable;
}

namespace orvexa::schedule {
struct DailySchedule;
}

namespace orvexa::app {

struct SchedulesPageDeps {
  std::filesystem::path program_folder;  // calls.db
  const messaging::Clock& clock;         // the next run is counted from its wall time
  PageDialogs& ask;                      // what a new schedule is
  campaign::OperatorDialogs& boxes;      // why an edit was refused
};

class SchedulesPage final : public QWidget {
 public:
  explicit SchedulesPage(SchedulesPageDeps deps, QWidget* parent = nullptr);

  void refresh();
  void ScheduleAddClick();     // asks the group, the date kind, the days ahead and the time
  void ScheduleRemoveClick();  // the chosen row's schedule, after a confirmation

 private:
  std::optional<schedule::DailySchedule> ask_schedule();
  std::optional<std::string> ask(std::string_view label);
  // Opens calls.db for one use; false (and a box) when it cannot be opened.
  bool with_table(const std::function<void(records::ScheduleTable&)>& use);

  SchedulesPageDeps deps_;
  QTableWidget* ScheduleGrid;
};

}  // namespace orvexa::app
