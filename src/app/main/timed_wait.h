// The short pauses of the backup and restore flow: a timer on the loop's clock and the loop run
// until it fires, so timers and notifications go on and the windows are painted, while the
// operator's mouse and keys are held back until the pause is over.
//
//   TimedWait wait(loop);
//   wait.wait(500ms);   // under the manual clock: returns at once, the clock 500 ms later
#pragma once

#include <chrono>

#include "platform/messaging/hidden_window.h"

namespace orvexa::app {

class TimedWait {
 public:
  explicit TimedWait(messaging::Loop& loop);
  void wait(std::chrono::milliseconds duration);

 private:
  messaging::Loop& loop_;
  messaging::FunctionWindow window_;
  bool due_ = false;
};

}  // namespace orvexa::app
