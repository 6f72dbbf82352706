// The machine's local time as a civil day and a second of that day, and back: the zone the
// operator reads on the wall clock, as --now and the Solar date of today use it.
//
//   LocalMoment m = local_moment(clock.wall_now());
//   WallTime nine = local_wall(m.day + std::chrono::days(1), 9 * 3600);   // tomorrow 09:00
#pragma once

#include <chrono>

#include "platform/messaging/clock.h"

namespace orvexa::schedule {

struct LocalMoment {
  std::chrono::sys_days day;  // the local civil date, counted as sys_days
  int second = 0;             // 0..86399 since local midnight
};

LocalMoment local_moment(messaging::WallTime when);
// A second past 86399 rolls into the next day; a time skipped by a clock change moves forward.
messaging::WallTime local_wall(std::chrono::sys_days day, int second);

}  // namespace orvexa::schedule
