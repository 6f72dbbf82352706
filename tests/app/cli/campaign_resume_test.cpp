// A campaign killed at any step (SIGKILL, no clean-up) and continued with --resume: every member
// ends with exactly one final outcome, the one an uninterrupted run gives, and nobody is called
// after it. The campaign runs in a child process on the manual clock; the child kills itself
// right after its Nth status log line, which covers every attempt boundary and every step of
// every call.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "app/cli/headless_runner.h"
#include "app/records/calls_database.h"
#include "platform/host/host_services.h"
#include "simulated_campaign.h"

namespace orvexa::campaign {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, Outcome> kFinal{{"100", Outcome::HeardMain},
                                            {"200", Outcome::NoKey},
                                            {"300", Outcome::Busy},
                                            {"400", Outcome::MainCut}};

// Counts the lines written through it; kills the process after the last one it allows.
class KillingBuffer final : public std::streambuf {
 public:
  explicit KillingBuffer(int lines) : lines_left_(lines) {}

 protected:
  int overflow(int c) override {
    if (c == '\n' && lines_left_ > 0 && --lines_left_ == 0) ::raise(SIGKILL);
    return c;
  }

 private:
  int lines_left_;
};

// A fresh folder for each kill point: the four members of kFinal in group "G".
void reset(const CampaignFolder& f) {
  fs::remove_all(f.path);
  fs::create_directories(f.path);
  std::vector<std::pair<std::string, std::string>> members;
  for (const auto& [number, outcome] : kFinal) members.emplace_back(number, "");
  prepare(f.path, members);
}

HeadlessOptions options(bool resume) {
  HeadlessOptions o;
  o.choice = CampaignChoice::OneGroup;
  o.group = "G";
  o.fast = true;
  o.now = "2026-12-09 10:30";
  o.resume = resume;
  return o;
}

// Runs the campaign in a child that dies after `lines` log lines (0: never); its exit status,
// or -SIGKILL.
int run_child(const fs::path& folder, bool resume, int lines) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    KillingBuffer buffer(lines);
    std::ostream out(&buffer), err(&buffer);
    host::RecordingShell shell;
    ::_exit(run_headless_campaign(folder, options(resume), out, err, shell));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

TEST(CampaignResume, KilledAtEveryStepEachMemberEndsOnceWithItsOwnOutcome) {
  CampaignFolder f("orvexa-resume");
  // How many lines a whole run writes: the child of the last kill point finishes by itself.
  int total = 0, resumed = 0, interrupted = 0;
  for (int n = 1;; ++n) {
    reset(f);
    const int killed = run_child(f.path, false, n);
    if (killed != -SIGKILL) {
      ASSERT_EQ(killed, 0) << "line " << n;
      total = n;
      break;
    }
    SCOPED_TRACE("killed after line " + std::to_string(n));
    auto db = records::CallsDatabase::open(f.path / records::kCallsFile);
    ASSERT_TRUE(db) << db.error();
    const auto campaigns = db->campaigns();
    if (campaigns.empty()) continue;  // killed before the campaign was recorded
    ASSERT_EQ(campaigns.size(), 1u);
    const std::int64_t id = campaigns.front().id;
    db.db.reset();
    if (run_child(f.path, true, 0) == 0) {
      ++resumed;
    } else {
      // Nothing left to call: the kill came after the last member's final outcome.
      auto again = records::CallsDatabase::open(f.path / records::kCallsFile);
      ASSERT_FALSE(again->unfinished_campaign(true)) << "a campaign with members left was not resumed";
    }
    auto after = records::CallsDatabase::open(f.path / records::kCallsFile);
    ASSERT_TRUE(after);
    const auto plan = after->resume_plan(id);
    ASSERT_TRUE(plan);
    EXPECT_NE(plan->campaign.state, CampaignState::Running);
    for (const auto& m : plan->members) EXPECT_EQ(m.progress, MemberProgress::Done) << m.number;
    std::map<std::string, std::vector<Outcome>> calls;
    for (const auto& a : after->attempts(id)) {
      ASSERT_TRUE(a.outcome) << "an attempt without an outcome after the resume: " << a.number;
      calls[a.number].push_back(*a.outcome);
      if (*a.outcome == Outcome::Interrupted) ++interrupted;
    }
    for (const auto& [number, final_outcome] : kFinal) {
      SCOPED_TRACE(number);
      const auto& outcomes = calls[number];
      ASSERT_FALSE(outcomes.empty());
      EXPECT_EQ(outcomes.back(), final_outcome) << "not called after its final outcome";
      std::vector<Outcome> reached;
      for (const Outcome o : outcomes)
        if (o != Outcome::Interrupted) reached.push_back(o);
      ASSERT_LE(reached.size(), 2u);
      // The one retry follows a busy or silent callee; a final outcome is never tried again.
      if (reached.size() == 2) {
        EXPECT_TRUE(reached[0] == Outcome::Busy || reached[0] == Outcome::NoKey);
        EXPECT_EQ(reached[0], reached[1]);
      }
    }
  }
  // The campaign writes its date line, a header and several lines per call.
  EXPECT_GT(total, 30);
  // Most kill points leave members to call, and many fall inside a call.
  EXPECT_GT(resumed, total / 2);
  EXPECT_GT(interrupted, total / 4);
}

}  // namespace
}  // namespace orvexa::campaign
