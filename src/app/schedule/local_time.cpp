#include "app/schedule/local_time.h"

#include <ctime>

namespace orvexa::schedule {

LocalMoment local_moment(messaging::WallTime when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  const std::chrono::year_month_day date{std::chrono::year(local.tm_year + 1900),
                                         std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                         std::chrono::day(static_cast<unsigned>(local.tm_mday))};
  // A leap second (tm_sec 60) counts as the last second of its minute.
  const int second = local.tm_hour * 3600 + local.tm_min * 60 + (local.tm_sec > 59 ? 59 : local.tm_sec);
  return {std::chrono::sys_days(date), second};
}

messaging::WallTime local_wall(std::chrono::sys_days day, int second) {
  const std::chrono::year_month_day date(day);
  std::tm tm{};
  tm.tm_year = static_cast<int>(date.year()) - 1900;
  tm.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
  tm.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
  tm.tm_hour = second / 3600;
  tm.tm_min = second / 60 % 60;
  tm.tm_sec = second % 60;
  tm.tm_isdst = -1;  // the zone decides whether summer time applies on that day
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

}  // namespace orvexa::schedule
