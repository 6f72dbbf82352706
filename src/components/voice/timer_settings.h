// The voice component's timer settings: whether a periodic event is wanted, its period, and
// (for silence detection) a level. The component switches the "running" flag; the timer ticks
// only while both it and Enabled are set.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/host/host_services.h"

namespace orvexa::components {

// How a timer setting reaches the window timers of its component.
struct TimerHost {
  std::function<bool(std::uintptr_t id, int milliseconds)> set;
  std::function<void(std::uintptr_t id)> kill;
};

class TTimerPai {
 public:
  // `host` may be empty: such a setting never ticks (silence detection).
  TTimerPai(TimerHost host, std::uintptr_t id, host::ComponentMessageBox& box)
      : host_(std::move(host)), id_(id), box_(box) {}
  virtual ~TTimerPai();
  TTimerPai(const TTimerPai&) = delete;
  TTimerPai& operator=(const TTimerPai&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Running() const { return running_; }
  void SetRunning(bool value);
  int Milliseconds() const { return milliseconds_; }

  // Starts the window timer with an interval of Milliseconds - 10 (never below 10 ms); false
  // only when the timer could not be set.
  bool Start();
  void Stop();

 protected:
  host::ComponentMessageBox& box() { return box_; }
  int milliseconds_ = 0;

 private:
  TimerHost host_;
  std::uintptr_t id_;
  host::ComponentMessageBox& box_;
  bool enabled_ = false;
  bool running_ = false;
};

class TTimerMilliseconds : public TTimerPai {
 public:
  using TTimerPai::TTimerPai;
  // A negative value is refused with a message box; a running timer keeps its old interval
  // until it is started again.
  void SetMilliseconds(int value);
};

class TTimerSilence : public TTimerPai {
 public:
  using TTimerPai::TTimerPai;
  int Seconds() const;
  void SetSeconds(int value);
  int Level() const { return level_; }
  void SetLevel(int value);
  // Sets the stored milliseconds without checks (creation).
  void InitMilliseconds(int value) { milliseconds_ = value; }

 private:
  int level_ = 0;
};

}  // namespace orvexa::components
