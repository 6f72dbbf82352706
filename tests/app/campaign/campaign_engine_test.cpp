// The campaign and the call flow end to end against fakes of the line, the voice device and
// the member tables, on the manual clock.
#include <gtest/gtest.h>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/record_texts.h"
#include "campaign_fakes.h"

namespace orvexa::campaign {
namespace {

using namespace testing;
namespace t = text;

std::string number_line(const std::string& n) { return std::string(t::kCalleeNumber) + n; }
std::string s(std::string_view v) { return std::string(v); }

const std::string kDate = date_line("1405/09/18", "10:30");

std::vector<std::string> answered_key1() {
  return {s(t::kDialing),   s(t::kWaitingForCallee), s(t::kPlaybackRequested),
          s(t::kPlayBegin), s(t::kPlayDone),         s(t::kDisconnected)};
}
std::vector<std::string> busy_call() {
  return {s(t::kDialing), s(t::kBusy), s(t::kDisconnected)};
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(CampaignEngine, OneNumberAnsweredWithKeyOneLogsEveryStepAndEndsOnce) {
  Rig rig;
  rig.line.scripts["0912"] = {{FarEnd::Answer, '1'}};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneNumber, "0912"}), StartResult::Started);
  EXPECT_TRUE(rig.view.running);
  EXPECT_EQ(rig.view.b1, s(t::kOneNumberCaption));
  EXPECT_EQ(rig.view.gauge, 100);
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.log.lines(),
            concat({{kDate, s(t::kSeparator), s(t::kOneNumberHeader), s(t::kSeparator),
                     number_line("0912")},
                    answered_key1(),
                    {s(t::kSeparator), s(t::kEndOfOperation)}}));
  EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{s(t::kEndOfOperation)});
  EXPECT_EQ(rig.line.dialled.size(), 1u);
  EXPECT_EQ(rig.voice.heard("0912", "/p/First.wav"), 1);
  EXPECT_EQ(rig.voice.heard("0912", "/p/Orginal.wav"), 1);
  EXPECT_FALSE(rig.view.running);
  EXPECT_EQ(rig.view.b1, "");
  EXPECT_TRUE(rig.events.empty()) << "no power-off without the option";
}

struct OutcomeCase {
  const char* name;
  FarEnd first;
  bool retry_once;
  int waiting_length;
  std::size_t dials;
  int openings_heard;  // over all calls of the number
  int mains_heard;
};

TEST(CampaignEngine, OneNumberOutcomesRetriesAndWaitingLength) {
  const OutcomeCase cases[] = {
      {"busy, retry ticked", {FarEnd::Busy}, true, 4, 2, 0, 0},
      {"busy, retry not ticked", {FarEnd::Busy}, false, 4, 1, 0, 0},
      {"silent, wait 4, retry", {FarEnd::Answer}, true, 4, 2, 8, 0},
      {"silent, wait 1, no retry", {FarEnd::Answer}, false, 1, 1, 1, 0},
      {"silent, wait 7, no retry", {FarEnd::Answer}, false, 7, 1, 7, 0},
      {"key 2 is final", {FarEnd::Answer, '2'}, true, 4, 1, 1, 0},
      // Ringing out is not an outcome of the call flow: no retry follows.
      {"no answer", {FarEnd::NoAnswer}, true, 4, 1, 0, 0},
      {"key 1 inside the guard is ignored", {FarEnd::Answer, '1', 1000ms}, false, 2, 1, 2, 0},
      {"key 1 during the pause", {FarEnd::Answer, '1', 6000ms}, false, 4, 1, 1, 1},
      {"hangs up during the main message",
       {FarEnd::HangsUpAfter, '1', 4000ms, 6000ms}, true, 4, 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.settings.retry_once = c.retry_once;
    rig.settings.waiting_length = c.waiting_length;
    rig.line.scripts["5551"] = {c.first};
    ASSERT_EQ(rig.engine.start({CampaignChoice::OneNumber, "5551"}), StartResult::Started);
    ASSERT_TRUE(rig.run_to_end());
    EXPECT_EQ(rig.line.dialled.size(), c.dials);
    EXPECT_EQ(rig.voice.heard("5551", "/p/First.wav"), c.openings_heard);
    EXPECT_EQ(rig.voice.heard("5551", "/p/Orginal.wav"), c.mains_heard);
    EXPECT_EQ(rig.log.lines().back(), s(t::kEndOfOperation));
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
    const auto& lines = rig.log.lines();
    const auto retries = std::count(lines.begin(), lines.end(), s(t::kRetry));
    EXPECT_EQ(static_cast<std::size_t>(retries), c.dials - 1);
  }
}

TEST(CampaignEngine, SilentCalleeHearsOpeningThenNoResponse) {
  Rig rig;
  rig.settings.retry_once = false;
  rig.settings.waiting_length = 2;
  rig.line.scripts["77"] = {{FarEnd::Answer}};
  rig.engine.start({CampaignChoice::OneNumber, "77"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.log.lines(),
            concat({{kDate, s(t::kSeparator), s(t::kOneNumberHeader), s(t::kSeparator),
                     number_line("77"), s(t::kDialing), s(t::kWaitingForCallee),
                     s(t::kNoResponse), s(t::kDisconnected), s(t::kSeparator),
                     s(t::kEndOfOperation)}}));
}

TEST(CampaignEngine, GroupOfTwoWithFirstBusyOnceReadsAsDocumented) {
  Rig rig;
  rig.add_group("Friends", "101", {{"111", ""}, {"222", ""}});
  rig.line.scripts["111"] = {{FarEnd::Busy}, {FarEnd::Answer, '1'}};
  rig.line.scripts["222"] = {{FarEnd::Answer, '1'}};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "Friends"}), StartResult::Started);
  EXPECT_EQ(rig.view.b3, "2");
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.log.lines(),
            concat({{kDate, s(t::kSeparator), std::string(t::kOneGroupHeader) + "Friends",
                     s(t::kSeparator), number_line("111")},
                    busy_call(),
                    {s(t::kSeparator), s(t::kRetry), s(t::kSeparator), number_line("111")},
                    answered_key1(),
                    {s(t::kSeparator), number_line("222")},
                    answered_key1(),
                    {s(t::kSeparator), s(t::kEndOfOperation)}}));
}

