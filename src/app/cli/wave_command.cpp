// `orvexa wave devices|info|play|record`: the audio devices, WAVE file facts, and playing and
// recording through the voice component, as the program does.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <ostream>

#include "app/cli/cli.h"
#include "app/cli/wave_info.h"
#include "components/voice/kd_voice.h"
#include "app/cli/assembled.h"
#include "platform/audio/wave_file.h"
#include "platform/host/utf.h"

namespace orvexa::cli {

namespace {

using namespace std::chrono_literals;
using components::KDVoice;

struct WaveOptions {
  std::string file;
  int device = -1;
  double seconds = 0;
  int rate = 8000;
  int bits = 16;
  int channels = 1;
  bool virtual_device = false;
};

// Everything a voice component needs: the program's assembly on the real clock with the
// machine's devices, or (with --virtual) on the manual clock with one virtual device each way.
struct AudioRig {
  AudioRig(CliContext& c, bool virtual_only)
      : program(assemble(c, virtual_only ? assembly::ClockKind::Manual : assembly::ClockKind::Steady,
                         virtual_only ? assembly::SoundDevices::Virtual
                                      : assembly::SoundDevices::System)),
        loop(program->loop()),
        audio(program->audio()),
        box(c.streams.err) {}
  ~AudioRig() { voice.reset(); }
  KDVoice& component() {
    if (!voice) voice = std::make_unique<KDVoice>(
        loop, components::VoiceServices{audio, busy, box, &program->settings()});
    return *voice;
  }

  std::unique_ptr<assembly::ProgramAssembly> program;
  messaging::Loop& loop;
  audio::AudioService& audio;
  host::NoBusyIndicator busy;
  host::StreamMessageBox box;
  std::unique_ptr<KDVoice> voice;
};

std::string formats_of(audio::AudioService& audio, audio::Direction d, std::uint32_t n) {
  std::string out;
  for (const audio::DWORD rate : {8000u, 11025u, 16000u, 22050u, 44100u, 48000u}) {
    for (const audio::WORD bits : {8, 16}) {
      for (const audio::WORD ch : {1, 2}) {
        const auto f = audio::pcm_format(rate, bits, ch);
        audio::HWAVEOUT h = 0;
        const auto r = d == audio::Direction::Playback
                           ? audio.waveOutOpen(&h, n, &f, 0, 0, audio::WAVE_FORMAT_QUERY)
                           : audio.waveInOpen(&h, n, &f, 0, 0, audio::WAVE_FORMAT_QUERY);
        if (r != audio::MMSYSERR_NOERROR) continue;
        if (!out.empty()) out += ' ';
        out += std::to_string(rate) + "/" + std::to_string(bits) + "/" + (ch == 1 ? "mono" : "stereo");
      }
    }
  }
  return out.empty() ? "-" : out;
}

int devices(CliContext& c, const WaveOptions& o) {
  AudioRig rig(c, o.virtual_device);
  for (const auto d : {audio::Direction::Playback, audio::Direction::Capture}) {
    const char* what = d == audio::Direction::Playback ? "playback" : "record";
    const auto list = rig.audio.devices(d);
    if (list.empty()) c.streams.out << what << ": none\n";
    for (const auto& dev : list) {
      c.streams.out << what << ' ' << dev.number << '\t' << audio::kind_name(dev.kind) << '\t'
                    << host::to_utf8(dev.name) << '\t' << formats_of(rig.audio, d, dev.number)
                    << '\n';
    }
  }
  return kExitDone;
}

int info(CliContext& c, const WaveOptions& o) {
  return print_wave_info(o.file, c.streams.out, c.streams.err);
}

int fail(CliContext& c, const char* what, KDVoice& v, int error) {
  c.streams.err << "orvexa wave " << what << ": " << v.GetErrorText(error) << " (" << error << ")\n";
  return kExitFailed;
}

int play(CliContext& c, const WaveOptions& o) {
  AudioRig rig(c, o.virtual_device);
  KDVoice& v = rig.component();
  int done_at = -1, error = 0;
  v.OnSoundState = [&](KDVoice&, components::TSoundState s, int pos, int err) {
    if (s == components::ssPlayDone) done_at = pos;
    if (s == components::ssError) error = err;
  };
  int size = 0, rate = 0, bits = 0, channels = 0;
  const std::u16string name = host::to_utf16(o.file);
  if (int e = v.ValidateFile(name, size, rate, bits, channels); e != 0) return fail(c, "play", v, e);
  if (int e = v.Play(o.device, name, 0, -1); e != 0) return fail(c, "play", v, e);
  const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(
      1000.0 * size / std::max(1, rate * channels * bits / 8))) + 5s;
  rig.loop.run_until([&] { return done_at >= 0 || error != 0; }, limit);
  if (error != 0) return fail(c, "play", v, error);
  if (done_at < 0) {
    v.PlayStop();
    c.streams.err << "orvexa wave play: the device did not finish in time\n";
    return kExitFailed;
  }
  c.streams.out << "played " << done_at + 1 << " bytes ("
                << KDVoice::FmtByteToTime(rate, bits, channels, done_at + 1, 1) << ")\n";
  return kExitDone;
}

int record(CliContext& c, const WaveOptions& o) {
  if (o.seconds <= 0) {
    c.streams.err << "orvexa wave record: --seconds must be above 0\n";
    return kExitBadArguments;
  }
  AudioRig rig(c, o.virtual_device);
  KDVoice& v = rig.component();
  v.SetFmtRecSamplesPerSec(o.rate);
  v.SetFmtRecBitsPerSample(o.bits);
  v.SetFmtRecChannels(o.channels);
  int done_at = -1, error = 0;
  v.OnSoundState = [&](KDVoice&, components::TSoundState s, int pos, int err) {
    if (s == components::ssRecDone) done_at = pos;
    if (s == components::ssError) error = err;
  };
  if (int e = v.Rec(o.device, host::to_utf16(o.file)); e != 0) return fail(c, "record", v, e);
  rig.loop.run_until([&] { return error != 0; },
                     std::chrono::milliseconds(static_cast<std::int64_t>(o.seconds * 1000)));
  v.RecStop();
  if (error != 0) return fail(c, "record", v, error);
  c.streams.out << "recorded " << done_at + 1 << " bytes ("
                << KDVoice::FmtByteToTime(o.rate, o.bits, o.channels, done_at + 1, 1) << ") into "
                << o.file << '\n';
  return kExitDone;
}

}  // namespace

