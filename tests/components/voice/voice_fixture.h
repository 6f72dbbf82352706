// Shared set-up for the voice component tests: a manual clock, the audio service with a virtual
// speaker and microphone, and a KDVoice whose events are written down in order.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "components/voice/kd_voice.h"
#include "platform/audio/virtual_device.h"
#include "platform/audio/wave_file.h"
#include "platform/host/utf.h"

namespace orvexa::components::testing {

struct Event {
  TSoundState state;
  int position;
  int error;
  bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{state " << e.state << ", pos " << e.position << ", err " << e.error << "}";
}

class CountingBusy final : public host::BusyIndicator {
 public:
  void begin() override { ++depth; ++begun; }
  void end() override { --depth; }
  int depth = 0;
  int begun = 0;
};

class RecordingBox final : public host::ComponentMessageBox {
 public:
  void show(std::string_view text) override { shown.emplace_back(text); }
  std::vector<std::string> shown;
};

// Bytes 0..n-1 of a counting pattern, so any misplaced byte shows.
inline std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 251) & 0xFF);
  return v;
}

inline std::vector<std::uint8_t> wave_image(const audio::WAVEFORMATEX& f,
                                            const std::vector<std::uint8_t>& data) {
  auto bytes = audio::wave_header(f, static_cast<std::uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  if (data.size() % 2) bytes.push_back(0);
  return bytes;
}

inline void write_bytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::u16string u16(const std::filesystem::path& p) { return host::to_utf16(p.string()); }

class VoiceTest : public ::testing::Test {
 protected:
  VoiceTest() {
    dir = std::filesystem::temp_directory_path() /
          ("orvexa-voice-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    audio.add_playback_device(speaker);
    audio.add_capture_device(mic);
    voice.OnSoundState = [this](KDVoice&, TSoundState s, int pos, int err) {
      events.push_back({s, pos, err});
    };
  }
  ~VoiceTest() override { std::filesystem::remove_all(dir); }

  std::u16string file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    write_bytes(dir / name, bytes);
    return u16(dir / name);
  }
  std::u16string wave(const std::string& name, const std::vector<std::uint8_t>& data,
                      audio::WAVEFORMATEX f = audio::pcm_format()) {
    return file(name, wave_image(f, data));
  }

  std::filesystem::path dir;
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  audio::AudioService audio{loop};
  std::shared_ptr<audio::VirtualPlaybackDevice> speaker =
      std::make_shared<audio::VirtualPlaybackDevice>(loop, u"Speakers");
  std::shared_ptr<audio::VirtualCaptureDevice> mic =
      std::make_shared<audio::VirtualCaptureDevice>(loop, u"Microphone");
  CountingBusy busy;
  RecordingBox box;
  KDVoice voice{loop, {audio, busy, box, nullptr}};
  std::vector<Event> events;
};

}  // namespace orvexa::components::testing
