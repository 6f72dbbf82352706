// `orvexa call NUMBER`: one call on a line, its states and digits as they arrive, a file played
// to the callee once answered. Exit 0 when the call was answered.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>
#include <ostream>

#include "app/cli/cli.h"
#include "components/phone/kdphone.h"
#include "platform/audio/wave_file.h"
#include "app/cli/assembled.h"

namespace orvexa::cli {

namespace {

using namespace std::chrono_literals;

struct CallOptions {
  std::string number;
  int line = 0;
  std::string play;
  bool fast = false;
  double hold_seconds = 10;
  std::string transfer_to;
  double transfer_after = 2;
  bool consult = false;
};

// Plays one sound on a wave output device in half-second blocks, as the voice component does,
// and says when the last block is done.
class Playback {
 public:
  Playback(audio::AudioService& audio, std::function<void()> done)
      : audio_(audio),
        done_(std::move(done)),
        window_(audio.loop(), [this](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
          if (m == audio::MM_WOM_DONE && handle_ && ++returned_ == headers_.size() && done_) done_();
          return messaging::LRESULT{0};
        }) {}
  ~Playback() { Stop(); }

  audio::MMRESULT Start(int device, const audio::WaveFileInfo& info, std::vector<std::uint8_t>& data) {
    audio::MMRESULT r = audio_.waveOutOpen(&handle_, static_cast<std::uint32_t>(device), &info.format,
                                           window_.handle(), 0, audio::CALLBACK_WINDOW);
    if (r != 0) {
      handle_ = 0;
      return r;
    }
    const std::size_t align = std::max<std::size_t>(1, info.format.nBlockAlign);
    const std::size_t block = std::max(align, info.format.nAvgBytesPerSec / 2 / align * align);
    for (std::size_t at = 0; at < data.size(); at += block) {
      audio::WAVEHDR header{};
      header.lpData = reinterpret_cast<char*>(data.data() + at);
      header.dwBufferLength = static_cast<audio::DWORD>(std::min(block, data.size() - at));
      headers_.push_back(header);
    }
    for (audio::WAVEHDR& header : headers_) {
      r = audio_.waveOutPrepareHeader(handle_, &header, sizeof header);
      if (r == 0) r = audio_.waveOutWrite(handle_, &header, sizeof header);
      if (r != 0) {
        Stop();
        return r;
      }
    }
    return 0;
  }
  void Stop() {
    if (!handle_) return;
    const audio::HWAVEOUT handle = handle_;
    handle_ = 0;  // blocks returned by the reset are not the end of the sound
    audio_.waveOutReset(handle);
    for (audio::WAVEHDR& header : headers_) audio_.waveOutUnprepareHeader(handle, &header, sizeof header);
    audio_.waveOutClose(handle);
  }

