// Time sources for the message loop: real (steady) time, or a manual clock that tests and the
// headless fast mode move forward themselves.
//
//   ManualClock clock(wall_time_from("2029-03-20 09:00"));
//   Loop loop(clock);
//   loop.run_for(std::chrono::hours(24));   // jumps from timer to timer
#pragma once

#include <chrono>

namespace orvexa::messaging {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time: deadlines, timers and positions are measured on it.
  virtual TimePoint now() const = 0;
  // Calendar time for what the operator sees (dates, the clock on the status bar).
  virtual WallTime wall_now() const = 0;
  virtual bool is_manual() const = 0;
};

class SteadyClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
  WallTime wall_now() const override { return std::chrono::system_clock::now(); }
  bool is_manual() const override { return false; }
};

// Time stands still until advanced; calendar time moves with it from a chosen start.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(WallTime wall_start = std::chrono::system_clock::now())
      : wall_start_(wall_start) {}

  TimePoint now() const override { return now_; }
  WallTime wall_now() const override {
    return wall_start_ + std::chrono::duration_cast<WallTime::duration>(now_.time_since_epoch());
  }
  bool is_manual() const override { return true; }

  void advance(Duration d) { now_ += d; }
  // Never moves backwards: a monotonic clock only goes forward.
  void advance_to(TimePoint t) {
    if (t > now_) now_ = t;
  }
  // Steps the calendar time only, as a change of the system time would; deadlines are unaffected.
  void step_wall(std::chrono::system_clock::duration d) { wall_start_ += d; }

 private:
  TimePoint now_{};
  WallTime wall_start_;
};

}  // namespace orvexa::messaging
