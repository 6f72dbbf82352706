// Fakes of the line, the voice device, the member tables and the window for campaign tests, all
// on the loop's manual clock. The far end of each number follows a small script.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/campaign/call_record.h"
#include "app/campaign/campaign_engine.h"
#include "app/campaign/message_preparation.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/hidden_window.h"
#include "platform/messaging/loop.h"

namespace orvexa::campaign::testing {

using namespace std::chrono_literals;

// Runs functions after a delay on the loop (one-shot timers of a hidden window).
class Scheduler {
 public:
  explicit Scheduler(messaging::Loop& loop)
      : window_(loop, [this](messaging::UINT m, messaging::WPARAM id, messaging::LPARAM) {
          if (m != messaging::WM_TIMER) return messaging::LRESULT{0};
          window_.kill_timer(id);
          auto it = jobs_.find(id);
          if (it == jobs_.end()) return messaging::LRESULT{0};
          auto job = std::move(it->second);
          jobs_.erase(it);
          job();
          return messaging::LRESULT{0};
        }) {}
  std::uintptr_t after(std::chrono::milliseconds delay, std::function<void()> job) {
    const auto id = next_id_++;
    jobs_[id] = std::move(job);
    window_.set_timer(id, std::max(delay, messaging::kMinimumTimerInterval));
    return id;
  }
  void cancel(std::uintptr_t id) {
    window_.kill_timer(id);
    jobs_.erase(id);
  }

 private:
  messaging::FunctionWindow window_;
  std::map<std::uintptr_t, std::function<void()>> jobs_;
  std::uintptr_t next_id_ = 1;
};

// What a far end does with one call (each attempt of a number takes the next script).
struct FarEnd {
  enum Kind { Answer, Busy, NoAnswer, DialFails, HangsUpAfter, GoesIdle } kind = Answer;
  char key = 0;                            // pressed after `key_after` from the answer
  std::chrono::milliseconds key_after = 4000ms;
  std::chrono::milliseconds after = 0ms;   // HangsUpAfter / GoesIdle: from the answer
};

class FakeLine final : public LinePort {
 public:
  FakeLine(messaging::Loop& loop, Scheduler& scheduler) : loop_(loop), scheduler_(scheduler) {}
  void bind(CallFlow& flow) { flow_ = &flow; }

  // Scripts per number, consumed one per dial; the last one repeats. Channels of one campaign
  // share one set (`shared`).
  std::map<std::string, std::vector<FarEnd>> scripts;
  std::map<std::string, std::vector<FarEnd>>* shared = nullptr;
  std::vector<std::string> dialled;
  std::vector<messaging::TimePoint> dialled_at;
  int refuse_with = 0;      // every dial fails with this error (106: the line is full)
  int refusals_left = -1;   // how many dials refuse_with applies to; -1: all
  int hangups = 0;
  bool in_call = false;
  std::string current;

  int dial(const std::string& number) override {
    if (refuse_with != 0 && refusals_left != 0) {
      if (refusals_left > 0) --refusals_left;
      return refuse_with;
    }
    dialled.push_back(number);
    dialled_at.push_back(loop_.now());
    FarEnd script = next_script(number);
    if (script.kind == FarEnd::DialFails) return -1;
    in_call = true;
    current = number;
    const int generation = ++generation_;
    scheduler_.after(10ms, [this, generation] {
      if (live(generation)) flow_->on_call_state(CallEvent::Dialing);
    });
    switch (script.kind) {
      case FarEnd::Busy:
        scheduler_.after(1000ms, [this, generation] {
          if (!live(generation)) return;
          flow_->on_call_state(CallEvent::Busy);
          hangup();  // the component's own AutoDisconnect
        });
        break;
      case FarEnd::NoAnswer:
        scheduler_.after(30000ms, [this, generation] {
          if (live(generation)) go_idle();
        });
        break;
      default:
        scheduler_.after(2000ms, [this, generation, script] { answered(generation, script); });
        break;
    }
    return 0;
  }

