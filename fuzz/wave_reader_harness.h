// What must hold for any bytes offered as a WAVE file: the strict reader and the voice
// component's reader either refuse them or describe data inside them, and playing what the
// component accepts never reads or plays more than the data chunk holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "components/voice/kd_voice.h"
#include "platform/audio/virtual_device.h"
#include "platform/audio/wave_file.h"

namespace orvexa::fuzzing {

struct QuietBox final : host::ComponentMessageBox {
  void show(std::string_view) override {}
};

class WaveReaderHarness {
 public:
  WaveReaderHarness() {
    speaker_->keep_heard(false);
    audio_.add_playback_device(speaker_);
  }

  // Returns false when a promise is broken.
  bool check(const std::uint8_t* data, std::size_t size) {
    audio::WaveFileInfo info;
    const auto problem = audio::parse_wave({data, size}, info);
    if (problem == audio::WaveProblem::None &&
        (info.data_size == 0 || info.data_offset + info.data_size > size))
      return false;
    int data_size = 0, rate = 0, bits = 0, channels = 0;
    const auto bytes = static_cast<std::uint32_t>(size);
    const int e = voice_.MemoryGetInfo(data, bytes, data_size, rate, bits, channels);
    if (e == 0 && (data_size <= 0 || static_cast<std::size_t>(data_size) > size)) return false;
    if (e != 0 && (data_size | rate | bits | channels) != 0) return false;
    if (e != 0) return true;
    const std::uint64_t before = speaker_->heard_bytes();
    if (voice_.MemoryPlay(data, bytes, 0, 0, -1) == 0) loop_.run_for(std::chrono::seconds(3));
    voice_.PlayStop();
    return speaker_->heard_bytes() - before <= static_cast<std::uint64_t>(data_size) &&
           voice_.PlayingState() == components::psIdle;
  }

 private:
  messaging::ManualClock clock_;
  messaging::Loop loop_{clock_};
  audio::AudioService audio_{loop_};
  std::shared_ptr<audio::VirtualPlaybackDevice> speaker_ =
      std::make_shared<audio::VirtualPlaybackDevice>(loop_, u"Speakers");
  host::NoBusyIndicator busy_;
  QuietBox box_;
  components::KDVoice voice_{loop_, {audio_, busy_, box_, nullptr}};
};

}  // namespace orvexa::fuzzing
