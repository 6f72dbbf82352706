#include "app/cli/headless_runner.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <ostream>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/adapters/channel_lines.h"
#include "app/campaign/adapters/phone_line.h"
#include "app/campaign/adapters/voice_device.h"
#include "app/campaign/adapters/contact_member_source.h"
#include "app/campaign/message_preparation.h"
#include "app/data/contact_store.h"
#include "app/data/solar_date.h"
#include "app/assembly/program_assembly.h"
#include "app/cli/run_records.h"
#include "app/cli/stream_dialogs.h"
#include "app/schedule/hours_window.h"
#include "app/schedule/retry_planner.h"
#include "app/schedule/schedule_config.h"

namespace orvexa::campaign {

namespace {

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// The window's status bar, as text from the loop's calendar time.
class StreamView final : public CampaignView {
 public:
  explicit StreamView(const messaging::Clock& clock) : clock_(clock) {}
  std::string solar_date_text() override { return data::solar_on(clock_.wall_now()).text(); }
  std::string time_text() override {
    const std::time_t t = std::chrono::system_clock::to_time_t(clock_.wall_now());
    std::tm local{};
    localtime_r(&t, &local);
    return two(local.tm_hour) + ":" + two(local.tm_min);
  }
  // As the window's close does: the report goes to disk before anything else happens.
  void close_main_window() override {
    if (on_close) on_close();
    closed = true;
  }
  std::function<void()> on_close;
  bool closed = false;

 private:
  const messaging::Clock& clock_;
};

}  // namespace

std::string outcome_line(std::int64_t campaign, const std::map<Outcome, int>& counts) {
  std::string line = "campaign " + std::to_string(campaign) + ":";
  bool first = true;
  for (const Outcome o : kAllOutcomes) {
    const auto it = counts.find(o);
    if (it == counts.end() || it->second == 0) continue;
    line += (first ? " " : ", ") + std::string(outcome_token(o)) + " " + std::to_string(it->second);
    first = false;
  }
  return first ? line + " no calls" : line;
}

std::optional<messaging::WallTime> parse_local_time(const std::string& text) {
  std::tm tm{};
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d%c", &y, &mo, &d, &h, &mi, &tail) != 5) return std::nullopt;
  const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(mo)),
                                        std::chrono::day(static_cast<unsigned>(d))};
  if (!day.ok() || h < 0 || h > 23 || mi < 0 || mi > 59) return std::nullopt;
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::string chosen_lines_problem(const std::vector<int>& lines, int line_count) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] < 0 || lines[i] >= line_count)
      return "there is no line " + std::to_string(lines[i]) + " (lines 0 to " + std::to_string(line_count - 1) + ")";
    if (std::find(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i), lines[i]) != lines.begin() + static_cast<std::ptrdiff_t>(i))
      return "line " + std::to_string(lines[i]) + " is named twice";
  }
  return {};
}

std::string summary_line(const CallTally& t) {
  return "attempts " + std::to_string(t.attempts) + ", answered " + std::to_string(t.answered) +
         ", key 1 " + std::to_string(t.key1) + ", key 2 " + std::to_string(t.key2) + ", busy " +
         std::to_string(t.busy) + ", unanswered " + std::to_string(t.unanswered) + ", failed " +
         std::to_string(t.failed);
}

