#include "platform/sip/call_audio.h"

namespace orvexa::sip {

std::size_t OutboundAudio::push(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  std::size_t taken = 0;
  for (std::uint8_t b : bytes) {
    if (!odd_byte_ && samples_.size() >= kMaxSamples) break;
    ++taken;
    if (!odd_byte_) {
      low_ = b;
      odd_byte_ = true;
      continue;
    }
    samples_.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(low_) |
                                                 static_cast<std::uint16_t>(b << 8)));
    odd_byte_ = false;
  }
  return taken;
}

std::size_t OutboundAudio::pop(std::span<std::int16_t> frame) {
  std::lock_guard lock(mutex_);
  const std::size_t n = std::min(frame.size(), samples_.size());
  for (std::size_t i = 0; i < n; ++i) {
    frame[i] = samples_.front();
    samples_.pop_front();
  }
  for (std::size_t i = n; i < frame.size(); ++i) frame[i] = 0;
  return n;
}

void OutboundAudio::clear() {
  std::lock_guard lock(mutex_);
  samples_.clear();
  odd_byte_ = false;
}

std::size_t OutboundAudio::queued() const {
  std::lock_guard lock(mutex_);
  return samples_.size();
}

}  // namespace orvexa::sip
