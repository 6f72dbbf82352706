// The headless campaign end to end: real line and voice components, the simulated lines of
// orvexa.toml, the contact database, on the manual clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/code_page_1256.h"
#include "app/cli/headless_runner.h"
#include "app/records/calls_database.h"
#include "simulated_campaign.h"

namespace orvexa::campaign {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

int count(const std::vector<std::string>& lines, std::string_view what) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), std::string(what)));
}

struct RunResult {
  int code = 0;
  std::vector<std::string> out;  // the status log and the summary
  std::vector<std::string> record;  // what follows: outcomes, where the log and report are
  std::string err;
};

RunResult run(const fs::path& folder, HeadlessOptions options) {
  options.fast = true;
  options.now = "2026-12-09 10:30";
  std::ostringstream out, err;
  host::RecordingShell shell;
  RunResult r;
  r.code = run_headless_campaign(folder, options, out, err, shell);
  r.out = lines_of(out.str());
  const auto summary = std::find_if(r.out.rbegin(), r.out.rend(),
                                    [](const std::string& l) { return l.starts_with("attempts "); });
  if (summary != r.out.rend()) {
    r.record.assign(summary.base(), r.out.end());
    r.out.erase(summary.base(), r.out.end());
  }
  r.err = err.str();
  return r;
}


TEST(HeadlessCampaign, GroupOfEveryOutcomeOnTheSimulatedLine) {
  CampaignFolder f("orvexa-headless");
  prepare(f.path, {{"100", ""}, {"200", ""}, {"300", ""}, {"400", ""}});
  HeadlessOptions o;
  o.choice = CampaignChoice::OneGroup;
  o.group = "G";
  o.settings.waiting_length = 2;
  const RunResult r = run(f.path, o);
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.front(), date_line("1405/09/18", "10:30"));
  EXPECT_EQ(count(r.out, text::kPlaybackRequested), 2);  // 100 and 400
  EXPECT_EQ(count(r.out, text::kNoResponse), 2);         // 200 and its retry
  EXPECT_EQ(count(r.out, text::kBusy), 2) << "busy, then busy again on the retry";
  EXPECT_EQ(count(r.out, text::kRetry), 2);
  EXPECT_EQ(count(r.out, text::kRemoteDisconnected), 1);  // 400 hangs up in the main message
  EXPECT_EQ(count(r.out, text::kDisconnected), 6);
  EXPECT_EQ(r.out[r.out.size() - 2], std::string(text::kEndOfOperation));
  EXPECT_EQ(r.out.back(), "attempts 6, answered 4, key 1 2, key 2 0, busy 2, unanswered 2, failed 0");
  ASSERT_EQ(r.record.size(), 3u);
  EXPECT_EQ(r.record[0], "campaign 1: heard-main 1, main-cut 1, no-key 2, busy 2");
  EXPECT_NE(r.err.find(std::string(text::kEndOfOperation)), std::string::npos);

  // The report reads back from code page 1256 as the lines printed (summary aside).
  std::error_code error;
  auto bytes = host::read_file(f.path / kLastReportFile, error);
  ASSERT_TRUE(bytes);
  EXPECT_FALSE(is_valid_utf8(*bytes));
  std::vector<std::string> printed(r.out.begin(), r.out.end() - 1);
  EXPECT_EQ(decode_log_file(*bytes), printed);
}

TEST(HeadlessCampaign, RefusalsAndTheDateFilter) {
  CampaignFolder f("orvexa-headless");
  prepare(f.path, {{"100", "02/03"}, {"200", "04/05"}});
  HeadlessOptions o;
  o.choice = CampaignChoice::OneGroup;
  o.group = "G";
  o.filter = DateFilterRequest{"birthday", "2", "3"};
  RunResult r = run(f.path, o);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(count(r.out, std::string(text::kCalleeNumber) + "100"), 1);
  EXPECT_EQ(count(r.out, std::string(text::kCalleeNumber) + "200"), 0);

  o.filter = DateFilterRequest{"birthday", "09", "09"};
  r = run(f.path, o);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(std::string(text::kEmptyGroup)), std::string::npos);
  o.filter = DateFilterRequest{"birthday", "13", "09"};
  r = run(f.path, o);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(std::string(text::kBadFilterDate)), std::string::npos);

  fs::remove(f.path / "Orginal.wav");
  o.filter.reset();
  r = run(f.path, o);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(std::string(text::kNoMainMessage)), std::string::npos);
}

