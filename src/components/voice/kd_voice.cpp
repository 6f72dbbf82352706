// KDVoice: creation, destruction, devices, states, the recording format and the hidden window.
#include "components/voice/kd_voice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvexa::components {

namespace audio_ns = orvexa::audio;
using audio_ns::MM_WIM_DATA;
using audio_ns::MM_WOM_CLOSE;
using audio_ns::MM_WOM_DONE;

namespace {

constexpr std::uintptr_t kTimerPlayId = 1;
constexpr std::uintptr_t kTimerRecId = 2;
constexpr std::uintptr_t kLevelTimerId = 3;

// avg x ratio, rounded to nearest with ties to even, then cut to whole frames (at least one).
std::uint32_t block_size(const audio_ns::WAVEFORMATEX& f, double ratio) {
  const double raw = std::nearbyint(static_cast<double>(f.nAvgBytesPerSec) * ratio);
  auto n = static_cast<std::uint32_t>(std::clamp(raw, 0.0, 4.0e9));
  const std::uint32_t align = std::max<std::uint32_t>(1, f.nBlockAlign);
  n = n / align * align;
  return n;
}

}  // namespace

KDVoice::KDVoice(messaging::Loop& loop, VoiceServices services, WideApiProbe probe)
    : TTEL_ComponentVCL(loop, std::move(probe)), services_(services) {
  TimerHost host{[this](std::uintptr_t id, int ms) {
                   return Window().set_timer(id, std::chrono::milliseconds(ms));
                 },
                 [this](std::uintptr_t id) { Window().kill_timer(id); }};
  timer_play_ = std::make_unique<TTimerMilliseconds>(host, kTimerPlayId, services_.message_box);
  timer_rec_ = std::make_unique<TTimerMilliseconds>(host, kTimerRecId, services_.message_box);
  silence_ = std::make_unique<TTimerSilence>(TimerHost{}, 0, services_.message_box);
  timer_rec_->SetMilliseconds(1000);
  timer_play_->SetMilliseconds(1000);
  silence_->SetLevel(6500);
  silence_->SetSeconds(3);
  play_block_size_ = block_size(play_format_, 0.5);
  rec_block_size_ = block_size(rec_format_, 0.45);
}

KDVoice::~KDVoice() {
  destroying_ = true;
  PlayStop();
  RecStop();
  ListenStop();
  close_input();
  close_play_files();
  MemoryListClear();
  timer_rec_->Stop();
  timer_play_->Stop();
  Window().kill_timer(kLevelTimerId);
  loaded_.clear();
  memory_back_list_.clear();
}

int KDVoice::PlayNumberOfDevs() const {
  return static_cast<int>(services_.audio.waveOutGetNumDevs());
}

int KDVoice::RecNumberOfDevs() const {
  return static_cast<int>(services_.audio.waveInGetNumDevs());
}

ErrorNumber KDVoice::PlayGetDevName(int DeviceID, std::u16string& DeviceName) {
  return components::DeviceName({services_.audio, services_.sound_settings},
                                 DeviceKindDir::Playback, DeviceID, PlayNumberOfDevs(),
                                 WideAvailable(), DeviceName);
}

ErrorNumber KDVoice::RecGetDevName(int DeviceID, std::u16string& DeviceName) {
  return components::DeviceName({services_.audio, services_.sound_settings},
                                DeviceKindDir::Capture, DeviceID, RecNumberOfDevs(),
                                WideAvailable(), DeviceName);
}

TPlayingState KDVoice::PlayingState() const {
  switch (play_state_) {
    case PlayState::DeviceOpen: case PlayState::Prepared: case PlayState::Playing: return psPlaying;
    case PlayState::Paused: return psPaused;
    default: return psIdle;
  }
}

TRecordingState KDVoice::RecordingState() const {
  if (!recording_) return rsIdle;
  return rec_paused_ ? rsPaused : rsRecording;
}

