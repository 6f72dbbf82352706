// A simulated line's call audio as two devices of the audio service: "wave/out" records what
// the far end hears, "wave/in" carries what the far end sends. Both names contain "Modem", so the
// preferred-device rule passes them over.
//
//   auto devices = attach_sim_audio(sim, audio);   // every channel of every line
//   devices[line][slot]->output() ...
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/audio/virtual_device.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

class SimAudioDevices final : public SimLineAudio {
 public:
  SimAudioDevices(audio::AudioService& audio, const std::string& line_name);
  ~SimAudioDevices() override;

  std::int32_t wave_in() const override;
  std::int32_t wave_out() const override;
  void set_heard_listener(HeardListener listener) override;
  void push_far_end(std::span<const std::int16_t> samples) override;
  audio::WAVEFORMATEX output_format() const override;
  std::uint64_t played_bytes() const override;
  bool input_open() const override { return input_->is_open(); }

  audio::VirtualPlaybackDevice& output() { return *output_; }
  audio::VirtualCaptureDevice& input() { return *input_; }

 private:
  audio::AudioService& audio_;
  std::shared_ptr<audio::VirtualPlaybackDevice> output_;
  std::shared_ptr<audio::VirtualCaptureDevice> input_;
  audio::DeviceId output_id_ = 0, input_id_ = 0;
};

// Gives every channel of the simulated lines its pair of devices: slot 0 named after the line,
// the others "<line> #2", "#3", ... Every line's slot 0 is added first, so the line's own
// devices keep their numbers whatever channels the lines have. Returned by line, then slot.
std::vector<std::vector<SimAudioDevices*>> attach_sim_audio(SimProvider& sim,
                                                             audio::AudioService& audio);

}  // namespace orvexa::telephony
