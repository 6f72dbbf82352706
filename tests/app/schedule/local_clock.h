// Wall times written as local "YYYY-MM-DD HH:MM[:SS]" in a fixed zone of Iran's standard time
// (+03:30, no summer time), so the tests read the same on any machine and need no zone files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/schedule/local_time.h"

namespace orvexa::schedule::testing {

class TehranZone : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::setenv("TZ", "<+0330>-3:30", 1);
    ::tzset();
  }
};

inline messaging::WallTime at(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  EXPECT_GE(n, 5) << text;
  const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(mo)),
                                        std::chrono::day(static_cast<unsigned>(d))};
  return local_wall(std::chrono::sys_days(day), h * 3600 + mi * 60 + s);
}

// "YYYY-MM-DD HH:MM", with ":SS" only when the seconds are not zero; "never" for nullopt.
inline std::string text(std::optional<messaging::WallTime> when) {
  if (!when) return "never";
  const LocalMoment m = local_moment(*when);
  const std::chrono::year_month_day d(m.day);
  char out[32];
  std::snprintf(out, sizeof out, "%04d-%02u-%02u %02d:%02d", static_cast<int>(d.year()),
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()), m.second / 3600,
                m.second / 60 % 60);
  std::string result(out);
  if (m.second % 60) result += ":" + std::to_string(100 + m.second % 60).substr(1);
  return result;
}

// 2025-06-11 is a Wednesday; 2025-06-14 the Saturday after it.
inline bool is_saturday_14_june(const data::SolarDate& d) {
  return d == data::solar_from_gregorian(std::chrono::year(2025) / 6 / 14);
}

}  // namespace orvexa::schedule::testing
