// RFC 4733 key presses paced by the 20 ms media clock: each key is 100 ms of event packets,
// three end packets and a 60 ms gap; ',' waits 2 s.
//
//   DigitSender keys;  keys.queue("1,2");
//   each tick: if (auto p = keys.tick()) send p->event with p->marker at p->timestamp_offset...
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "platform/sip/rtp_payload.h"

namespace orvexa::sip {

class DigitSender {
 public:
  struct Packet {
    TelephoneEvent event;
    bool marker = false;     // first packet of a press
    std::uint32_t started_tick = 0;  // the tick the press began (its RTP timestamp)
  };
  static constexpr std::size_t kMaxQueued = 128;
  static constexpr int kPressTicks = 5, kEndRepeats = 3, kGapTicks = 3, kPauseTicks = 100;

  // Queues keys and pauses; other characters are skipped. False when the queue is full.
  bool queue(std::string_view keys);
  // Called every tick with the tick's number; a packet to send instead of audio, or nothing.
  std::optional<Packet> tick(std::uint32_t tick);
  bool busy() const { return !queue_.empty() || phase_ != Phase::Idle; }
  void clear();

 private:
  enum class Phase { Idle, Press, End, Gap, Pause };
  std::deque<char> queue_;
  Phase phase_ = Phase::Idle;
  int left_ = 0;
  int sent_ = 0;
  std::uint8_t event_ = 0;
  std::uint32_t started_ = 0;
};

}  // namespace orvexa::sip
