// `orvexa message record|play|info`: the two voice messages, through the same preparation code
// as the window's record, stop and play buttons, on the devices the window would use.
#include <CLI/CLI.hpp>

#include <iomanip>
#include <memory>
#include <ostream>

#include "app/campaign/adapters/voice_device.h"
#include "app/campaign/call_flow.h"
#include "app/campaign/campaign_texts.h"
#include "app/campaign/message_preparation.h"
#include "app/cli/assembled.h"
#include "app/cli/stream_dialogs.h"
#include "platform/audio/wave_file.h"

namespace orvexa::cli {

namespace {

using campaign::MessageRow;

struct MessageOptions {
  std::string which;  // opening or main
  double seconds = 0;
  int device = -1;
};

MessageRow row_of(const std::string& which) {
  return which == "main" ? MessageRow::Main : MessageRow::Opening;
}

// The window's message side without the window: preparation, call flow (for its playback log)
// and the voice component on the assembly's devices.
struct MessageDesk {
  explicit MessageDesk(CliContext& c)
      : program(assemble(c, assembly::ClockKind::Steady)),
        box(c.streams.err),
        dialogs(c.streams.err),
        voice(program->loop(), program->audio(), busy, box, &program->settings()),
        flow(program->loop(), no_line, voice, log, settings, paths, dialogs),
        prep(voice, flow, log, dialogs, paths, c.program_folder) {
    prep.fill_paths_from_folder();
    voice.bind([this](campaign::SoundEvent s, int e) {
      flow.on_sound_state(s, e);
      prep.on_sound_state(s);
      if (s == campaign::SoundEvent::PlayDone || s == campaign::SoundEvent::RecDone) ended = true;
      if (s == campaign::SoundEvent::Error) failed = true;
    });
  }
  ~MessageDesk() { voice.bind({}); }
  bool log_has(std::string_view text) const {
    for (const auto& line : log.lines())
      if (line == text) return true;
    return false;
  }

  std::unique_ptr<assembly::ProgramAssembly> program;
  host::NoBusyIndicator busy;
  host::StreamMessageBox box;
  StreamDialogs dialogs;
  campaign::NoLine no_line;
  campaign::StatusLog log;
  campaign::PreCallSettings settings;
  campaign::MessagePaths paths;
  campaign::VoiceDevice voice;
  campaign::CallFlow flow;
  campaign::MessagePreparation prep;
  bool ended = false, failed = false;
};

int record(CliContext& c, const MessageOptions& o) {
  std::ostream& err = c.streams.err;
  if (o.seconds <= 0 || o.seconds > 3600) {
    err << "orvexa message record: --seconds must be above 0 and at most 3600\n";
    return kExitBadArguments;
  }
  MessageDesk desk(c);
  const MessageRow row = row_of(o.which);
  const std::optional<int> source = desk.voice.message_capture_device(o.device);
  if (!source) {
    err << "orvexa message record: no capture device to record from"
        << (o.device >= 0 ? " (device " + std::to_string(o.device) + " is none, or a line's)"
                          : " (this machine has no microphone; a line's audio carries only calls)")
        << "; the " << o.which << " message is unchanged\n";
    return kExitFailed;
  }
  if (!desk.prep.record(row, *source)) {
    err << "orvexa message record: recording could not start on device " << *source
        << "; the " << o.which << " message is unchanged\n";
    return kExitFailed;
  }
  desk.program->loop().run_until([&] { return desk.failed; },
                                 std::chrono::milliseconds(static_cast<std::int64_t>(o.seconds * 1000)));
  desk.prep.stop();
  const auto file = desk.prep.file_of(row);
  if (desk.failed || desk.log_has(campaign::text::kRecFailed)) {
    err << "orvexa message record: the take failed; the " << o.which << " message is unchanged\n";
    return kExitFailed;
  }
  audio::WaveFileInfo info;
  audio::read_wave_file(file, info);
  c.streams.out << "recorded the " << o.which << " message from device " << *source << " into "
                << file.string() << " (" << std::fixed << std::setprecision(1) << info.seconds()
                << " s)\n";
  return kExitDone;
}

int play(CliContext& c, const MessageOptions& o) {
  MessageDesk desk(c);
  const MessageRow row = row_of(o.which);
  const auto file = desk.prep.file_of(row);
  audio::WaveFileInfo info;
  if (const auto p = audio::read_wave_file(file, info); p != audio::WaveProblem::None) {
    c.streams.err << "orvexa message play: " << file.string() << ": " << audio::wave_problem_text(p)
                  << '\n';
    return kExitFailed;
  }
  desk.prep.play(row, o.device);
  if (desk.log_has(campaign::text::kPlayFailed)) {
    c.streams.err << "orvexa message play: the device could not play " << file.string() << '\n';
    return kExitFailed;
  }
  const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(info.seconds() * 1000)) +
                     std::chrono::seconds(5);
  desk.program->loop().run_until([&] { return desk.ended || desk.failed; }, limit);
  if (!desk.ended || desk.failed) {
    desk.prep.stop();
    c.streams.err << "orvexa message play: the device did not finish playing\n";
    return kExitFailed;
  }
  c.streams.out << "played the " << o.which << " message " << file.string() << '\n';
  return kExitDone;
}

int info(CliContext& c) {
  int missing = 0;
  for (const MessageRow row : {MessageRow::Opening, MessageRow::Main}) {
    const auto file = c.program_folder / (row == MessageRow::Opening ? campaign::kOpeningFile
                                                                     : campaign::kMainFile);
    c.streams.out << (row == MessageRow::Opening ? "opening" : "main") << '\t' << file.string()
                  << '\t';
    audio::WaveFileInfo i;
    const auto p = audio::read_wave_file(file, i);
    if (p != audio::WaveProblem::None) {
      c.streams.out << audio::wave_problem_text(p) << '\n';
      ++missing;
      continue;
    }
    c.streams.out << "PCM " << i.format.nSamplesPerSec << " Hz " << i.format.wBitsPerSample
                  << "-bit " << (i.format.nChannels == 1 ? "mono" : "stereo") << '\t' << std::fixed
                  << std::setprecision(3) << i.seconds() << " s\n";
  }
  return missing == 0 ? kExitDone : kExitFailed;
}

}  // namespace

void register_message_command(CLI::App& app, CommandSet& commands) {
  auto o = std::make_shared<MessageOptions>();
  CLI::App* message = app.add_subcommand("message", "The opening and main voice messages");
  message->require_subcommand(1);
  auto which = [o](CLI::App* sub) {
    sub->add_option("which", o->which, "opening or main")
        ->required()
        ->check(CLI::IsMember({"opening", "main"}));
    sub->add_option("--device", o->device, "Wave device number (-1: the one the window uses)")
        ->check(CLI::Range(-1, 1000));
  };
  CLI::App* r = commands.add(*message, "record", "Record a message; it is replaced only by a good take",
                             [o](CliContext& c) { return record(c, *o); });
  which(r);
  r->add_option("--seconds", o->seconds, "How long to record")->required();
  CLI::App* p = commands.add(*message, "play", "Play a message",
                             [o](CliContext& c) { return play(c, *o); });
  which(p);
  commands.add(*message, "info", "Format, duration and path of both messages",
               [](CliContext& c) { return info(c); });
}

}  // namespace orvexa::cli
