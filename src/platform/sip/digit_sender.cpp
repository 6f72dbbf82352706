#include "platform/sip/digit_sender.h"

namespace orvexa::sip {

bool DigitSender::queue(std::string_view keys) {
  for (char c : keys) {
    if (c != ',' && digit_event(c) < 0) continue;
    if (queue_.size() >= kMaxQueued) return false;
    queue_.push_back(c);
  }
  return true;
}

void DigitSender::clear() {
  queue_.clear();
  phase_ = Phase::Idle;
}

std::optional<DigitSender::Packet> DigitSender::tick(std::uint32_t tick) {
  if (phase_ == Phase::Idle) {
    if (queue_.empty()) return std::nullopt;
    const char c = queue_.front();
    queue_.pop_front();
    if (c == ',') {
      phase_ = Phase::Pause;
      left_ = kPauseTicks;
    } else {
      phase_ = Phase::Press;
      event_ = static_cast<std::uint8_t>(digit_event(c));
      started_ = tick;
      sent_ = 0;
    }
  }
  switch (phase_) {
    case Phase::Press: {
      Packet p{{event_, false, 10, static_cast<std::uint16_t>((sent_ + 1) * kSamplesPerFrame)},
               sent_ == 0, started_};
      if (++sent_ == kPressTicks) {
        phase_ = Phase::End;
        left_ = kEndRepeats;
      }
      return p;
    }
    case Phase::End: {
      Packet p{{event_, true, 10, static_cast<std::uint16_t>(kPressTicks * kSamplesPerFrame)},
               false, started_};
      if (--left_ == 0) {
        phase_ = Phase::Gap;
        left_ = kGapTicks;
      }
      return p;
    }
    case Phase::Gap:
    case Phase::Pause:
      if (--left_ <= 0) phase_ = Phase::Idle;
      return std::nullopt;
    case Phase::Idle: break;
  }
  return std::nullopt;
}

}  // namespace orvexa::sip
