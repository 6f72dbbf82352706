// Official holidays and the operator's changes to them: the days a campaign does not call.
//
//   HolidayCalendar calendar(1404, 1406, changes);   // shipped list for 1404..1406, then changes
//   if (calendar.is_holiday(today)) ...              // closed all day
//   auto h = calendar.holiday(today);                // its name, and whether the day is estimated
//
// The Solar holidays fall on fixed days. The lunar ones are estimated by the tabular Islamic
// calendar (tabular_hijri.h) and marked as estimates: the official day follows the sighting of
// the moon and can be a day off, which the operator corrects with a move.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/data/solar_date.h"

namespace orvexa::data {

enum class HolidaySource { Shipped, Operator };

struct Holiday {
  SolarDate date;
  std::string name;  // Persian, UTF-8
  bool estimate = false;
  HolidaySource source = HolidaySource::Shipped;

  friend bool operator==(const Holiday&, const Holiday&) = default;
};

// The shipped holidays of one Solar year, in date order; a lunar holiday that falls twice in the
// year (its dates move about 11 days earlier each Solar year) is listed twice.
std::vector<Holiday> official_holidays(int year);

struct HolidayAddition {
  SolarDate date;
  std::string name;

  friend bool operator==(const HolidayAddition&, const HolidayAddition&) = default;
};

struct HolidayMove {
  SolarDate from;
  SolarDate to;
};

// What the operator changed, kept as a plain value so it can be stored and compared.
struct HolidayChanges {
  std::vector<SolarDate> removed;       // every holiday on these days
  std::vector<HolidayMove> moved;       // every holiday on `from` goes to `to`
  std::vector<HolidayAddition> added;
};

class HolidayCalendar {
 public:
  // The shipped list for first_year..last_year, then the changes in a fixed order: removals,
  // moves, additions; so a day removed and then added again carries only the operator's name,
  // and moving onto a removed day keeps what was moved. Moved and added holidays are the
  // operator's and no longer estimates. Changes outside the years apply all the same.
  HolidayCalendar(int first_year, int last_year, const HolidayChanges& changes = {});

  bool is_holiday(const SolarDate& date) const;
  // The first holiday of the day when it has several (29 Esfand may meet a lunar one).
  std::optional<Holiday> holiday(const SolarDate& date) const;
  std::vector<Holiday> holidays_in(int year) const;

 private:
  void remove(const SolarDate& date);
  void move(const HolidayMove& move);
  void sort();

  std::vector<Holiday> holidays_;  // in date order, shipped before the operator's on a day
};

}  // namespace orvexa::data
