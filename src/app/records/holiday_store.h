// The operator's changes to the official holidays, kept in calls.db: a shipped day taken off, a
// holiday moved (a lunar one the moon put a day later), and days of the office's own.
//
//   HolidayStore store(*db, clock);
//   store.add({{1404, 5, 12}, "تعطیلی اداره"});
//   HolidayCalendar calendar(1404, 1404, store.changes());
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "app/data/holidays.h"
#include "app/records/calls_database.h"
#include "platform/messaging/clock.h"

namespace orvexa::records {

enum class HolidayEdit { Done, NotAHoliday, Failed };

class HolidayStore {
 public:
  HolidayStore(CallsDatabase& db, const messaging::Clock& clock) : db_(db), clock_(clock) {}

  // Every stored change, each kind in the order it was made.
  data::HolidayChanges changes();
  // All or none, in one transaction; false when the store failed.
  bool add(const std::vector<data::HolidayAddition>& holidays);
  // The day stops being a holiday: the operator's own are deleted, one moved there is removed at
  // its shipped day, and a shipped one is removed by a removal change.
  HolidayEdit remove(const data::SolarDate& date);
  // Every holiday of `from` goes to `to`: the operator's own change their day; a shipped one gets
  // a move change. A moved holiday moves again from its shipped day, so moves never chain.
  HolidayEdit move(const data::SolarDate& from, const data::SolarDate& to);

 private:
  bool is_holiday(const data::SolarDate& date);
  bool insert(std::string_view kind, const data::SolarDate& date, std::string_view to_date,
              std::string_view name);
  bool update(const char* sql, std::initializer_list<std::string_view> values);
  HolidayEdit commit(bool ok);

  CallsDatabase& db_;
  const messaging::Clock& clock_;
};

}  // namespace orvexa::records
