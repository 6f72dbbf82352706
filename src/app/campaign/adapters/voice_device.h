// The campaign's voice device on the real voice component (KDVoice1), which this class owns and
// sets up with the property values of the main window's design.
#pragma once

#include <functional>
#include <memory>

#include "app/campaign/ports.h"
#include "platform/host/host_services.h"
#include "platform/messaging/loop.h"

namespace orvexa::audio {
class AudioService;
}
namespace orvexa::components {
class KDVoice;
}
namespace orvexa::settings {
class SettingsStore;
}

namespace orvexa::campaign {

class VoiceDevice final : public VoicePort {
 public:
  // `sound_settings`: the user's choice of preferred devices; null: the first that is no modem.
  VoiceDevice(messaging::Loop& loop, audio::AudioService& audio, host::BusyIndicator& busy,
              host::ComponentMessageBox& message_box,
              const settings::SettingsStore* sound_settings = nullptr);
  ~VoiceDevice() override;

  void bind(std::function<void(SoundEvent, int error)> sound_state);
  components::KDVoice& component() { return *voice_; }

  int play(int device, const std::string& file) override;
  void play_stop() override;
  int rec(int device, const std::string& file) override;
  void rec_stop() override;
  std::string error_text(int error) override;
  std::optional<int> message_capture_device(int device) override;

 private:
  audio::AudioService& audio_;
  const settings::SettingsStore* sound_settings_;
  std::unique_ptr<components::KDVoice> voice_;
};

}  // namespace orvexa::campaign