void KDVoice::recompute_rec_format() {
  rec_format_.nAvgBytesPerSec = rec_format_.nBlockAlign * rec_format_.nSamplesPerSec;
  rec_block_size_ = block_size(rec_format_, 0.45);
}

void KDVoice::SetFmtRecSamplesPerSec(int value) {
  if (value < 0) {
    services_.message_box.show("Invalid value for FmtRecSamplesPerSec property specified.");
    return;
  }
  rec_format_.nSamplesPerSec = static_cast<audio_ns::DWORD>(value);
  recompute_rec_format();
}

void KDVoice::SetFmtRecChannels(int value) {
  // Beyond 65535 channels the 16-bit field cannot hold the value.
  if (value < 1 || value > std::numeric_limits<audio_ns::WORD>::max()) {
    services_.message_box.show("Invalid value for FmtRecChannels property specified.");
    return;
  }
  rec_format_.nChannels = static_cast<audio_ns::WORD>(value);
  rec_format_.nBlockAlign = static_cast<audio_ns::WORD>(value * rec_format_.wBitsPerSample / 8);
  recompute_rec_format();
}

void KDVoice::SetFmtRecBitsPerSample(int value) {
  if (value != 8 && value != 16) {
    services_.message_box.show("The valid values for the FmtRecBitsPerSample are 8 or 16.");
    return;
  }
  rec_format_.wBitsPerSample = static_cast<audio_ns::WORD>(value);
  rec_format_.nBlockAlign = static_cast<audio_ns::WORD>(rec_format_.nChannels * value / 8);
  recompute_rec_format();
}

void KDVoice::raise(TSoundState state, std::int64_t position, ErrorNumber error) {
  if (!OnSoundState) return;
  const auto pos = static_cast<int>(std::clamp<std::int64_t>(
      position, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
  OnSoundState(*this, state, pos, error);
}

void KDVoice::let_loop_run_once() { Loop().process_pending(); }

void KDVoice::WndProc(TMessage& Message) {
  TTEL_ComponentVCL::WndProc(Message);
  switch (Message.Msg) {
    case messaging::WM_TIMER:
      if (Message.WParam == kTimerPlayId) {
        if (timer_play_usable() && !destroying_) {
          std::int64_t position = 0;
          if (!playback_position(position)) {
            timer_play_->SetRunning(false);
            raise(ssError, 0, err::kTimerResources);
          } else {
            OnTimerPlay(*this, static_cast<int>(position));
          }
        }
      } else if (Message.WParam == kTimerRecId) {
        if (timer_rec_usable() && !destroying_) {
          audio_ns::MMTIME t;
          if (services_.audio.waveInGetPosition(wave_in_, &t, sizeof t) != 0) {
            timer_rec_->SetRunning(false);
            raise(ssError, 0, err::kTimerResources);
          } else {
            OnTimerRec(*this, static_cast<int>(t.cb + rec_pos_base_ - rec_block_size_));
          }
        }
      } else if (Message.WParam == kLevelTimerId) {
        level_tick();
      }
      break;
    case MM_WOM_CLOSE:
      if (play_state_ == PlayState::Playing && Message.WParam == wave_out_) PlayStop();
      break;
    case MM_WOM_DONE:
      // A notice from an output this component has already closed is stale.
      if (Message.WParam == wave_out_)
        buffer_done(reinterpret_cast<audio_ns::WAVEHDR*>(Message.LParam));
      break;
    case MM_WIM_DATA:
      if (Message.WParam == wave_in_)
        data_step(reinterpret_cast<audio_ns::WAVEHDR*>(Message.LParam));
      break;
    default:
      DefaultHandler(Message);
  }
}

bool KDVoice::timer_play_usable() const {
  return timer_play_->Milliseconds() > 0 && timer_play_->Enabled() && OnTimerPlay;
}

bool KDVoice::timer_rec_usable() const {
  return timer_rec_->Milliseconds() > 0 && timer_rec_->Enabled() && OnTimerRec;
}

}  // namespace orvexa::components