TEST(CampaignEngine, LastMemberOfGroupGetsItsRetryToo) {
  Rig rig;
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.line.scripts["1"] = {{FarEnd::Answer, '1'}};
  rig.line.scripts["2"] = {{FarEnd::Busy}};
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"1", "2", "2"}));
}

TEST(CampaignEngine, GaugeFollowsTheMemberBeingDialled) {
  Rig rig;
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}, {"3", ""}});
  for (const char* n : {"1", "2", "3"}) rig.line.scripts[n] = {{FarEnd::Answer, '2'}};
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  std::vector<int> seen;
  for (int i = 0; i < 3 && !rig.ended; ++i) {
    seen.push_back(rig.view.gauge);
    EXPECT_EQ(rig.view.gauge_max, 3);
    EXPECT_EQ(rig.view.b2, std::to_string(rig.view.gauge));
    rig.loop.run_until([&] { return rig.line.dialled.size() > seen.size(); }, 1h);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(CampaignEngine, OneNumberAfterGroupCampaignDialsTheNumberShown) {
  Rig rig;
  rig.add_group("G", "7", {{"4444", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  ASSERT_TRUE(rig.run_to_end());
  rig.ended = false;
  rig.engine.start({CampaignChoice::OneNumber, "9999"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled.back(), "9999");
  EXPECT_EQ(rig.view.num, "9999");
}

TEST(CampaignEngine, CallThatGoesStraightToIdleLeavesNothingRunning) {
  Rig rig;
  rig.settings.retry_once = false;
  // Idle 1 s after the answer, while the opening message still plays.
  rig.line.scripts["1"] = {{FarEnd::GoesIdle, 0, 0ms, 1000ms}};
  rig.line.scripts["2"] = {{FarEnd::Answer, '1'}};
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  ASSERT_TRUE(rig.run_to_end());
  // The first call's opening stopped with the call; no replay reached the second call.
  EXPECT_EQ(rig.voice.heard("1", "/p/First.wav"), 1);
  EXPECT_EQ(rig.voice.heard("2", "/p/First.wav"), 1);
  EXPECT_EQ(rig.voice.heard("2", "/p/Orginal.wav"), 1);
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), s(t::kNoResponse)), 0);
}

TEST(CampaignEngine, IncomingCallWhileIdleEndsNoOperation) {
  Rig rig;
  rig.settings.shutdown = true;
  rig.line.incoming();
  rig.loop.run_for(1min);
  EXPECT_EQ(rig.log.lines(),
            (std::vector<std::string>{s(t::kRing), s(t::kWaitingForCallee),
                                      s(t::kIncomingRejected), s(t::kDisconnected)}));
  EXPECT_TRUE(rig.dialogs.boxes.empty());
  EXPECT_TRUE(rig.events.empty()) << "nothing closed, nothing powered off";
}

TEST(CampaignEngine, IncomingCallBetweenCallsNeitherSkipsNorRepeatsAMember) {
  Rig rig;
  for (const char* n : {"1", "2", "3"}) rig.line.scripts[n] = {{FarEnd::Answer, '2'}};
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}, {"3", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  // Wait for the first call to end, then ring in during the 3-s pause before the next dial.
  const auto& log = rig.log.lines();
  ASSERT_TRUE(rig.loop.run_until([&] { return !log.empty() && log.back() == s(t::kDisconnected); }, 1h));
  rig.loop.run_for(1s);
  ASSERT_EQ(rig.line.dialled.size(), 1u);
  rig.line.incoming();
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{s(t::kEndOfOperation)});
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), s(t::kIncomingRejected)), 1);
}