  // A ring from outside while the line is idle.
  void incoming() {
    in_call = true;
    current = "incoming";
    ++generation_;
    flow_->on_call_state(CallEvent::Ring);
  }

  void hangup() override {
    ++hangups;
    if (!in_call) return;
    flow_->on_before_disconnect();
    in_call = false;
    const int generation = ++generation_;
    loop_.post([this, generation] {
      if (generation == generation_) flow_->on_call_state(CallEvent::Disconnected);
    });
  }
  void answer() override {
    const int generation = generation_;
    loop_.post([this, generation] {
      if (live(generation)) flow_->on_call_state(CallEvent::Connected);
    });
  }
  int wave_play_id() override { return 7; }
  int active = 0;
  int activate_result = 0;
  int activate(int device) override {
    active = activate_result == 0 ? device : -1;
    return activate_result;
  }
  int active_device() const override { return active; }
  int number_of_lines() override { return 3; }
  std::string line_name(int device) override { return "Line " + std::to_string(device); }
  int line_caps(int device, int& caps) override {
    caps = device == 1 ? (32 | 1) : 0x37;
    return device == 2 ? 5 : 0;
  }
  int channels_per_line = 1;
  int channels(int) override { return channels_per_line; }
  bool refused_for_capacity(int error) const override { return error == 106; }

 private:
  bool live(int generation) const { return in_call && generation == generation_; }
  FarEnd next_script(const std::string& number) {
    auto& all = shared ? *shared : scripts;
    auto it = all.find(number);
    if (it == all.end() || it->second.empty()) return {};
    FarEnd s = it->second.front();
    if (it->second.size() > 1) it->second.erase(it->second.begin());
    return s;
  }
  void go_idle() {
    in_call = false;
    ++generation_;
    flow_->on_call_state(CallEvent::Disconnected);
  }
  void answered(int generation, const FarEnd& script) {
    if (!live(generation)) return;
    flow_->on_call_state(CallEvent::Connected);
    if (script.key) {
      scheduler_.after(script.key_after, [this, generation, script] {
        if (live(generation)) flow_->on_digit(script.key);
      });
    }
    if (script.kind == FarEnd::HangsUpAfter) {
      scheduler_.after(script.after, [this, generation] {
        if (!live(generation)) return;
        flow_->on_call_state(CallEvent::RemoteDisconnected);
        hangup();
      });
    }
    if (script.kind == FarEnd::GoesIdle) {
      scheduler_.after(script.after, [this, generation] {
        if (live(generation)) go_idle();
      });
    }
  }

  messaging::Loop& loop_;
  Scheduler& scheduler_;
  CallFlow* flow_ = nullptr;
  int generation_ = 0;
};

class FakeVoice final : public VoicePort {
 public:
  FakeVoice(Scheduler& scheduler, const FakeLine& line) : scheduler_(scheduler), line_(line) {}
  void bind(CallFlow& flow) { flow_ = &flow; }

  struct Play {
    int device;
    std::string file;
    std::string heard_by;  // the number on the line when it started
  };
  std::vector<Play> plays;
  std::set<std::string> unplayable;
  std::chrono::milliseconds length = 5000ms;
  bool playing = false;
  int rec_result = 0;
  std::vector<std::string> recordings;

  int play(int device, const std::string& file) override {
    if (unplayable.count(file) || playing) return 3;
    plays.push_back({device, file, line_.in_call ? line_.current : std::string()});
    playing = true;
    report(SoundEvent::PlayBegin);
    done_ = scheduler_.after(length, [this] {
      playing = false;
      report(SoundEvent::PlayDone);
    });
    return 0;
  }
  void play_stop() override {
    if (!playing) return;
    scheduler_.cancel(done_);
    playing = false;
    report(SoundEvent::PlayDone);
  }
  MessagePreparation* prep = nullptr;
  bool recording = false;
  int rec(int, const std::string& file) override {
    if (rec_result != 0 || recording) return rec_result ? rec_result : 3;
    recordings.push_back(file);
    recording = true;
    report(SoundEvent::RecBegin);
    return 0;
  }
  void rec_stop() override {
    if (!recording) return;
    recording = false;
    report(SoundEvent::RecDone);
  }
  void report(SoundEvent e) {
    flow_->on_sound_state(e, 5);
    if (prep) prep->on_sound_state(e);
  }
  std::string error_text(int error) override { return "wave error " + std::to_string(error); }
  bool only_line_audio = false;  // the machine has no capture device of its own
  std::optional<int> message_capture_device(int device) override {
    if (only_line_audio) return std::nullopt;
    return device;
  }

