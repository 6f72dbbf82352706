// The SIP thread: libre's main loop on a thread of its own. Every libre call happens there;
// other threads hand it work through libre's thread-safe message queue.
//
//   SipThread sip;                       // starts the thread and its libre loop
//   sip.post([&] { /* libre calls */ }); // from any thread, runs on the SIP thread in order
//   sip.call([&] { owned.reset(); });    // the same, waiting for it to finish
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct mqueue;

namespace orvexa::sip {

class SipThread {
 public:
  SipThread();
  // Stops the loop; work still queued is dropped without running.
  ~SipThread();
  SipThread(const SipThread&) = delete;
  SipThread& operator=(const SipThread&) = delete;

  // False when libre could not start on the thread (the reason is in start_error()).
  bool running() const;
  int start_error() const { return start_error_; }

  // Thread-safe. False when the thread is not running; the task is then dropped.
  bool post(std::function<void()> task);
  // Thread-safe, but not from the SIP thread itself. Waits until the task has run;
  // false (without running it) when the thread is not running.
  bool call(const std::function<void()>& task);
  bool on_sip_thread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void thread_main();
  static void on_queue(int id, void* data, void* arg);
  void drain();

  mutable std::mutex mutex_;
  std::condition_variable started_cv_;
  bool started_ = false;
  bool accepting_ = false;
  int start_error_ = 0;
  std::deque<std::function<void()>> tasks_;
  ::mqueue* queue_ = nullptr;  // owned by the SIP thread
  std::thread thread_;
};

}  // namespace orvexa::sip