TEST(CampaignEngine, StopDuringCallIsIdleAtOnceAndStillEndsTheOperation) {
  Rig rig;
  rig.line.scripts["1"] = {{FarEnd::Answer}};
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  rig.loop.run_for(4s);
  ASSERT_TRUE(rig.line.in_call);
  rig.engine.stop();
  EXPECT_FALSE(rig.view.running);
  EXPECT_FALSE(rig.engine.running());
  EXPECT_TRUE(rig.dialogs.boxes.empty());
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled.size(), 1u);
  EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{s(t::kEndOfOperation)});
  EXPECT_EQ(rig.log.lines().back(), s(t::kEndOfOperation));
}

TEST(CampaignEngine, PowerOffComesAfterTheReportIsWritten) {
  Rig rig;
  rig.settings.shutdown = true;
  rig.engine.start({CampaignChoice::OneNumber, "1"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_TRUE(rig.events.empty()) << "the power-off waits 3 s after the box";
  rig.loop.run_for(3s);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"close", "power-off"}));
}

TEST(CampaignEngine, AllGroupsSkipsEmptyAndUnopenableGroups) {
  Rig rig;
  rig.add_group("Empty first", "1", {});
  rig.add_group("A", "2", {{"21", ""}});
  rig.members.group_rows.push_back({"Broken", "3"});
  rig.members.broken.insert("3");
  rig.add_group("B", "4", {{"41", "01/02"}});
  rig.line.scripts["21"] = {{FarEnd::Answer, '1'}};
  rig.line.scripts["41"] = {{FarEnd::Answer, '1'}};
  rig.engine.start({CampaignChoice::AllGroups});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"21", "41"}));
  EXPECT_EQ(rig.log.lines(),
            concat({{kDate, s(t::kSeparator), std::string(t::kGroupHeader) + "Empty first",
                     s(t::kSeparator), std::string(t::kGroupHeader) + "A", s(t::kSeparator),
                     number_line("21")},
                    answered_key1(),
                    {"no such table: 3", s(t::kSeparator), s(t::kGroupSkipped),
                     s(t::kSeparator), std::string(t::kGroupHeader) + "B", s(t::kSeparator),
                     number_line("41")},
                    answered_key1(),
                    {s(t::kSeparator), s(t::kEndOfOperation)}}));
}

TEST(CampaignEngine, DateFilterLimitsEveryGroupOfTheRun) {
  Rig rig;
  rig.add_group("A", "1", {{"11", "01/02"}, {"12", "05/06"}});
  rig.add_group("B", "2", {{"21", "05/06"}});
  rig.add_group("C", "3", {{"31", "01/02"}});
  for (const char* n : {"11", "12", "21", "31"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  rig.engine.start({CampaignChoice::AllGroups, "", "", DateFilterRequest{"birthday", "01", "02"}});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"11", "31"}));
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), s(t::kGroupSkipped)), 1);

  Rig one;
  one.add_group("A", "1", {{"11", "01/02"}});
  EXPECT_EQ(one.engine.start({CampaignChoice::OneGroup, "", "A",
                              DateFilterRequest{"birthday", "03", "04"}}),
            StartResult::Refused);
  EXPECT_EQ(one.dialogs.boxes, std::vector<std::string>{s(t::kEmptyGroup)});
  EXPECT_FALSE(one.view.activity);
}

