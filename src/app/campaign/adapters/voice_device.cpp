#include "app/campaign/adapters/voice_device.h"

#include "components/voice/kd_common.h"
#include "components/voice/kd_voice.h"
#include "platform/audio/audio_service.h"
#include "platform/host/utf.h"

namespace orvexa::campaign {

using namespace components;

namespace {
SoundEvent sound_event_of(TSoundState state) {
  switch (state) {
    case ssPlayBegin: return SoundEvent::PlayBegin;
    case ssPlayDone: return SoundEvent::PlayDone;
    case ssRecBegin: return SoundEvent::RecBegin;
    case ssRecDone: return SoundEvent::RecDone;
    case ssError: return SoundEvent::Error;
    default: return SoundEvent::Other;
  }
}
}  // namespace

VoiceDevice::VoiceDevice(messaging::Loop& loop, audio::AudioService& audio, host::BusyIndicator& busy,
                         host::ComponentMessageBox& message_box,
                         const settings::SettingsStore* sound_settings)
    : audio_(audio),
      sound_settings_(sound_settings),
      voice_(std::make_unique<KDVoice>(loop,
                                       VoiceServices{audio, busy, message_box, sound_settings})) {
  voice_->SetAutoRepeat(false);
  voice_->SetEnableVUMeter(false);
  voice_->SetFmtRecSamplesPerSec(8000);
  voice_->SetFmtRecChannels(1);
  voice_->SetFmtRecBitsPerSample(16);
  voice_->SetBackgroundEnabled(false);
  voice_->SetBackgroundVolume(50);
  voice_->SetBackgroundAutoRepeat(true);
}

VoiceDevice::~VoiceDevice() = default;

void VoiceDevice::bind(std::function<void(SoundEvent, int)> sound_state) {
  voice_->OnSoundState = [f = std::move(sound_state)](KDVoice&, TSoundState state, int, int error) {
    if (f) f(sound_event_of(state), error);
  };
}

int VoiceDevice::play(int device, const std::string& file) {
  return voice_->Play(device, host::to_utf16(file), 0, -1);
}
void VoiceDevice::play_stop() { voice_->PlayStop(); }
int VoiceDevice::rec(int device, const std::string& file) {
  return voice_->Rec(device, host::to_utf16(file));
}
void VoiceDevice::rec_stop() { voice_->RecStop(); }
std::string VoiceDevice::error_text(int error) { return voice_->GetErrorText(error); }

std::optional<int> VoiceDevice::message_capture_device(int device) {
  const int count = voice_->RecNumberOfDevs();
  // The component's own rule for -1, so that the device checked is the one it will open.
  if (device == -1 && PreferredDevice({audio_, sound_settings_}, DeviceKindDir::Capture, count,
                                      true, device) != err::kNone)
    return std::nullopt;
  for (const audio::DeviceListing& d : audio_.devices(audio::Direction::Capture))
    if (static_cast<int>(d.number) == device && d.kind != audio::DeviceKind::Line) return device;
  return std::nullopt;
}

}  // namespace orvexa::campaign
