// The message loop: posted messages, numbered window timers and a clock, on one thread.
//
//   ManualClock clock;  Loop loop(clock);
//   MyWindow w(loop);  w.set_timer(1, 2000ms);
//   loop.run_for(24h);                       // WM_TIMER every 2 s, in milliseconds of CPU
//
// Threads: post(), quit() and wake-ups are safe from any thread; everything else belongs to the
// thread that runs the loop.
//
// Re-entrancy: a handler may call process_pending() (or run a modal loop). The nested call
// handles the messages that were queued when it started, including those the outer call had not
// reached yet, in order; the outer call then goes on with what is left of its own share. A timer
// is rescheduled before its handler runs, so a nested call does not fire it again unless its
// interval has passed once more. A timer may be killed or set again inside any handler, its own
// included. Destroying a window drops its queued messages and its timers at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>

#include "platform/messaging/clock.h"
#include "platform/messaging/message.h"

namespace orvexa::messaging {

class HiddenWindow;

// The shortest timer interval, as window systems enforce it.
inline constexpr std::chrono::milliseconds kMinimumTimerInterval{10};

class Loop {
 public:
  explicit Loop(Clock& clock);
  ~Loop();
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;

  Clock& clock() const { return clock_; }
  TimePoint now() const { return clock_.now(); }

  // Thread-safe. A message for a window that is gone by the time it is handled is dropped.
  void post(WindowHandle window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Thread-safe. Runs the task on the loop thread, in order with the posted messages.
  void post(std::function<void()> task);
  // Thread-safe. Makes run() return; run_for() and run_until() return early.
  void quit();

  // Calls the window procedure now, on this thread; 0 when the window does not exist.
  LRESULT send(WindowHandle window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Starts or restarts timer `id` of a window; WM_TIMER arrives with the id in wParam.
  bool set_timer(WindowHandle window, std::uintptr_t id, std::chrono::milliseconds interval);
  bool kill_timer(WindowHandle window, std::uintptr_t id);
  bool has_timer(WindowHandle window, std::uintptr_t id) const;

  // "Let the message loop run once": the messages queued now and the timers due now, then the
  // host's own pending events (see set_pump). Nothing that arrives during the call.
  void process_pending();
  // The same without the host's pump; the host calls this from its own event loop.
  void dispatch_pending();

  // Runs until quit().
  void run();
  // Runs for `d` of this loop's clock (manual clock: jumps from deadline to deadline).
  // Returns false when quit() ended it.
  bool run_for(Duration d);
  // Runs until `done()` holds, at most `limit`; returns done().
  bool run_until(const std::function<bool()>& done, Duration limit);

  std::optional<TimePoint> next_timer_deadline() const;
  std::size_t queued_count() const;
  std::size_t timer_count() const { return timers_.size(); }

  // Hosting: `wake` is called (from any thread) when the loop has new work for its host:
  // the queue became non-empty, or a timer now falls due earlier than before. It may be set,
  // replaced or cleared from any thread while others post; once this returns, the handler it
  // replaced is no longer running and is never called again. The handler must not call back
  // into the loop (post, quit, set_wake_handler): it runs under the lock that makes this so.
  void set_wake_handler(std::function<void()> wake);
  // Hosting: called at the end of process_pending() so the host's events are handled too.
  void set_pump(std::function<void()> pump);
  // An exception thrown by a handler ends up here instead of leaving the loop.
  void set_exception_handler(std::function<void(std::exception_ptr)> handler);

 private:
  friend class HiddenWindow;
  WindowHandle attach(HiddenWindow& window);
  void detach(WindowHandle window);

  struct Entry {
    std::uint64_t seq;
    WindowHandle window;
    Message message;
    std::function<void()> task;
  };
  struct TimerKey {
    WindowHandle window;
    std::uintptr_t id;
    bool operator==(const TimerKey&) const = default;
  };
  struct TimerKeyHash {
    std::size_t operator()(const TimerKey& k) const noexcept {
      return std::hash<std::uint64_t>()(k.window * 0x9E3779B97F4A7C15ull ^ k.id);
    }
  };
  struct Timer {
    Duration interval;
    TimePoint deadline;
    std::uint64_t seq;  // creation order: breaks ties between equal deadlines
  };
  using Order = std::set<std::tuple<TimePoint, std::uint64_t, WindowHandle, std::uintptr_t>>;

  void enqueue(Entry entry);
  bool pop_before(std::uint64_t limit, Entry& out);
  void dispatch(Entry& entry);
  void fire_due_timers();
  void guarded(const std::function<void()>& f);
  void wait_for_work(std::optional<TimePoint> until);
  bool take_quit();
  void notify_host();

  Clock& clock_;
  std::unordered_map<WindowHandle, HiddenWindow*> windows_;
  WindowHandle next_window_ = 1;

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Entry> queue_;
  std::uint64_t next_seq_ = 1;
  bool quit_ = false;
  std::atomic<bool> wake_pending_{false};

  std::unordered_map<TimerKey, Timer, TimerKeyHash> timers_;
  Order order_;
  std::uint64_t next_timer_seq_ = 1;

  std::mutex wake_mutex_;  // guards wake_ and every call of it
  std::function<void()> wake_;
  std::function<void()> pump_;
  std::function<void(std::exception_ptr)> on_exception_;
};

}  // namespace orvexa::messaging
