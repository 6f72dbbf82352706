// The SIP thread: libre's main loop on a thread of its own. Every libre call happens there;
// other threads hand it work through libre's thread-safe message queue.
//
//   SipThread sip;                       // starts the thread and its libre loop
//   sip.post([&] { /* libre calls */ }); // from any thread, runs on the SIP thread in order
//   sip.call([&] { owned.reset(); });    // the same, waiting for it to finish
//   sip.post_setup([&] { dial(); });     // in order too, but set-ups go out spaced apart
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct mqueue;

namespace orvexa::sip {

class SipThread {
 public:
  // The most descriptors the thread's loop can watch, whatever the process's limit.
  static constexpr int kMaxDescriptors = 65536;
  // The least time between two call set-ups. libre reads one datagram per socket per turn of
  // its loop, so a burst of INVITEs whose answers all arrive at once overflows the SIP socket
  // and the lost answers cost whole retransmission rounds; spaced set-ups are answered as
  // they go, still at hundreds of calls a second.
  static constexpr auto kSetupSpacing = std::chrono::milliseconds(2);
  // The thread paces every call's 20 ms frames, so it asks for real-time scheduling (low
  // priority, first-in first-out) where the system grants it; elsewhere it runs as usual.
  static constexpr int kRealtimePriority = 10;

  SipThread();
  // Stops the loop; work still queued is dropped without running.
  ~SipThread();
  SipThread(const SipThread&) = delete;
  SipThread& operator=(const SipThread&) = delete;

  // False when libre could not start on the thread (the reason is in start_error()).
  bool running() const;
  int start_error() const { return start_error_; }
  // Whether the real-time scheduling was granted.
  bool realtime() const { return realtime_; }

  // Thread-safe. False when the thread is not running; the task is then dropped.
  bool post(std::function<void()> task);
  // As post(), for work that starts a call: it and everything posted after it wait until
  // kSetupSpacing has passed since the previous set-up began.
  bool post_setup(std::function<void()> task);
  // Thread-safe, but not from the SIP thread itself. Waits until the task has run;
  // false (without running it) when the thread is not running.
  bool call(const std::function<void()>& task);
  bool on_sip_thread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Task {
    std::function<void()> run;
    bool setup = false;
  };
  struct PaceTimer;
  bool enqueue(Task task);
  void thread_main();
  static void on_queue(int id, void* data, void* arg);
  static void on_pace(void* arg);
  void drain();

  mutable std::mutex mutex_;
  std::condition_variable started_cv_;
  bool started_ = false;
  bool accepting_ = false;
  int start_error_ = 0;
  bool realtime_ = false;
  std::deque<Task> tasks_;
  // SIP thread only: when the next set-up may start, and the timer that resumes the queue.
  std::chrono::steady_clock::time_point next_setup_{};
  PaceTimer* pace_ = nullptr;
  ::mqueue* queue_ = nullptr;  // owned by the SIP thread
  std::thread thread_;
};

}  // namespace orvexa::sip
