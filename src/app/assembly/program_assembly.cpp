#include "app/assembly/program_assembly.h"

#include <algorithm>

#include "platform/host/program_folder.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::assembly {

namespace {

std::unique_ptr<messaging::Clock> make_clock(ClockKind kind, messaging::ManualClock*& manual) {
  if (kind == ClockKind::Steady) return std::make_unique<messaging::SteadyClock>();
  auto clock = std::make_unique<messaging::ManualClock>();
  manual = clock.get();
  return clock;
}

settings::SettingsStore make_settings(const std::optional<std::filesystem::path>& file) {
  if (file) return file->empty() ? settings::SettingsStore() : settings::SettingsStore(*file);
  const std::filesystem::path folder = host::user_config_folder();
  if (folder.empty()) return settings::SettingsStore();
  return settings::SettingsStore(folder / "settings.toml");
}

}  // namespace

ProgramAssembly::ProgramAssembly(const std::filesystem::path& program_folder,
                                 AssemblyOptions options, const ErrorSink& errors)
    : config_(read_line_configuration(program_folder)),
      clock_(make_clock(options.clock, manual_)),
      settings_(make_settings(options.settings_file)) {
  if (options.sound == SoundDevices::System) system_ = std::make_unique<audio::SystemAudio>();
  loop_ = std::make_unique<messaging::Loop>(*clock_);
  audio_ = std::make_unique<audio::AudioService>(*loop_);
  add_sound_devices(options.sound);
  lines_ = std::make_unique<telephony::LineService>(*loop_);
  add_lines(options, errors);
}

// The service closes its lines at the providers before they and the audio go; the virtual devices
// are windows of the loop, so they go before it.
ProgramAssembly::~ProgramAssembly() {
  lines_.reset();
  kinds_.clear();
  audio_.reset();
  speaker_.reset();
  microphone_.reset();
  loop_.reset();
}

void ProgramAssembly::add_sound_devices(SoundDevices sound) {
  if (sound == SoundDevices::System) {
    system_->add_devices(*audio_, *loop_);
    return;
  }
  speaker_ = std::make_shared<audio::VirtualPlaybackDevice>(*loop_, u"Virtual Speakers");
  speaker_->keep_heard(false);
  microphone_ = std::make_shared<audio::VirtualCaptureDevice>(*loop_, u"Virtual Microphone");
  microphone_->set_tone(440, 8000);
  audio_->add_playback_device(speaker_);
  audio_->add_capture_device(microphone_);
}

void ProgramAssembly::add_lines(const AssemblyOptions& options, const ErrorSink& errors) {
  const std::vector<LineKindEntry>& kinds = options.kinds;
  auto report = [&](const std::string& e) {
    problems_.push_back(e);
    if (errors) errors(e);
  };
  const LineKindContext context{*loop_, *audio_, config_, manual_ == nullptr, options.sip_send_spacing};
  if (!config_.file_error.empty()) {
    report(config_.file_error);
    config_refused_ = true;
    kinds_.push_back({"sim", make_default_sim_lines(context).lines});
  } else {
    for (const auto& e : config_.line_errors) report(e.text);
    for (const auto& table : config_.tables) {
      const bool known = std::any_of(kinds.begin(), kinds.end(),
                                     [&](const LineKindEntry& k) { return k.kind == table.kind; });
      if (!known)
        report(config_.file.filename().string() + ": " + telephony::line_where(table) +
               ": unknown kind \"" + table.kind + "\"; this line is left out");
    }
    for (const LineKindEntry& entry : kinds) {
      MadeLines made = entry.make(context, config_.tables_of(entry.kind));
      for (const auto& e : made.line_errors) report(e);
      if (!made.file_error.empty()) {
        report(made.file_error);
        config_refused_ = true;
        if (entry.kind == "sim") made = make_default_sim_lines(context);
      }
      if (made.lines) kinds_.push_back({entry.kind, std::move(made.lines)});
    }
  }
  for (auto& made : kinds_) lines_->add_provider(made.lines->provider());
}

telephony::SimProvider* ProgramAssembly::sim() {
  for (auto& made : kinds_)
    if (auto* sim = dynamic_cast<telephony::SimProvider*>(&made.lines->provider())) return sim;
  return nullptr;
}

const ProgramAssembly::MadeKind* ProgramAssembly::kind_of(std::size_t device,
                                                          std::size_t& own_index) const {
  const auto found = lines_->provider_of(static_cast<telephony::DWORD>(device));
  if (!found) return nullptr;
  for (const auto& made : kinds_) {
    if (&made.lines->provider() == found->first) {
      own_index = found->second;
      return &made;
    }
  }
  return nullptr;
}

std::string ProgramAssembly::device_kind(std::size_t device) const {
  std::size_t own = 0;
  const MadeKind* made = kind_of(device, own);
  return made ? made->kind : "";
}

std::string ProgramAssembly::device_state(std::size_t device) const {
  std::size_t own = 0;
  const MadeKind* made = kind_of(device, own);
  return made ? made->lines->device_state(own) : "-";
}

void ProgramAssembly::settle(std::size_t device, messaging::Duration limit) {
  std::size_t own = 0;
  if (const MadeKind* made = kind_of(device, own)) made->lines->settle(*loop_, own, limit);
}

std::string ProgramAssembly::sound_problem() const {
  return system_ ? system_->problem() : std::string();
}

}  // namespace orvexa::assembly
