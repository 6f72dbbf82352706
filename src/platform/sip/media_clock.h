// The 20 ms frame clock of a SIP thread: one kernel timer paces the media of every call, so all
// calls send on one shared grid with microsecond precision, instead of each call keeping a
// millisecond libre timer of its own that wakes the thread at a different moment.
//
//   MediaClock clock;            // on the SIP thread
//   clock.add(media);            // media.frame() now runs every 20 ms, in order of joining
//   clock.remove(media);         // safe inside frame(), for itself or another member
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/host/unique_fd.h"

namespace orvexa::sip {

class MediaClock {
 public:
  class Member {
   public:
    virtual void frame() = 0;

   protected:
    ~Member() = default;
  };

  static constexpr auto kFrame = std::chrono::milliseconds(20);
  // After a stall the owed frames go out at once, but never more than this many: beyond it the
  // audio is late anyway and a burst would only flood the far end's jitter buffer.
  static constexpr std::uint64_t kMaxCatchUp = 5;

  MediaClock() = default;
  ~MediaClock();
  MediaClock(const MediaClock&) = delete;
  MediaClock& operator=(const MediaClock&) = delete;

  // SIP thread. Starts the timer with the first member; errno-style result.
  int add(Member& member);
  void remove(Member& member);
  bool contains(const Member& member) const;
  std::size_t size() const;
  bool ticking() const { return static_cast<bool>(fd_); }

  // What the timer does when it expires `periods` times since it was last read.
  void expired(std::uint64_t periods);

 private:
  static void on_readable(int flags, void* arg);
  int start();
  void stop();

  std::vector<Member*> members_;  // null: removed while the members were being walked
  int walking_ = 0;
  host::UniqueFd fd_;
};

}  // namespace orvexa::sip