TEST(CampaignEngine, RefusedStartsCallNobodyAndStayIdle) {
  struct Case {
    const char* name;
    MessagePaths paths;
    CampaignRequest request;
    bool with_groups;
    std::string_view box;
    bool date_line_written;
  };
  const Case cases[] = {
      {"no opening", {"", "/m"}, {CampaignChoice::OneNumber, "1"}, true, t::kNoOpeningMessage, false},
      {"no main", {"/o", ""}, {CampaignChoice::OneNumber, "1"}, true, t::kNoMainMessage, false},
      {"bad filter", {"/o", "/m"}, {CampaignChoice::AllGroups, "", "", DateFilterRequest{"birthday", "13", "01"}},
       true, t::kBadFilterDate, false},
      {"no number", {"/o", "/m"}, {CampaignChoice::OneNumber, ""}, true, t::kNoNumber, false},
      {"no group chosen", {"/o", "/m"}, {CampaignChoice::OneGroup, "", ""}, true, t::kNoGroupChosen, false},
      {"empty group", {"/o", "/m"}, {CampaignChoice::OneGroup, "", "Empty"}, true, t::kEmptyGroup, true},
      {"no groups", {"/o", "/m"}, {CampaignChoice::AllGroups}, false, t::kNoGroups, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.paths = c.paths;
    if (c.with_groups) rig.add_group("Empty", "9", {});
    EXPECT_EQ(rig.engine.start(c.request), StartResult::Refused);
    EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{std::string(c.box)});
    EXPECT_EQ(rig.log.lines().size(), c.date_line_written ? 1u : 0u);
    rig.loop.run_for(1min);
    EXPECT_TRUE(rig.line.dialled.empty());
    EXPECT_FALSE(rig.view.running);
    EXPECT_FALSE(rig.engine.operation_open());
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u) << "no end-of-operation box after a refusal";
  }
}

TEST(CampaignEngine, UnopenableTableOfOneGroupShowsTheDatabaseError) {
  Rig rig;
  rig.members.group_rows.push_back({"Broken", "3"});
  EXPECT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "Broken"}), StartResult::Refused);
  EXPECT_EQ(rig.dialogs.errors, std::vector<std::string>{"no such table: 3"});
  EXPECT_FALSE(rig.view.activity);
}

TEST(CampaignEngine, FailedDialCountsAsUnansweredAndTheCampaignMovesOn) {
  Rig rig;
  rig.line.scripts["bad"] = {{FarEnd::DialFails}};
  rig.line.scripts["ok"] = {{FarEnd::Answer, '1'}};
  rig.add_group("G", "7", {{"bad", ""}, {"ok", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"bad", "bad", "ok"}));
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), s(t::kDialFailed)), 2);
  EXPECT_EQ(rig.engine.call_flow().tally().failed, 2);
  EXPECT_EQ(rig.engine.call_flow().tally().key1, 1);
}

TEST(CampaignEngine, OpeningThatCannotPlayHangsUpWithoutRetry) {
  Rig rig;
  rig.voice.unplayable.insert("/p/First.wav");
  rig.engine.start({CampaignChoice::OneNumber, "1"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled.size(), 1u);
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), s(t::kOpeningPlayFailed)), 1);
}

TEST(CampaignEngine, MainMessageThatCannotPlayEndsTheCall) {
  Rig rig;
  rig.voice.unplayable.insert("/p/Orginal.wav");
  rig.line.scripts["1"] = {{FarEnd::Answer, '1'}};
  rig.engine.start({CampaignChoice::OneNumber, "1"});
  ASSERT_TRUE(rig.run_to_end());
  const auto& lines = rig.log.lines();
  auto it = std::find(lines.begin(), lines.end(), s(t::kPlayFailed));
  ASSERT_NE(it, lines.end());
  EXPECT_EQ(*std::next(it), s(t::kDisconnected));
}

}  // namespace
}  // namespace orvexa::campaign

