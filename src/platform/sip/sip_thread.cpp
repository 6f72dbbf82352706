#include "platform/sip/sip_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <future>
#include <memory>

extern "C" {
#include <re.h>
}

#include "platform/sip/re_ref.h"

namespace orvexa::sip {
namespace {

constexpr int kWork = 1;
constexpr int kStop = 2;

// libre's process-wide set-up (random numbers, sockets, TLS) must run once before any thread
// uses it and be undone only after the last one; several SIP threads may live in one test.
class LibreProcessUse {
 public:
  static int acquire() {
    std::lock_guard lock(mutex());
    if (users()++ == 0) {
      const int err = libre_init();
      if (err != 0) {
        users() = 0;
        return err;
      }
    }
    return 0;
  }
  static void release() {
    std::lock_guard lock(mutex());
    if (users() > 0 && --users() == 0) libre_close();
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static int& users() {
    static int n = 0;
    return n;
  }
};

// libre indexes its descriptor table by descriptor number and sizes it at 1024 unless told
// otherwise, so a process with many files open could no longer add a call's RTP socket. We
// size it to the process's descriptor limit (bounded, as the table costs memory per slot).
int table_size() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return SipThread::kMaxDescriptors;
  return static_cast<int>(std::clamp<rlim_t>(limit.rlim_cur, 1024, SipThread::kMaxDescriptors));
}

}  // namespace

SipThread::SipThread() : thread_([this] { thread_main(); }) {
  std::unique_lock lock(mutex_);
  started_cv_.wait(lock, [this] { return started_; });
}

SipThread::~SipThread() {
  {
    std::lock_guard lock(mutex_);
    if (accepting_) mqueue_push(queue_, kStop, nullptr);
    accepting_ = false;
  }
  if (thread_.joinable()) thread_.join();
}

bool SipThread::running() const {
  std::lock_guard lock(mutex_);
  return accepting_;
}

struct SipThread::PaceTimer {
  ::tmr tmr;
  PaceTimer() { tmr_init(&tmr); }
  ~PaceTimer() { tmr_cancel(&tmr); }
};

bool SipThread::post(std::function<void()> task) { return enqueue({std::move(task), false}); }

bool SipThread::post_setup(std::function<void()> task) {
  return enqueue({std::move(task), true});
}

bool SipThread::enqueue(Task task) {
  std::lock_guard lock(mutex_);
  if (!accepting_) return false;
  // An empty queue means no wake-up is pending: neither a queue message nor the pace timer.
  const bool wake = tasks_.empty();
  tasks_.push_back(std::move(task));
  // One wake-up per batch keeps the queue's pipe from filling under a burst of commands.
  if (wake && mqueue_push(queue_, kWork, nullptr) != 0) {
    tasks_.pop_back();
    return false;
  }
  return true;
}

bool SipThread::call(const std::function<void()>& task) {
  // Shared so that a task dropped at shutdown breaks the promise instead of leaving us waiting.
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  if (!post([&task, done] {
        task();
        done->set_value();
      }))
    return false;
  try {
    finished.get();
    return true;
  } catch (const std::future_error&) {  // dropped at shutdown
    return false;
  }
}

void SipThread::on_queue(int id, void*, void* arg) {
  auto* self = static_cast<SipThread*>(arg);
  if (id == kStop) {
    re_cancel();
    return;
  }
  self->drain();
}

void SipThread::on_pace(void* arg) { static_cast<SipThread*>(arg)->drain(); }

void SipThread::drain() {
  std::deque<Task> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(tasks_);
  }
  while (!batch.empty()) {
    if (batch.front().setup) {
      const auto now = std::chrono::steady_clock::now();
      if (now < next_setup_) {
        // Too soon: the rest waits, ahead of anything posted meanwhile, for the pace timer.
        std::lock_guard lock(mutex_);
        tasks_.insert(tasks_.begin(), std::make_move_iterator(batch.begin()),
                      std::make_move_iterator(batch.end()));
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next_setup_ - now);
        tmr_start(&pace_->tmr, static_cast<std::uint64_t>(wait.count()), &SipThread::on_pace, this);
        return;
      }
      next_setup_ = now + kSetupSpacing;
    }
    Task task = std::move(batch.front());
    batch.pop_front();
    task.run();
  }
}

void SipThread::thread_main() {
  sched_param param{};
  param.sched_priority = kRealtimePriority;
  const bool realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
  int err = LibreProcessUse::acquire();
  const bool acquired = err == 0;
  bool thread_ready = false;
  if (err == 0) {
    err = re_thread_init();
    thread_ready = err == 0;
  }
  // Before the first descriptor is watched: only the first sizing counts.
  if (err == 0) err = fd_setsize(table_size());
  ReRef<::mqueue> queue;
  auto pace = std::make_unique<PaceTimer>();
  pace_ = pace.get();
  if (err == 0) {
    ::mqueue* raw = nullptr;
    err = mqueue_alloc(&raw, &SipThread::on_queue, this);
    queue = adopt(raw);
  }
  {
    std::lock_guard lock(mutex_);
    start_error_ = err;
    realtime_ = realtime;
    queue_ = queue.get();
    accepting_ = err == 0;
    started_ = true;
  }
  started_cv_.notify_all();
  if (err == 0) re_main(nullptr);
  {
    std::lock_guard lock(mutex_);
    accepting_ = false;
    tasks_.clear();
    queue_ = nullptr;
  }
  queue.reset();
  pace.reset();
  pace_ = nullptr;
  if (thread_ready) re_thread_close();
  if (acquired) LibreProcessUse::release();
}

}  // namespace orvexa::sip
