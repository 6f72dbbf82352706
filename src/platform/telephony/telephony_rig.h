// The telephony side alone, for tests and benchmarks: one loop on a chosen clock, the audio
// service, and the line service with the simulated provider of a configuration at hand. (The
// program itself is put together by app/assembly.)
//
//   TelephonyRig rig(parse_sim_config(text).config.value(), /*manual_clock=*/true);
//   KDPhone phone(rig.loop(), rig.lines());
//   ... rig.sim().call_record(1)->heard_seconds ...
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/messaging/loop.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/sim_audio.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

class TelephonyRig;

class TelephonyRig {
 public:
  TelephonyRig(SimConfig config, bool manual_clock);
  ~TelephonyRig();
  TelephonyRig(const TelephonyRig&) = delete;
  TelephonyRig& operator=(const TelephonyRig&) = delete;

  messaging::Clock& clock() { return *clock_; }
  // Null with the steady clock.
  messaging::ManualClock* manual_clock() { return manual_; }
  messaging::Loop& loop() { return *loop_; }
  audio::AudioService& audio() { return *audio_; }
  LineService& lines() { return *service_; }
  SimProvider& sim() { return *sim_; }
  // The audio devices of simulated line `index` (its own index among the simulated lines), of
  // its channel `slot`.
  SimAudioDevices* line_audio(std::size_t index, std::size_t slot = 0) {
    return index < line_audio_.size() && slot < line_audio_[index].size()
               ? line_audio_[index][slot]
               : nullptr;
  }

 private:
  std::unique_ptr<messaging::Clock> clock_;
  messaging::ManualClock* manual_ = nullptr;
  std::unique_ptr<messaging::Loop> loop_;
  std::unique_ptr<audio::AudioService> audio_;
  std::unique_ptr<SimProvider> sim_;
  std::unique_ptr<LineService> service_;
  std::vector<std::vector<SimAudioDevices*>> line_audio_;
};

}  // namespace orvexa::telephony
