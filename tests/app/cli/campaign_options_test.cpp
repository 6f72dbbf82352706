// Headless campaigns with their newer options, through the real components and calls.db: on 1,
// 2 and 7 channels of one simulated line each member reaches the outcome a one-channel run gives,
// exactly once, never in two calls at once, with its retries (too many channels are refused);
// the do-not-call list across two campaigns; calls that start only within the calling hours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/cli/headless_runner.h"
#include "app/records/calls_database.h"
#include "app/schedule/calling_hours.h"
#include "platform/host/host_services.h"
#include "simulated_campaign.h"

namespace orvexa::campaign {
namespace {

namespace fs = std::filesystem;

// The far ends of every kind on one line that carries seven calls at once.
void prepare_channels(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> members;
  for (int n = 100; n <= 900; n += 100) members.emplace_back(std::to_string(n), "");
  prepare(folder, members);
  std::string far_ends = kFarEnds;
  const std::string line = "ring_timeout = 20000\n";
  far_ends.insert(far_ends.find(line) + line.size(), "channels = 7\n");
  std::ofstream(folder / "orvexa.toml") << far_ends;
}

struct RunResult {
  int code = 0;
  std::string out, err;
  std::vector<records::AttemptRow> attempts;
};

RunResult run(const fs::path& folder, int channels, bool key2_dnc = false,
              std::optional<std::string> now = std::nullopt, bool retry_policy = false) {
  HeadlessOptions o;
  o.settings.key2_dnc = key2_dnc;
  o.settings.calling_hours = now.has_value();
  o.settings.retry_policy = retry_policy;
  o.choice = CampaignChoice::OneGroup;
  o.group = "G";
  o.fast = true;
  o.now = now.value_or("2026-12-09 10:30");
  o.settings.channels = channels;
  std::ostringstream out, err;
  host::RecordingShell shell;
  RunResult r;
  r.code = run_headless_campaign(folder, o, out, err, shell);
  r.out = out.str();
  r.err = err.str();
  auto db = records::CallsDatabase::open(folder / records::kCallsFile);
  if (db && !db->campaigns().empty()) r.attempts = db->attempts(db->campaigns().front().id);
  return r;
}

// Each number's outcomes in the order its calls were made.
std::map<std::string, std::vector<Outcome>> outcomes_of(const RunResult& r) {
  std::map<std::string, std::vector<Outcome>> by_number;
  for (const auto& a : r.attempts) by_number[a.number].push_back(a.outcome.value_or(Outcome::Interrupted));
  return by_number;
}

std::string summary_of(const std::string& out) {
  const auto at = out.find("attempts ");
  return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

TEST(ChannelsCampaign, EveryMemberGetsTheOutcomeOfAOneChannelRunOnce) {
  CampaignFolder one("orvexa-channels-1");
  prepare_channels(one.path);
  const RunResult base = run(one.path, 1);
  ASSERT_EQ(base.code, 0) << base.err;
  const auto expected = outcomes_of(base);
  ASSERT_EQ(expected.size(), 9u);
  EXPECT_EQ(expected.at("300"), (std::vector<Outcome>{Outcome::Busy, Outcome::Busy}));
  EXPECT_EQ(expected.at("200"), (std::vector<Outcome>{Outcome::NoKey, Outcome::NoKey}));

  for (const int channels : {2, 7}) {
    SCOPED_TRACE(channels);
    CampaignFolder f("orvexa-channels-" + std::to_string(channels));
    prepare_channels(f.path);
    const RunResult r = run(f.path, channels);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(outcomes_of(r), expected);
    EXPECT_EQ(summary_of(r.out), summary_of(base.out));
    std::map<std::string, std::int64_t> free_from;
    std::set<int> used;
    for (const auto& a : r.attempts) {
      ASSERT_TRUE(a.ended_ms.has_value());
      if (free_from.count(a.number)) {
        EXPECT_LE(free_from[a.number], a.dialled_ms) << a.number << " twice at once";
      }
      free_from[a.number] = *a.ended_ms;
      used.insert(a.channel);
    }
    EXPECT_EQ(static_cast<int>(used.size()), channels);
    EXPECT_EQ(*used.begin(), 1);
    // Calls overlap: the campaign takes less time than on one channel.
    EXPECT_LT(r.attempts.back().dialled_ms - r.attempts.front().dialled_ms,
              base.attempts.back().dialled_ms - base.attempts.front().dialled_ms);
  }
}

TEST(ChannelsCampaign, MoreChannelsThanTheLinesCarryAreRefused) {
  CampaignFolder f("orvexa-channels-8");
  prepare_channels(f.path);
  const RunResult r = run(f.path, 8);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--channels 8: the chosen lines carry 7 calls at once"), std::string::npos) << r.err;
  EXPECT_TRUE(r.attempts.empty());
}

// Through calls.db: 500 presses 2 in a campaign that lists such numbers; the next campaign, on
// several channels, records it as skipped and calls the others.
TEST(DoNotCallCampaign, KeyTwoInOneCampaignIsSkippedInTheNext) {
  CampaignFolder f("orvexa-dnc-campaign");
  prepare_channels(f.path);
  const RunResult first = run(f.path, 1, true);
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(outcomes_of(first).at("500"), std::vector<Outcome>{Outcome::Declined});
  const RunResult second = run(f.path, 3);
  ASSERT_EQ(second.code, 0) << second.err;
  auto db = records::CallsDatabase::open(f.path / records::kCallsFile);
  ASSERT_TRUE(db);
  const auto latest = db->attempts(db->campaigns().front().id);
  std::map<std::string, std::vector<Outcome>> outcomes;
  for (const auto& a : latest) outcomes[a.number].push_back(*a.outcome);
  EXPECT_EQ(outcomes.at("500"), std::vector<Outcome>{Outcome::SkippedDnc});
  EXPECT_EQ(outcomes.size(), 9u);
  EXPECT_NE(second.out.find("skipped-dnc 1"), std::string::npos) << second.out;
}

// Iran's zone without daylight saving, so the hours do not depend on the machine.
class CallingHoursCampaign : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
    ::setenv("TZ", "<+0330>-3:30", 1);
    ::tzset();
  }
  void TearDown() override {
    if (saved_) ::setenv("TZ", saved_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> saved_;
};

// Wednesday 2026-12-09 12:59 and Thursday 2026-12-10 11:59: the calls that do not fit before the
// window closes wait for Wednesday 16:00, and for Saturday 09:00 (never Thursday afternoon or
// Friday); none starts outside the office hours.
TEST_F(CallingHoursCampaign, NoCallStartsOutsideTheHours) {
  struct Case {
    const char* now;
    const char* first_after_wait;
  };
  for (const Case c : {Case{"2026-12-09 12:59", "2026-12-09 16:00"}, Case{"2026-12-10 11:59", "2026-12-12 09:00"}}) {
    SCOPED_TRACE(c.now);
    CampaignFolder f("orvexa-hours");
    prepare_channels(f.path);
    const RunResult r = run(f.path, 1, false, std::string(c.now));
    ASSERT_EQ(r.code, 0) << r.err;
    const auto hours = schedule::CallingHours::office_defaults();
    const auto resumed = *parse_local_time(c.first_after_wait);
    const auto ms = [](messaging::WallTime t) {
      return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    };
    bool waited = false;
    for (const auto& a : r.attempts) {
      const messaging::WallTime at{std::chrono::milliseconds(a.dialled_ms)};
      EXPECT_TRUE(hours.open_at(at)) << a.number << " at " << a.dialled_ms;
      waited = waited || a.dialled_ms == ms(resumed);
    }
    EXPECT_TRUE(waited) << "no call at " << c.first_after_wait;
    EXPECT_EQ(r.attempts.size(), 11u);
    EXPECT_NE(r.out.find("خارج از ساعات تماس"), std::string::npos);
  }
}

// Thursday 1404/12/28 after the hours: Friday, 29 Esfand and Nowruz (1-4 Farvardin) are closed,
// so the campaign waits for Wednesday 1405/01/05 09:00 and says so.
TEST_F(CallingHoursCampaign, ACampaignWaitsOverNowruz) {
  CampaignFolder f("orvexa-nowruz");
  prepare_channels(f.path);
  const RunResult r = run(f.path, 1, false, std::string("2026-03-19 12:55"));
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_FALSE(r.attempts.empty());
  const auto opens = std::chrono::duration_cast<std::chrono::milliseconds>(
                         parse_local_time("2026-03-25 09:00")->time_since_epoch()).count();
  EXPECT_EQ(r.attempts.front().dialled_ms, opens);
  EXPECT_NE(r.out.find("1405/01/05 09:00"), std::string::npos) << r.out.substr(0, 400);
}

// Retries by outcome (the default policy) within the hours: busy at Wednesday 12:50 is called
// again at 16:00, busy at Thursday 11:55 on Saturday from 09:00 (never Thursday afternoon or
// Friday); each number gets the calls its outcomes allow, every one within the hours.
TEST_F(CallingHoursCampaign, RetriesByOutcomeWaitForTheirTimeWithinTheHours) {
  struct Case {
    const char* now;
    const char* busy_retry;  // the window the busy member's second call falls in
    int channels;
  };
  for (const Case c : {Case{"2026-12-09 12:50", "2026-12-09 16:00", 1}, Case{"2026-12-10 11:55", "2026-12-12 09:00", 1},
                       Case{"2026-12-10 11:55", "2026-12-12 09:00", 3}}) {
    SCOPED_TRACE(c.now);
    CampaignFolder f("orvexa-retry-policy");
    prepare_channels(f.path);
    const RunResult r = run(f.path, c.channels, false, std::string(c.now), true);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto hours = schedule::CallingHours::office_defaults();
    std::map<std::string, std::vector<std::int64_t>> dialled;
    for (const auto& a : r.attempts) {
      EXPECT_TRUE(hours.open_at(messaging::WallTime{std::chrono::milliseconds(a.dialled_ms)})) << a.number;
      dialled[a.number].push_back(a.dialled_ms);
    }
    const std::map<std::string, std::size_t> calls{{"100", 1}, {"200", 2}, {"300", 3}, {"400", 1}, {"500", 1},
                                                   {"600", 1}, {"700", 3}, {"800", 1}, {"900", 2}};
    for (const auto& [number, n] : calls) EXPECT_EQ(dialled[number].size(), n) << number;
    const auto window = std::chrono::duration_cast<std::chrono::milliseconds>(
                            parse_local_time(c.busy_retry)->time_since_epoch()).count();
    ASSERT_GE(dialled["300"].size(), 2u);
    EXPECT_GE(dialled["300"][1], window);
    EXPECT_LT(dialled["300"][1], window + 5 * 60 * 1000);
    EXPECT_NE(r.out.find("انتظار براي تماس مجدد"), std::string::npos);
  }
}

TEST(ChannelsCampaign, ChosenLinesMustExistOnce) {
  struct Case {
    std::vector<int> lines;
    std::string problem;
  };
  for (const auto& c : {Case{{0, 2}, ""}, Case{{}, ""}, Case{{0, 3}, "there is no line 3 (lines 0 to 2)"},
                        Case{{1, 0, 1}, "line 1 is named twice"}}) {
    EXPECT_EQ(chosen_lines_problem(c.lines, 3), c.problem);
  }
}

}  // namespace
}  // namespace orvexa::campaign
