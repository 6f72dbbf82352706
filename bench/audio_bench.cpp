// The audio hot paths: the background mixer, and an hour of sound through a virtual device under
// the manual clock (CPU time and how much the process grows while it plays).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "components/voice/kd_voice.h"
#include "components/voice/mixer.h"
#include "platform/audio/virtual_device.h"
#include "platform/audio/wave_file.h"
#include "platform/host/utf.h"

namespace {

using namespace orvexa;

void BM_MixBackground(benchmark::State& state) {
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  std::vector<char> sound(bytes), background(bytes), work(bytes);
  std::mt19937 random(3);
  for (auto& c : sound) c = static_cast<char>(random());
  for (auto& c : background) c = static_cast<char>(random());
  for (auto _ : state) {
    std::copy(sound.begin(), sound.end(), work.begin());
    components::mix_samples(work.data(), background.data(), bytes, 16, 30);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_MixBackground)->Range(1 << 10, 1 << 20);

long max_rss_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

struct QuietBox final : host::ComponentMessageBox {
  void show(std::string_view) override {}
};

void BM_PlayOneHourThroughVirtualDevice(benchmark::State& state) {
  const auto file = std::filesystem::temp_directory_path() / "orvexa-bench-hour.wav";
  const std::uint32_t data = 8000 * 2 * 3600;
  {
    std::ofstream out(file, std::ios::binary);
    const auto header = audio::wave_header(audio::pcm_format(), data);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    std::vector<char> block(16000, 3);
    for (std::uint32_t i = 0; i < data; i += 16000) out.write(block.data(), 16000);
  }
  long growth = 0;
  for (auto _ : state) {
    messaging::ManualClock clock;
    messaging::Loop loop(clock);
    audio::AudioService audio(loop);
    auto speaker = std::make_shared<audio::VirtualPlaybackDevice>(loop, u"Speakers");
    speaker->keep_heard(false);
    audio.add_playback_device(speaker);
    host::NoBusyIndicator busy;
    QuietBox box;
    components::KDVoice voice(loop, {audio, busy, box, nullptr});
    bool done = false;
    voice.OnSoundState = [&](components::KDVoice&, components::TSoundState s, int, int) {
      done = done || s == components::ssPlayDone;
    };
    voice.Play(0, host::to_utf16(file.string()), 0, -1);
    loop.run_for(std::chrono::minutes(1));  // the first minute: buffers are in place
    const long before = max_rss_kb();
    loop.run_until([&] { return done; }, std::chrono::minutes(61));
    growth = max_rss_kb() - before;
    if (!done || speaker->heard_bytes() != data) state.SkipWithError("the hour did not play through");
  }
  state.counters["rss_growth_kb"] = static_cast<double>(growth);
  std::filesystem::remove(file);
}
BENCHMARK(BM_PlayOneHourThroughVirtualDevice)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

}  // namespace