namespace orvexa::campaign::testing {
namespace {

using namespace std::chrono_literals;

std::vector<Outcome> outcomes_of(const RecordingRecorder& r) {
  std::vector<Outcome> out;
  for (const auto& [end, progress] : r.ends) out.push_back(end.outcome);
  return out;
}

TEST(CampaignRecords, EachAttemptIsRecordedBeforeItsDialWithTheMembersProgress) {
  Rig rig;
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.line.scripts["1"] = {{FarEnd::Busy}, {FarEnd::Answer, '1'}};
  rig.line.scripts["2"] = {{FarEnd::Answer, '2'}};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_EQ(rig.recorder.members.size(), 2u);
  EXPECT_EQ(rig.recorder.members[1].number, "2");
  ASSERT_TRUE(rig.run_to_end());
  ASSERT_EQ(rig.recorder.starts.size(), 3u);
  EXPECT_EQ(rig.recorder.starts[1].member, 0u);
  EXPECT_EQ(rig.recorder.starts[1].number, 2) << "the retry is the member's second attempt";
  EXPECT_EQ(rig.recorder.starts[2].member, 1u);
  EXPECT_EQ(outcomes_of(rig.recorder), (std::vector{Outcome::Busy, Outcome::HeardMain, Outcome::Declined}));
  EXPECT_EQ(rig.recorder.ends[0].second, MemberProgress::RetryDue);
  EXPECT_EQ(rig.recorder.ends[1].second, MemberProgress::Done);
  EXPECT_EQ(rig.recorder.ends[1].first.keys, "1");
  EXPECT_GT(rig.recorder.ends[1].first.main_heard_s, 0.0);
  EXPECT_EQ(rig.recorder.finished, CampaignState::Finished);
}

TEST(CampaignRecords, StopDuringACallRecordsItInterruptedAndTheCampaignStopped) {
  Rig rig;
  rig.line.scripts["1"] = {{FarEnd::Answer}};
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  rig.loop.run_for(4s);
  rig.engine.stop();
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(outcomes_of(rig.recorder), std::vector{Outcome::Interrupted});
  EXPECT_EQ(rig.recorder.ends[0].second, MemberProgress::Pending) << "not reached: called again on resume";
  EXPECT_EQ(rig.recorder.finished, CampaignState::Stopped);
}

TEST(CampaignRecords, ARecordThatCannotBeWrittenPausesTheCampaignBeforeTheNextDial) {
  Rig rig;
  rig.line.scripts["1"] = {{FarEnd::Answer, '1'}};
  rig.add_group("G", "7", {{"1", ""}, {"2", ""}});
  rig.recorder.refuse_at = 4;  // begin, first start and end pass; the second start fails
  rig.engine.start({CampaignChoice::OneGroup, "", "G"});
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_TRUE(rig.engine.paused());
  EXPECT_FALSE(rig.engine.running());
  EXPECT_EQ(rig.line.dialled, std::vector<std::string>{"1"}) << "no call without its record";
  ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
  EXPECT_NE(rig.dialogs.boxes[0].find("disk full"), std::string::npos);
  EXPECT_NE(rig.log.lines().back(), s(t::kEndOfOperation)) << "a paused campaign has not ended";
  EXPECT_FALSE(rig.recorder.finished) << "it stays unfinished, to be continued";
}

TEST(CampaignRecords, ResumeCallsOnlyWhoIsLeftAndMakesTheRetryStillDue) {
  Rig rig;
  rig.line.scripts["2"] = {{FarEnd::Answer, '1'}};
  rig.line.scripts["3"] = {{FarEnd::Answer, '1'}};
  ResumeRequest request{12, CampaignChoice::OneGroup, {PlannedGroup{{"G", "7"}, {}, std::nullopt}}};
  auto& ms = request.plan[0].members;
  ms.push_back({"G", "7", 1, "", "", "1", MemberProgress::Done, 1});
  ms.push_back({"G", "7", 2, "", "", "2", MemberProgress::RetryDue, 1});
  ms.push_back({"G", "7", 3, "", "", "3", MemberProgress::Pending, 0});
  ASSERT_EQ(rig.engine.resume(request), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(rig.log.lines().front(), std::string(t::kResumedCampaign) + "12");
  EXPECT_EQ(std::count(rig.log.lines().begin(), rig.log.lines().end(), s(t::kRetry)), 1);
  ASSERT_EQ(rig.recorder.starts.size(), 2u);
  EXPECT_EQ(rig.recorder.starts[0].member, 1u);
  EXPECT_EQ(rig.recorder.starts[0].number, 2);
  EXPECT_EQ(rig.recorder.starts[1].number, 1);
  EXPECT_EQ(rig.recorder.finished, CampaignState::Finished);
}

}  // namespace
}  // namespace orvexa::campaign::testing
