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

namespace orvexa::campaign {

class VoiceDevice final : public VoicePort {
 public:
  VoiceDevice(messaging::Loop& loop, audio::AudioService& audio, host::BusyIndicator& busy,
              host::ComponentMessageBox& message_box);
  ~VoiceDevice() override;

  void bind(std::function<void(SoundEvent, int error)> sound_state);
  components::KDVoice& component() { return *voice_; }

  int play(int device, const std::string& file) override;
  void play_stop() override;
  int rec(int device, const std::string& file) override;
  void rec_stop() override;
  std::string error_text(int error) override;

 private:
  std::unique_ptr<components::KDVoice> voice_;
};

}  // namespace orvexa::campaign