void register_wave_command(CLI::App& app, CommandSet& commands) {
  auto o = std::make_shared<WaveOptions>();
  CLI::App* wave = app.add_subcommand("wave", "Audio devices and WAVE files");
  wave->require_subcommand(1);
  auto add_virtual = [o](CLI::App* sub) {
    sub->add_flag("--virtual", o->virtual_device,
                  "Use a virtual device on a manual clock instead of the machine's devices");
  };
  CLI::App* d = commands.add(*wave, "devices", "List playback and record devices",
                             [o](CliContext& c) { return devices(c, *o); });
  add_virtual(d);
  CLI::App* i = commands.add(*wave, "info", "Format, rate, size and duration of a WAVE file",
                             [o](CliContext& c) { return info(c, *o); });
  i->add_option("file", o->file, "WAVE file")->required();
  CLI::App* p = commands.add(*wave, "play", "Play a WAVE file",
                             [o](CliContext& c) { return play(c, *o); });
  p->add_option("file", o->file, "WAVE file")->required();
  p->add_option("--device", o->device, "Playback device number (-1: the preferred one)");
  add_virtual(p);
  CLI::App* r = commands.add(*wave, "record", "Record a WAVE file (8000 Hz, 16-bit, mono)",
                             [o](CliContext& c) { return record(c, *o); });
  r->add_option("file", o->file, "WAVE file to write")->required();
  r->add_option("--seconds", o->seconds, "How long to record")->required();
  r->add_option("--device", o->device, "Record device number (-1: the preferred one)");
  r->add_option("--rate", o->rate, "Samples per second");
  r->add_option("--bits", o->bits, "Bits per sample (8 or 16)");
  r->add_option("--channels", o->channels, "Channels");
  add_virtual(r);
}

}  // namespace orvexa::cli
