// A window nobody sees: it receives posted and sent messages and its own timers on the loop.
//
//   class Ticker : public HiddenWindow {
//     LRESULT window_proc(UINT m, WPARAM w, LPARAM) override { if (m == WM_TIMER) ++ticks; return 0; }
//   };
#pragma once

#include <chrono>
#include <functional>

#include "platform/messaging/loop.h"

namespace orvexa::messaging {

class HiddenWindow {
 public:
  explicit HiddenWindow(Loop& loop) : loop_(loop), handle_(loop.attach(*this)) {}
  // Drops the window's queued messages and timers.
  virtual ~HiddenWindow() { loop_.detach(handle_); }
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;

  WindowHandle handle() const { return handle_; }
  Loop& loop() const { return loop_; }

  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return loop_.send(handle_, message, wParam, lParam);
  }
  void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    loop_.post(handle_, message, wParam, lParam);
  }
  bool set_timer(std::uintptr_t id, std::chrono::milliseconds interval) {
    return loop_.set_timer(handle_, id, interval);
  }
  bool kill_timer(std::uintptr_t id) { return loop_.kill_timer(handle_, id); }
  bool has_timer(std::uintptr_t id) const { return loop_.has_timer(handle_, id); }

 protected:
  friend class Loop;
  virtual LRESULT window_proc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 private:
  Loop& loop_;
  WindowHandle handle_;
};

// A hidden window whose procedure is a function: for classes that own a window as a member.
class FunctionWindow final : public HiddenWindow {
 public:
  using Procedure = std::function<LRESULT(UINT, WPARAM, LPARAM)>;
  FunctionWindow(Loop& loop, Procedure procedure)
      : HiddenWindow(loop), procedure_(std::move(procedure)) {}

 protected:
  LRESULT window_proc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return procedure_ ? procedure_(message, wParam, lParam) : 0;
  }

 private:
  Procedure procedure_;
};

}  // namespace orvexa::messaging