int run_headless_campaign(const std::filesystem::path& folder, const HeadlessOptions& options,
                          std::ostream& out, std::ostream& err, host::Shell& shell) {
  assembly::AssemblyOptions assembly_options;
  assembly_options.clock = options.fast ? assembly::ClockKind::Manual : assembly::ClockKind::Steady;
  assembly_options.sip_send_spacing = options.sip_send_spacing;
  assembly::ProgramAssembly rig(folder, std::move(assembly_options),
                                [&err](const std::string& e) { err << e << '\n'; });
  if (rig.config_refused()) return 1;
  if (options.now) {
    auto start = parse_local_time(*options.now);
    if (!start) {
      err << "--now: expected \"YYYY-MM-DD HH:MM\"\n";
      return 1;
    }
    if (!rig.manual_clock()) {
      err << "--now needs --fast\n";
      return 1;
    }
    rig.manual_clock()->step_wall(*start - rig.clock().wall_now());
  }
  data::ContactStore store(folder);
  if (auto opened = store.open(); !opened.ok) {
    err << opened.message << '\n';
    return 1;
  }
  RunRecords records;
  if (!records.open(folder, options, rig.clock(), err)) return 1;

  host::NoBusyIndicator busy;
  host::StreamMessageBox component_box(err);
  PhoneLine line(rig.loop(), rig.lines(), busy);
  VoiceDevice voice_port(rig.loop(), rig.audio(), busy, component_box, &rig.settings());
  ContactMemberSource members(store, rig.clock());
  StatusLog log;
  log.on_append([&out](const std::string& l) { out << l << '\n' << std::flush; });
  const std::vector<int> chosen = options.lines.empty() ? std::vector<int>{options.line} : options.lines;
  ChannelLines channel_lines({rig.loop(), rig.lines(), rig.audio(), busy, component_box, &rig.settings()},
                             line, chosen);
  StreamView view(rig.clock());
  auto write_reports = [&] {
    std::vector<std::filesystem::path> files{folder / kLastReportFile};
    if (options.log_file) files.emplace_back(*options.log_file);
    for (const auto& file : files) {
      if (auto error = save_log_file(file, log.lines())) err << file.string() << ": " << error.message() << '\n';
    }
  };
  view.on_close = write_reports;
  cli::StreamDialogs dialogs(err);
  MessagePaths paths;
  PreCallSettings settings = options.settings;
  std::optional<schedule::HoursWindow> hours;
  std::optional<schedule::PolicyPlanner> retries;
  if (options.settings.calling_hours || options.settings.retry_policy) {
    auto read = schedule::read_schedule_config(*rig.configuration().root);
    if (!read.error.empty()) {
      err << rig.configuration().file.string() << ": " << read.error << '\n';
      return 1;
    }
    // Without calling hours a retry waits its delay alone.
    hours.emplace(options.settings.calling_hours ? std::move(read.config.hours)
                                                 : schedule::CallingHours::always_open(),
                  rig.clock().wall_now(), records.holiday_changes());
    retries.emplace(std::move(read.config.retry), hours->hours());
  }
  CampaignEngine engine(rig.loop(), {line, voice_port, members, log, view, dialogs, shell, settings, paths,
                                     records.recorder(), &channel_lines, records.dnc(),
                                     hours ? &*hours : nullptr, retries ? &*retries : nullptr});
  MessagePreparation prep(voice_port, engine.call_flow(), log, dialogs, paths, folder);
  prep.fill_paths_from_folder();
  if (options.opening) paths.opening = *options.opening;
  if (options.main) paths.main = *options.main;
  std::optional<ResumeRequest> resumed;
  if (options.resume && !(resumed = records.resume(options, paths, settings, err))) return 1;
  CallFlow& flow = engine.call_flow();
  line.bind({[&](CallEvent e) { flow.on_call_state(e); }, [&] { flow.on_before_disconnect(); },
             [&](char d) { flow.on_digit(d); }});
  voice_port.bind([&](SoundEvent s, int e) { flow.on_sound_state(s, e); });
  // The components outlive the engine here: their last events must find nobody.
  struct Unbind {
    PhoneLine& line;
    VoiceDevice& voice;
    ~Unbind() {
      line.bind({});
      voice.bind({});
    }
  } unbind{line, voice_port};

  if (line.activate(chosen.front()) != 0) {
    dialogs.message_box(text::kLineActivationBox);
    log.append(text::kLineActivationLog);
  }
  if (const std::string problem = chosen_lines_problem(options.lines, line.number_of_lines()); !problem.empty()) {
    err << "--lines: " << problem << '\n';
    return 1;
  }
  if (const int offered = channel_lines.offered(); settings.channels > offered) {
    err << "--channels " << settings.channels << ": the chosen lines carry " << offered << " calls at once\n";
    return 1;
  }
  bool ended = false;
  engine.on_operation_ended([&] { ended = true; });
  CampaignRequest request{options.choice, options.number, options.group, options.filter};
  const bool started =
      (resumed ? engine.resume(*resumed) : engine.start(request)) == StartResult::Started;
  if (started) {
    const bool power_off = settings.shutdown && !engine.paused();
    auto finished = [&] { return ended && (!power_off || view.closed); };
    // A manual clock jumps between deadlines; a real one is bounded by the calls themselves.
    const auto limit = options.fast ? std::chrono::hours(24 * 365) : std::chrono::hours(24 * 30);
    rig.loop().run_until(finished, limit);
    if (!finished()) err << "the campaign did not end\n";
  }
  line.hangup();
  if (!view.closed) write_reports();
  if (!started) return 1;
  out << summary_line(engine.tally()) << '\n';
  const bool placed = records.report(folder / kLastReportFile, out);
  return ended && !engine.paused() && placed ? 0 : 1;
}

}  // namespace orvexa::campaign
