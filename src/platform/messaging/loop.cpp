#include "platform/messaging/loop.h"

#include <algorithm>
#include <iostream>
#include <utility>
#include <vector>

#include "platform/messaging/hidden_window.h"

namespace orvexa::messaging {

Loop::Loop(Clock& clock) : clock_(clock) {}

Loop::~Loop() = default;

WindowHandle Loop::attach(HiddenWindow& window) {
  WindowHandle handle = next_window_++;
  windows_.emplace(handle, &window);
  return handle;
}

void Loop::detach(WindowHandle window) {
  windows_.erase(window);
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.window == window) {
      order_.erase({it->second.deadline, it->second.seq, window, it->first.id});
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase_if(queue_, [window](const Entry& e) { return e.window == window; });
}

void Loop::enqueue(Entry entry) {
  bool was_empty;
  {
    std::lock_guard lock(mutex_);
    entry.seq = next_seq_++;
    was_empty = queue_.empty();
    queue_.push_back(std::move(entry));
  }
  if (was_empty) {
    cv_.notify_one();
    notify_host();
  }
}

void Loop::notify_host() {
  // Held through the call, so that a host clearing its handler on the loop thread (a window
  // closing) never sees it run afterwards on the SIP or audio thread.
  std::lock_guard lock(wake_mutex_);
  if (wake_ && !wake_pending_.exchange(true)) wake_();
}

void Loop::post(WindowHandle window, UINT message, WPARAM wParam, LPARAM lParam) {
  enqueue(Entry{0, window, Message{message, wParam, lParam}, {}});
}

void Loop::post(std::function<void()> task) {
  enqueue(Entry{0, kNoWindow, {}, std::move(task)});
}

void Loop::quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  cv_.notify_all();
  notify_host();
}

bool Loop::take_quit() {
  std::lock_guard lock(mutex_);
  return std::exchange(quit_, false);
}

LRESULT Loop::send(WindowHandle window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return 0;
  LRESULT result = 0;
  HiddenWindow* target = it->second;
  guarded([&] { result = target->window_proc(message, wParam, lParam); });
  return result;
}

bool Loop::set_timer(WindowHandle window, std::uintptr_t id, std::chrono::milliseconds interval) {
  if (!windows_.contains(window)) return false;
  kill_timer(window, id);
  Duration step = std::max(interval, kMinimumTimerInterval);
  Timer timer{step, clock_.now() + step, next_timer_seq_++};
  auto earliest = next_timer_deadline();
  timers_.emplace(TimerKey{window, id}, timer);
  order_.emplace(timer.deadline, timer.seq, window, id);
  if (!earliest || timer.deadline < *earliest) notify_host();
  return true;
}

bool Loop::kill_timer(WindowHandle window, std::uintptr_t id) {
  auto it = timers_.find(TimerKey{window, id});
  if (it == timers_.end()) return false;
  order_.erase({it->second.deadline, it->second.seq, window, id});
  timers_.erase(it);
  return true;
}

bool Loop::has_timer(WindowHandle window, std::uintptr_t id) const {
  return timers_.contains(TimerKey{window, id});
}

std::optional<TimePoint> Loop::next_timer_deadline() const {
  if (order_.empty()) return std::nullopt;
  return std::get<0>(*order_.begin());
}

std::size_t Loop::queued_count() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool Loop::pop_before(std::uint64_t limit, Entry& out) {
  std::lock_guard lock(mutex_);
  if (queue_.empty() || queue_.front().seq >= limit) return false;
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void Loop::guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (...) {
    if (on_exception_) {
      on_exception_(std::current_exception());
    } else {
      std::cerr << "orvexa: unhandled exception in a message handler\n";
    }
  }
}

void Loop::dispatch(Entry& entry) {
  if (entry.window == kNoWindow) {
    if (entry.task) guarded(entry.task);
    return;
  }
  send(entry.window, entry.message.message, entry.message.wParam, entry.message.lParam);
}

void Loop::fire_due_timers() {
  const TimePoint now = clock_.now();
  std::vector<std::tuple<std::uint64_t, WindowHandle, std::uintptr_t>> due;
  for (const auto& [deadline, seq, window, id] : order_) {
    if (deadline > now) break;
    due.emplace_back(seq, window, id);
  }
  for (const auto& [seq, window, id] : due) {
    // Handlers may have killed, restarted or destroyed anything meanwhile: look again.
    auto it = timers_.find(TimerKey{window, id});
    if (it == timers_.end() || it->second.seq != seq || it->second.deadline > now) continue;
    Timer& timer = it->second;
    order_.erase({timer.deadline, timer.seq, window, id});
    timer.deadline = now + timer.interval;
    order_.emplace(timer.deadline, timer.seq, window, id);
    send(window, WM_TIMER, id, 0);
  }
}

void Loop::dispatch_pending() {
  wake_pending_.store(false);
  std::uint64_t limit;
  {
    std::lock_guard lock(mutex_);
    limit = next_seq_;
  }
  Entry entry;
  while (pop_before(limit, entry)) dispatch(entry);
  fire_due_timers();
}

void Loop::process_pending() {
  dispatch_pending();
  if (pump_) guarded(pump_);
}

void Loop::wait_for_work(std::optional<TimePoint> until) {
  if (clock_.is_manual()) {
    // Nothing real to wait for: time moves only when we move it.
    auto& manual = static_cast<ManualClock&>(clock_);
    if (until) {
      manual.advance_to(*until);
      return;
    }
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return quit_ || !queue_.empty(); });
    return;
  }
  std::unique_lock lock(mutex_);
  auto ready = [&] { return quit_ || !queue_.empty(); };
  if (until) {
    // The condition variable waits on the steady clock, like the loop's real clock.
    cv_.wait_until(lock, *until, ready);
  } else {
    cv_.wait(lock, ready);
  }
}

void Loop::run() {
  while (true) {
    process_pending();
    if (take_quit()) return;
    if (queued_count() > 0) continue;
    wait_for_work(next_timer_deadline());
  }
}

bool Loop::run_for(Duration d) {
  const TimePoint end = clock_.now() + d;
  while (true) {
    process_pending();
    if (take_quit()) return false;
    if (queued_count() > 0) continue;
    if (clock_.now() >= end) return true;
    auto next = next_timer_deadline();
    wait_for_work(next && *next < end ? *next : end);
  }
}

bool Loop::run_until(const std::function<bool()>& done, Duration limit) {
  const TimePoint end = clock_.now() + limit;
  while (true) {
    process_pending();
    if (done()) return true;
    if (take_quit()) return done();
    if (queued_count() > 0) continue;
    if (clock_.now() >= end) return done();
    auto next = next_timer_deadline();
    wait_for_work(next && *next < end ? *next : end);
  }
}

void Loop::set_wake_handler(std::function<void()> wake) {
  std::function<void()> replaced;
  {
    std::lock_guard lock(wake_mutex_);
    replaced.swap(wake_);
    wake_ = std::move(wake);
    // A new host has not been woken yet: its first post must reach it.
    wake_pending_.store(false);
  }
  // Destroyed outside the lock: whatever the old handler owns may post as it goes.
}
void Loop::set_pump(std::function<void()> pump) { pump_ = std::move(pump); }
void Loop::set_exception_handler(std::function<void(std::exception_ptr)> handler) {
  on_exception_ = std::move(handler);
}

}  // namespace orvexa::messaging