// Powers nothing off; notes whether the report was on disk when asked.
class ReportCheckingShell final : public host::Shell {
 public:
  explicit ReportCheckingShell(fs::path report) : report_(std::move(report)) {}
  bool power_off() override {
    ++requests;
    report_present = fs::exists(report_);
    return true;
  }
  int requests = 0;
  bool report_present = false;

 private:
  fs::path report_;
};

TEST(HeadlessCampaign, ReportIsOnDiskBeforeThePowerOff) {
  CampaignFolder f("orvexa-headless");
  prepare(f.path, {});
  HeadlessOptions o;
  o.choice = CampaignChoice::OneNumber;
  o.number = "100";
  o.fast = true;
  o.settings.shutdown = true;
  std::ostringstream out, err;
  ReportCheckingShell shell(f.path / kLastReportFile);
  EXPECT_EQ(run_headless_campaign(f.path, o, out, err, shell), 0) << err.str();
  EXPECT_EQ(shell.requests, 1);
  EXPECT_TRUE(shell.report_present);
}

TEST(HeadlessCampaign, OneNumberWithWaitingLengthSevenAndNoRetry) {
  CampaignFolder f("orvexa-headless");
  prepare(f.path, {});
  HeadlessOptions o;
  o.choice = CampaignChoice::OneNumber;
  o.number = "200";
  o.settings.waiting_length = 7;
  o.settings.retry_once = false;
  const RunResult r = run(f.path, o);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(count(r.out, text::kNoResponse), 1);
  EXPECT_EQ(count(r.out, text::kRetry), 0);
  EXPECT_EQ(r.out.back(), "attempts 1, answered 1, key 1 0, key 2 0, busy 0, unanswered 1, failed 0");
}

}  // namespace
}  // namespace orvexa::campaign

namespace orvexa::campaign {
namespace {

// Every far-end behaviour of the simulated line, one call each: what the record says of it.
TEST(HeadlessCampaign, EachFarEndBehaviourIsRecordedWithItsOutcome) {
  struct Case {
    std::string number;
    Outcome outcome;
    std::string keys;
    bool answered;
    double main_heard_s;  // the main message is 3 s long
  };
  const Case cases[] = {
      {"100", Outcome::HeardMain, "1", true, 3.0}, {"400", Outcome::MainCut, "1", true, 2.0},
      {"500", Outcome::Declined, "2", true, 0.0},  {"200", Outcome::NoKey, "", true, 0.0},
      {"600", Outcome::HungUp, "", true, 0.0},     {"300", Outcome::Busy, "", false, 0.0},
      {"700", Outcome::NoAnswer, "", false, 0.0},  {"800", Outcome::Rejected, "", false, 0.0},
      {"900", Outcome::Unreachable, "", false, 0.0}, {"12AB", Outcome::Failed, "", false, 0.0},
  };
  CampaignFolder f("orvexa-headless");
  prepare(f.path, {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    HeadlessOptions o;
    o.number = c.number;
    o.settings.retry_once = false;
    const RunResult r = run(f.path, o);
    auto db = records::CallsDatabase::open(f.path / records::kCallsFile);
    ASSERT_TRUE(db) << db.error();
    const auto attempts = db->attempts(db->campaigns().front().id);
    ASSERT_EQ(attempts.size(), 1u) << r.err;
    const auto& a = attempts.front();
    EXPECT_EQ(a.outcome, c.outcome);
    EXPECT_EQ(a.keys, c.keys);
    EXPECT_EQ(a.answered_ms.has_value(), c.answered);
    EXPECT_NEAR(a.main_heard_s, c.main_heard_s, 0.1);
    EXPECT_EQ(a.opening_heard_s > 0, c.answered) << a.opening_heard_s;
    EXPECT_EQ(a.number, c.number);
    // Only a call that reached nobody at all makes the run fail.
    const bool placed = c.outcome != Outcome::Failed && c.outcome != Outcome::Unreachable;
    EXPECT_EQ(r.code, placed ? 0 : 1) << r.err;
  }
}

}  // namespace
}  // namespace orvexa::campaign
