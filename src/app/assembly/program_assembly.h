// The running program, put together in one place from the program folder: the loop on its
// clock, the audio service with the machine's sound devices, the line service with one provider
// per kind of line in orvexa.toml, and the per-user settings. The window, the headless runner
// and every subcommand start from here, so they all see the same devices and lines.
//
//   ProgramAssembly program(folder, {}, [&](const std::string& e) { err << e << '\n'; });
//   if (program.config_refused()) return 1;      // headless: the file as a whole is wrong
//   KDPhone phone(program.loop(), program.lines());
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/assembly/line_configuration.h"
#include "app/assembly/line_kinds.h"
#include "platform/audio/audio_service.h"
#include "platform/audio/system_devices.h"
#include "platform/audio/virtual_device.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/settings/settings_store.h"
#include "platform/telephony/line_service.h"

namespace orvexa::telephony {
class SimProvider;
}

namespace orvexa::assembly {

enum class ClockKind { Steady, Manual };
// System: the machine's devices through PortAudio (none without a sound card). Virtual: one
// speaker and one microphone (a steady 440 Hz tone) on the loop's clock, in their place.
enum class SoundDevices { System, Virtual };

struct AssemblyOptions {
  ClockKind clock = ClockKind::Steady;
  SoundDevices sound = SoundDevices::System;
  // Empty: the user's configuration folder; the store then lives in memory when unset there.
  std::optional<std::filesystem::path> settings_file;
  std::vector<LineKindEntry> kinds = standard_line_kinds();
  // Benchmarks: handed to the sip lines' provider (its on_send_spacing); unset, nothing changes.
  SendSpacingHook sip_send_spacing;
};

using ErrorSink = std::function<void(const std::string&)>;

class ProgramAssembly {
 public:
  ProgramAssembly(const std::filesystem::path& program_folder, AssemblyOptions options,
                  const ErrorSink& errors);
  ~ProgramAssembly();
  ProgramAssembly(const ProgramAssembly&) = delete;
  ProgramAssembly& operator=(const ProgramAssembly&) = delete;

  // orvexa.toml was wrong as a whole; one default simulated line stands in for its lines.
  bool config_refused() const { return config_refused_; }
  const LineConfiguration& configuration() const { return config_; }
  // Everything reported to the error sink, in order.
  const std::vector<std::string>& problems() const { return problems_; }

  messaging::Clock& clock() { return *clock_; }
  messaging::ManualClock* manual_clock() { return manual_; }  // null on the steady clock
  messaging::Loop& loop() { return *loop_; }
  audio::AudioService& audio() { return *audio_; }
  telephony::LineService& lines() { return *lines_; }
  settings::SettingsStore& settings() { return settings_; }
  // The simulated lines' provider, when there are simulated lines.
  telephony::SimProvider* sim();
  // The kind's name ("sim", "sip") and state column of a line device; "" / "-" when unknown.
  std::string device_kind(std::size_t device) const;
  std::string device_state(std::size_t device) const;
  void settle(std::size_t device, messaging::Duration limit);
  // Why there are no system devices (PortAudio did not start); empty otherwise.
  std::string sound_problem() const;
  audio::VirtualCaptureDevice* virtual_microphone() { return microphone_.get(); }
  audio::VirtualPlaybackDevice* virtual_speaker() { return speaker_.get(); }

 private:
  struct MadeKind {
    std::string kind;
    std::unique_ptr<LineKind> lines;
  };
  void add_sound_devices(SoundDevices sound);
  void add_lines(const AssemblyOptions& options, const ErrorSink& errors);
  const MadeKind* kind_of(std::size_t device, std::size_t& own_index) const;

  LineConfiguration config_;
  bool config_refused_ = false;
  std::vector<std::string> problems_;
  messaging::ManualClock* manual_ = nullptr;  // set while clock_ is made
  std::unique_ptr<messaging::Clock> clock_;
  std::unique_ptr<audio::SystemAudio> system_;  // outlives the service, so PortAudio ends last
  std::unique_ptr<messaging::Loop> loop_;
  std::unique_ptr<audio::AudioService> audio_;
  std::shared_ptr<audio::VirtualPlaybackDevice> speaker_;
  std::shared_ptr<audio::VirtualCaptureDevice> microphone_;
  settings::SettingsStore settings_;
  std::vector<MadeKind> kinds_;
  std::unique_ptr<telephony::LineService> lines_;
};

}  // namespace orvexa::assembly