  int heard(const std::string& number, const std::string& file) const {
    int n = 0;
    for (const auto& p : plays) n += (p.heard_by == number && p.file == file);
    return n;
  }

 private:
  Scheduler& scheduler_;
  const FakeLine& line_;
  CallFlow* flow_ = nullptr;
  std::uintptr_t done_ = 0;
};

// Member tables by gcode; a member matches a birthday filter on its "MM/DD".
class FakeMembers final : public MemberSource {
 public:
  struct Member {
    std::string num;
    std::string birthday;
  };
  std::vector<GroupRow> group_rows;
  std::map<std::string, std::vector<Member>> tables;
  std::set<std::string> broken;
  std::optional<std::string> filter_date;

  std::vector<GroupRow> groups() override { return group_rows; }
  std::optional<std::vector<MemberToCall>> open_members(const std::string& gcode,
                                                        std::string& error) override {
    if (broken.count(gcode) || !tables.count(gcode)) {
      error = "no such table: " + gcode;
      return std::nullopt;
    }
    std::vector<MemberToCall> to_call;
    for (const auto& m : tables[gcode]) {
      if (!filter_date || m.birthday == *filter_date) to_call.push_back({std::nullopt, "", "", m.num});
    }
    return to_call;
  }
  bool set_filter(const DateFilterRequest& f) override {
    if (f.month.size() != 2 || f.day.size() != 2 || f.month > "12" || f.month == "00") return false;
    filter_date = f.month + "/" + f.day;
    return true;
  }
  void clear_filter() override { filter_date.reset(); }
};

class RecordingDialogs final : public OperatorDialogs {
 public:
  std::vector<std::string> boxes;
  std::vector<std::string> errors;
  void message_box(std::string_view text) override { boxes.emplace_back(text); }
  void error_box(std::string_view text) override { errors.emplace_back(text); }
};

class RecordingView final : public CampaignView {
 public:
  explicit RecordingView(std::vector<std::string>& events) : events_(events) {}
  bool running = false;
  bool activity = false;
  std::string b1, b2, b3, num;
  int gauge_max = 0, gauge = 0;
  void show_activity(bool on) override { activity = on; }
  void set_running(bool on) override { running = on; }
  void set_labels(const std::string& l1, const std::string& l2, const std::string& l3) override {
    b1 = l1;
    b2 = l2;
    b3 = l3;
  }
  void set_gauge(int m, int p) override {
    gauge_max = m;
    gauge = p;
  }
  void set_number(const std::string& n) override { num = n; }
  std::string solar_date_text() override { return "1405/09/18"; }
  std::string time_text() override { return "10:30"; }
  void close_main_window() override { events_.push_back("close"); }

 private:
  std::vector<std::string>& events_;
};

class OrderedShell final : public host::Shell {
 public:
  explicit OrderedShell(std::vector<std::string>& events) : events_(events) {}
  bool power_off() override {
    events_.push_back("power-off");
    return true;
  }

 private:
  std::vector<std::string>& events_;
};

// Everything a campaign test needs, wired together.
// Keeps what the engine records; refuses from the `refuse_at`th write on, as a full disk would.
class RecordingRecorder final : public CampaignRecorder {
 public:
  std::vector<CampaignMember> members;
  std::vector<AttemptStart> starts;
  std::vector<std::pair<AttemptEnd, MemberProgress>> ends;
  std::optional<CampaignState> finished;
  int refuse_at = 0;  // 0: never

