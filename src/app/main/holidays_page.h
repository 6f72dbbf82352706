// The calling hours page: the hours of each weekday as orvexa.toml gives them, and this year's
// holidays (the official ones with the operator's changes in calls.db), which the operator adds
// to, removes from and moves. Campaigns with calling hours read the same file and table.
//
//   auto* page = new HolidaysPage({folder, loop.clock(), page_dialogs, dialogs});
//   page->refresh();   // on entering the page: both files read again
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "app/campaign/ports.h"
#include "app/data/solar_date.h"
#include "app/main/page_dialogs.h"
#include "app/schedule/retry_policy.h"
#include "platform/messaging/clock.h"

class QLabel;
class QTableWidget;

namespace orvexa::records {
class HolidayStore;
enum class HolidayEdit;
}  // namespace orvexa::records

namespace orvexa::app {

struct HolidaysPageDeps {
  std::filesystem::path program_folder;  // orvexa.toml and calls.db
  const messaging::Clock& clock;         // which year is shown, when a change was made
  PageDialogs& ask;                      // the dates and names of an edit
  campaign::OperatorDialogs& boxes;      // why an edit was refused
};

class HolidaysPage final : public QWidget {
 public:
  explicit HolidaysPage(HolidaysPageDeps deps, QWidget* parent = nullptr);

  void refresh();
  void HolidayAddClick();     // asks the date, then the name
  void HolidayRemoveClick();  // the chosen row's day, after a confirmation
  void HolidayMoveClick();    // the chosen row's day to the date asked

 private:
  void show_hours();
  void show_retries(const schedule::RetryPolicy& policy);
  void show_holidays();
  std::optional<data::SolarDate> chosen_day();
  std::optional<data::SolarDate> ask_date(std::string_view title);
  // Opens calls.db for one edit and shows the page again after it.
  void edit(const std::function<records::HolidayEdit(records::HolidayStore&)>& change, const data::SolarDate& day);

  HolidaysPageDeps deps_;
  QTableWidget* HoursGrid;
  QTableWidget* RetryGrid;
  QTableWidget* HolidayGrid;
  QLabel* HoursNote;
};

}  // namespace orvexa::app
