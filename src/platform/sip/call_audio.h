// The audio handed between a line's wave devices (loop thread) and its call's media (SIP
// thread): what the voice component plays, waiting to be sent in 20 ms frames.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

namespace orvexa::sip {

class OutboundAudio {
 public:
  // Ten seconds: a player that queues more waits for the device to report progress anyway.
  static constexpr std::size_t kMaxSamples = 8000 * 10;

  // Loop thread. Appends little-endian 16-bit samples; returns how many bytes were taken.
  std::size_t push(std::span<const std::uint8_t> bytes);
  // SIP thread. Fills `frame` from the queue (silence past its end); returns samples taken.
  std::size_t pop(std::span<std::int16_t> frame);
  void clear();
  std::size_t queued() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::int16_t> samples_;
  bool odd_byte_ = false;
  std::uint8_t low_ = 0;
};

}  // namespace orvexa::sip