 private:
  audio::AudioService& audio_;
  std::function<void()> done_;
  messaging::FunctionWindow window_;
  audio::HWAVEOUT handle_ = 0;
  std::deque<audio::WAVEHDR> headers_;  // stable addresses while the device holds them
  std::size_t returned_ = 0;
};

int PlaceCall(CliContext& context, const CallOptions& options) {
  std::ostream& out = context.streams.out;
  std::ostream& err = context.streams.err;
  audio::WaveFileInfo info;
  std::vector<std::uint8_t> sound;
  if (!options.play.empty()) {
    const audio::WaveProblem problem = audio::read_wave_file(options.play, info, &sound);
    if (problem != audio::WaveProblem::None) {
      err << "orvexa call: " << options.play << ": " << audio::wave_problem_text(problem) << '\n';
      return kExitBadArguments;
    }
  }
  const auto program =
      assemble(context, options.fast ? assembly::ClockKind::Manual : assembly::ClockKind::Steady);
  if (program->config_refused()) return kExitBadArguments;
  assembly::ProgramAssembly& rig = *program;
  components::KDPhone phone(rig.loop(), rig.lines());
  const auto start = rig.loop().now();
  auto stamp = [&] {
    char text[16];
    std::snprintf(text, sizeof text, "%7.1f ",
                  std::chrono::duration<double>(rig.loop().now() - start).count());
    return std::string(text);
  };
  bool answered = false, done = false;
  Playback playback(rig.audio(), [&] {
    out << stamp() << "end of " << options.play << '\n';
    phone.Hangup();
  });
  messaging::FunctionWindow hold(rig.loop(), [&](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
    if (m == messaging::WM_TIMER) {
      hold.kill_timer(1);
      phone.Hangup();
    }
    return messaging::LRESULT{0};
  });
  bool transfer_failed = false, consult_completed = false;
  messaging::FunctionWindow hand_over(rig.loop(), [&](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
    if (m != messaging::WM_TIMER) return messaging::LRESULT{0};
    hand_over.kill_timer(1);
    out << stamp() << (options.consult ? "consulting " : "transferring to ") << options.transfer_to
        << '\n';
    const int r = options.consult ? phone.ConsultCallDialNumber(true, options.transfer_to)
                                  : phone.Transfer(options.transfer_to);
    if (r != 0) {
      err << "orvexa call: transfer to " << options.transfer_to << ": " << phone.GetErrorText(r)
          << " (" << r << ")\n";
      transfer_failed = true;
      phone.Hangup();
    }
    return messaging::LRESULT{0};
  });
  phone.OnConsultCallState = [&](components::KDPhone& p, components::TConsultCallState s, int p1,
                                 int, int) {
    out << stamp() << "consultation state " << static_cast<int>(s);
    if (s == components::ccsError) out << ' ' << p1 << " (" << p.GetErrorText(p1) << ')';
    out << '\n';
    if (s == components::ccsConnected) {
      if (p.ConsultCallComplete() == 0) consult_completed = true;
      else transfer_failed = true;
    }
    // A consultation that ends without completing leaves the first call held: end it too, once
    // the component has let go of the consultation.
    if (s == components::ccsError || (s == components::ccsDisconnected && !consult_completed)) {
      transfer_failed = true;
      hold.set_timer(1, std::chrono::milliseconds(1));
    }
  };
  phone.OnCallState = [&](components::KDPhone& p, components::TCallState s, int p1, int, int) {
    out << stamp() << components::CallStateName(s);
    if (s == components::csError) out << ' ' << p1 << " (" << p.GetErrorText(p1) << ')';
    out << '\n';
    if (s == components::csConnected && !answered) {
      answered = true;
      if (!options.transfer_to.empty()) {
        hand_over.set_timer(1, std::chrono::milliseconds(static_cast<int>(options.transfer_after * 1000)));
      } else if (sound.empty()) {
        hold.set_timer(1, std::chrono::milliseconds(static_cast<int>(options.hold_seconds * 1000)));
      } else if (auto r = playback.Start(p.WavePlayID(), info, sound); r != 0) {
        err << "orvexa call: cannot play on the line's wave output (" << r << ")\n";
        p.Hangup();
      }
    }
    if (s == components::csDisconnected || s == components::csOfferedCallDropped) {
      playback.Stop();
      done = true;
    }
  };
  phone.OnDigitDetected = [&](components::KDPhone&, char digit, int) {
    out << stamp() << "digit " << digit << '\n';
  };
  phone.OnLineState = [&](components::KDPhone& p, components::TLineState s, int p1) {
    if (s == components::lsError) {
      out << stamp() << "line error " << p1 << " (" << p.GetErrorText(p1) << ")\n";
      done = true;
    }
  };
  if (int r = phone.LineActive(options.line, true); r != 0) {
    err << "orvexa call: line " << options.line << ": " << phone.GetErrorText(r) << " (" << r
        << ")\n";
    return kExitFailed;
  }
  out << stamp() << "dialling " << options.number << " on line " << options.line << '\n';
  if (int r = phone.DialNumber(options.number, 0); r != 0) {
    err << "orvexa call: " << phone.GetErrorText(r) << " (" << r << ")\n";
    return kExitFailed;
  }
  rig.loop().run_until([&] { return done; }, options.fast ? messaging::Duration(24h) : 30min);
  if (!done) err << "orvexa call: the call did not end\n";
  return answered && !transfer_failed ? kExitDone : kExitFailed;
}

}  // namespace

void register_call_command(CLI::App& app, CommandSet& commands) {
  auto options = std::make_shared<CallOptions>();
  CLI::App* call = commands.add(app, "call", "Place one call and report its progress",
                                [options](CliContext& context) { return PlaceCall(context, *options); });
  call->add_option("NUMBER", options->number, "Number to dial")->required();
  call->add_option("--line", options->line, "Line device number (default 0)");
  call->add_option("--play", options->play, "WAVE file to play once the call is answered");
  call->add_flag("--fast", options->fast, "Run on the manual clock (simulated lines only)");
  call->add_option("--hold", options->hold_seconds,
                   "Seconds to stay connected when nothing is played (default 10)")
      ->check(CLI::Range(0.0, 3600.0));
  call->add_option("--transfer-to", options->transfer_to,
                   "Once answered, hand the call over to this number");
  call->add_option("--after", options->transfer_after,
                   "Seconds after the answer before the hand-over (default 2)")
      ->check(CLI::Range(0.0, 3600.0));
  call->add_flag("--consult", options->consult,
                 "Call the new number first and complete the transfer once it answers");
}

}  // namespace orvexa::cli