  bool begin(const CampaignDescription&, const std::vector<CampaignMember>& m) override {
    members = m;
    return accept();
  }
  bool attempt_started(const AttemptStart& s) override {
    starts.push_back(s);
    return accept();
  }
  bool attempt_ended(const AttemptEnd& e, MemberProgress p) override {
    ends.emplace_back(e, p);
    return accept();
  }
  void attempt_withdrawn(int channel) override { withdrawn.push_back(channel); }
  void finish(CampaignState state) override { finished = state; }
  std::vector<int> withdrawn;
  std::string problem() const override { return "disk full"; }

 private:
  bool accept() { return refuse_at == 0 || ++writes_ < refuse_at; }
  int writes_ = 0;
};

// The channels beyond the rig's own line: fake lines that share the rig's far-end scripts.
class FakeChannels final : public ChannelSource {
 public:
  FakeChannels(messaging::Loop& loop, Scheduler& scheduler, FakeLine& first)
      : loop_(loop), scheduler_(scheduler), first_(first) {}
  int offer = 8;
  struct Pair {
    std::unique_ptr<FakeLine> line;
    std::unique_ptr<FakeVoice> voice;
  };
  std::vector<Pair> opened;
  int closes = 0;
  // Channel number -> the error every dial of its line fails with, and for how many dials.
  std::map<int, std::pair<int, int>> refusing;

  int offered() override { return offer; }
  std::vector<ChannelPorts> open(int count, std::string&) override {
    close();
    std::vector<ChannelPorts> ports;
    for (int i = 1; i < count; ++i) {
      Pair p{std::make_unique<FakeLine>(loop_, scheduler_), nullptr};
      p.voice = std::make_unique<FakeVoice>(scheduler_, *p.line);
      p.line->shared = &first_.scripts;
      p.line->active = first_.active;
      if (auto r = refusing.find(i + 1); r != refusing.end()) {
        p.line->refuse_with = r->second.first;
        p.line->refusals_left = r->second.second;
      }
      ports.push_back({p.line.get(), p.voice.get()});
      opened.push_back(std::move(p));
    }
    return ports;
  }
  void bind(std::size_t index, CallFlow& flow) override {
    opened[index - 1].line->bind(flow);
    opened[index - 1].voice->bind(flow);
  }
  void close() override {
    if (!opened.empty()) ++closes;
    opened.clear();
  }
  FakeLine& line(std::size_t channel) { return channel == 1 ? first_ : *opened[channel - 2].line; }

 private:
  messaging::Loop& loop_;
  Scheduler& scheduler_;
  FakeLine& first_;
};

// The do-not-call list as a set of numbers, compared as written.
class FakeDnc final : public DoNotCall {
 public:
  std::set<std::string> numbers;
  bool listed(const std::string& number) override { return numbers.count(number) > 0; }
  bool add(const std::string& number, std::string_view) override { return numbers.insert(number).second; }
};

struct Rig {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  Scheduler scheduler{loop};
  FakeLine line{loop, scheduler};
  FakeVoice voice{scheduler, line};
  FakeMembers members;
  StatusLog log;
  std::vector<std::string> events;
  RecordingView view{events};
  RecordingDialogs dialogs;
  OrderedShell shell{events};
  PreCallSettings settings;
  MessagePaths paths{"/p/First.wav", "/p/Orginal.wav"};
  RecordingRecorder recorder;
  FakeChannels channels{loop, scheduler, line};
  FakeDnc dnc;
  CampaignEngine engine{loop, {line, voice, members, log, view, dialogs, shell, settings, paths, &recorder,
                               &channels, &dnc}};
  bool ended = false;

  Rig() {
    line.bind(engine.call_flow());
    voice.bind(engine.call_flow());
    engine.on_operation_ended([this] { ended = true; });
  }
  // Runs the loop until the operation has ended (or an hour of manual time has gone).
  bool run_to_end() { return loop.run_until([this] { return ended; }, std::chrono::hours(1)); }
  void add_group(const std::string& name, const std::string& code,
                 std::vector<FakeMembers::Member> ms) {
    members.group_rows.push_back({name, code});
    members.tables[code] = std::move(ms);
  }
};

}  // namespace orvexa::campaign::testing
