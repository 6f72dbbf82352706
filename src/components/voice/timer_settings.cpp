#include "components/voice/timer_settings.h"

#include <algorithm>
#include <cmath>

namespace orvexa::components {

TTimerPai::~TTimerPai() = default;

bool TTimerPai::Start() {
  Stop();
  if (!enabled_ || milliseconds_ <= 0 || !host_.set) return true;
  // The window system never ticks faster than every 10 ms.
  return host_.set(id_, std::max(milliseconds_ - 10, 10));
}

void TTimerPai::Stop() {
  if (host_.kill) host_.kill(id_);
}

void TTimerPai::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!value) {
    Stop();
  } else if (running_ && !Start()) {
    enabled_ = false;  // left off, so switching it on again tries again
  }
}

void TTimerPai::SetRunning(bool value) {
  if (value == running_) return;
  running_ = value;
  if (!value) {
    Stop();
  } else if (enabled_ && !Start()) {
    running_ = false;
  }
}

void TTimerMilliseconds::SetMilliseconds(int value) {
  if (value < 0) {
    box().show("Interval cannot be negative.");
    return;
  }
  milliseconds_ = value;
}

int TTimerSilence::Seconds() const {
  return static_cast<int>(std::nearbyint(milliseconds_ / 1000.0));
}

void TTimerSilence::SetSeconds(int value) {
  if (value < 0 || value > 60) {
    box().show("Interval must be between 0 and 60 seconds");
    return;
  }
  milliseconds_ = value * 1000;
}

void TTimerSilence::SetLevel(int value) {
  if (value < 0 || value > 32000) {
    box().show("Level must be between 0 and 32000");
    return;
  }
  level_ = value;
}

}  // namespace orvexa::components
