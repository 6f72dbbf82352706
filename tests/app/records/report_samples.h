// Attempts and campaigns for the report tests, and the time zone they are read in.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/records/calls_database.h"

namespace orvexa::records::testing {

// Sets TZ (a POSIX rule, so no time zone files are needed) for one scope.
class TimeZone {
 public:
  explicit TimeZone(const char* rule) {
    if (const char* old = ::getenv("TZ")) {
      saved_ = old;
      had_ = true;
    }
    ::setenv("TZ", rule, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (had_) ::setenv("TZ", saved_.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  std::string saved_;
  bool had_ = false;
};

inline constexpr const char* kTehran = "IRST-3:30";

// Milliseconds since the epoch of a UTC date and time.
inline std::int64_t utc_ms(int y, unsigned m, unsigned d, int hh, int mm, int ss, int ms = 0) {
  using namespace std::chrono;
  const sys_days day = year(y) / month(m) / std::chrono::day(d);
  return duration_cast<milliseconds>(day.time_since_epoch()).count() +
         ((hh * 60 + mm) * 60 + ss) * 1000LL + ms;
}

// 2026-12-10 10:20:30 in Tehran (+03:30): 1405/09/19 in the Solar calendar.
inline const std::int64_t kDialled = utc_ms(2026, 12, 10, 6, 50, 30);

inline AttemptRow answered_attempt() {
  AttemptRow a;
  a.campaign = 7;
  a.id = 1;
  a.attempt = 1;
  a.group = "فروش";
  a.member_id = 12;
  a.name = "Ali, \"Big\"\nSecond line";
  a.family = "رضایی";
  a.number = "09121234567";
  a.line = 1;
  a.channel = 2;
  a.dialled_ms = kDialled;
  a.answered_ms = kDialled + 3500;
  a.ended_ms = kDialled + 3500 + 42260;
  a.outcome = campaign::Outcome::HeardMain;
  a.keys = "01";
  a.opening_heard_s = 4.04;
  a.main_heard_s = 30.96;
  return a;
}

inline AttemptRow busy_attempt() {
  AttemptRow a;
  a.campaign = 7;
  a.id = 2;
  a.attempt = 2;
  a.number = "+98 912 000 1111";
  a.name = "=HYPERLINK(\"http://x\")";
  a.dialled_ms = kDialled + 60000;
  a.ended_ms = kDialled + 64000;
  a.outcome = campaign::Outcome::Busy;
  a.cause = "486 Busy Here";
  return a;
}

inline CampaignRow sample_campaign() {
  CampaignRow c;
  c.id = 7;
  c.started_ms = kDialled - 2000;
  c.state = campaign::CampaignState::Finished;
  c.chosen = "فروش";
  c.members = 2;
  c.members_done = 2;
  c.attempts = 2;
  c.outcomes = {{campaign::Outcome::HeardMain, 1}, {campaign::Outcome::Busy, 1}};
  return c;
}

}  // namespace orvexa::records::testing
