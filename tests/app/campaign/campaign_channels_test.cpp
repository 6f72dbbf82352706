// Campaigns over several channels on fake lines and the manual clock: each member ends once,
// never in two calls at once, retries as with one channel, the pace, a failed line's member
// handed on, a full line that is no attempt, and a stop that hangs up every channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/channel_texts.h"
#include "campaign_fakes.h"

namespace orvexa::campaign::testing {
namespace {

// Twelve members of every kind: answers with key 1, busy twice, no key twice, no answer, key 2,
// hangs up during the opening.
void mixed_group(Rig& rig) {
  std::vector<FakeMembers::Member> ms;
  for (int i = 0; i < 12; ++i) ms.push_back({std::to_string(100 + i), ""});
  rig.add_group("G", "g1", ms);
  for (int i = 0; i < 12; ++i) {
    const std::string n = std::to_string(100 + i);
    switch (i % 6) {
      case 0: rig.line.scripts[n] = {{FarEnd::Answer, '1'}}; break;
      case 1: rig.line.scripts[n] = {{FarEnd::Busy}}; break;
      case 2: rig.line.scripts[n] = {{FarEnd::Answer}}; break;
      case 3: rig.line.scripts[n] = {{FarEnd::NoAnswer}}; break;
      case 4: rig.line.scripts[n] = {{FarEnd::Answer, '2'}}; break;
      case 5: rig.line.scripts[n] = {{FarEnd::HangsUpAfter, 0, 4000ms, 1000ms}}; break;
    }
  }
}

// One attempt as the recorder saw it: its start paired with its channel's next end.
struct Call {
  AttemptStart start;
  std::optional<AttemptEnd> end;
  MemberProgress progress = MemberProgress::Pending;
};
std::vector<Call> calls_of(const RecordingRecorder& r) {
  std::vector<Call> calls;
  std::map<int, std::vector<std::size_t>> open;  // channel -> its calls without an end, in order
  for (const auto& s : r.starts) {
    open[s.channel].push_back(calls.size());
    calls.push_back({s, std::nullopt});
  }
  std::map<int, std::size_t> ended;
  for (const auto& [end, progress] : r.ends) {
    Call& c = calls[open[end.channel][ended[end.channel]++]];
    c.end = end;
    c.progress = progress;
  }
  return calls;
}

bool prefixed(const std::string& line) { return line.size() > 1 && line[0] == '['; }

TEST(CampaignChannels, EveryMemberEndsOnceWhateverTheChannels) {
  struct Case {
    int channels;
  };
  for (const Case c : {Case{1}, Case{2}, Case{7}}) {
    SCOPED_TRACE(c.channels);
    Rig rig;
    mixed_group(rig);
    rig.settings.channels = c.channels;
    ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
    ASSERT_TRUE(rig.run_to_end());

    // Two busy and two no-key members get their retry: 16 attempts on any number of channels.
    const CallTally t = rig.engine.tally();
    EXPECT_EQ(t.attempts, 16);
    EXPECT_EQ(t.busy, 4);
    EXPECT_EQ(t.key1, 2);
    EXPECT_EQ(rig.engine.members_done(), 12u);
    // Each member is done by exactly one attempt, and its attempts never overlap.
    std::map<std::size_t, int> done;
    std::map<std::size_t, messaging::WallTime> free_from;
    for (const Call& call : calls_of(rig.recorder)) {
      ASSERT_TRUE(call.end.has_value());
      const std::size_t m = call.start.member;
      if (free_from.count(m)) {
        EXPECT_LE(free_from[m], call.start.dialled) << "member " << m << " twice at once";
      }
      free_from[m] = call.end->ended;
      done[m] += call.progress == MemberProgress::Done ? 1 : 0;
    }
    ASSERT_EQ(done.size(), 12u);
    for (const auto& [member, n] : done) EXPECT_EQ(n, 1) << "member " << member;
    // The campaign's own lines carry no channel; with one channel nothing does.
    for (const auto& line : rig.log.lines()) {
      const bool own = line.find(text::kEndOfOperation) != std::string::npos ||
                       line.find(text::kOneGroupHeader) != std::string::npos;
      if (own || c.channels == 1) {
        EXPECT_FALSE(prefixed(line)) << line;
      }
    }
    if (c.channels > 1) {
      const std::string last = "[" + std::to_string(c.channels) + "] ";
      EXPECT_TRUE(std::any_of(rig.log.lines().begin(), rig.log.lines().end(),
                              [&](const std::string& l) { return l.rfind(last, 0) == 0; }));
    }
    std::set<int> channels_used;
    for (const auto& s : rig.recorder.starts) channels_used.insert(s.channel);
    EXPECT_EQ(static_cast<int>(channels_used.size()), c.channels);
    EXPECT_EQ(rig.recorder.finished, CampaignState::Finished);
  }
}

TEST(CampaignChannels, SetUpsKeepToThePace) {
  Rig rig;
  mixed_group(rig);
  rig.settings.channels = 5;
  rig.settings.pace = 2;  // one set-up every 500 ms
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());
  std::vector<messaging::TimePoint> all = rig.line.dialled_at;
  for (auto& p : rig.channels.opened) all.insert(all.end(), p.line->dialled_at.begin(), p.line->dialled_at.end());
  std::sort(all.begin(), all.end());
  ASSERT_EQ(all.size(), 16u);
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_GE(all[i] - all[i - 1], 500ms) << i;
}

TEST(CampaignChannels, AFailedLineHandsItsMemberToAnotherChannel) {
  Rig rig;
  rig.add_group("G", "g1", {{"100", ""}, {"101", ""}, {"102", ""}, {"103", ""}});
  for (const char* n : {"100", "101", "102", "103"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  rig.settings.channels = 3;
  // The second channel's line refuses every dial, as a line that lost its registration does.
  rig.channels.refusing[2] = {2, -1};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());

  const auto calls = calls_of(rig.recorder);
  std::map<std::size_t, int> heard;
  for (const Call& c : calls) {
    if (c.start.channel == 2) {
      // Its one attempt failed on the line and left the member as it was.
      EXPECT_EQ(c.end->outcome, Outcome::Failed);
      EXPECT_EQ(c.progress, MemberProgress::Pending);
      EXPECT_EQ(c.end->cause.line_error, 2);
    } else {
      heard[c.start.member] += c.end->outcome == Outcome::HeardMain ? 1 : 0;
    }
  }
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const Call& c) { return c.start.channel == 2; }), 1);
  EXPECT_EQ(heard, (std::map<std::size_t, int>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
  EXPECT_NE(std::find(rig.log.lines().begin(), rig.log.lines().end(), "[2] " + std::string(text::kChannelStopped)),
            rig.log.lines().end());
}

TEST(CampaignChannels, AFullLineIsNoAttempt) {
  Rig rig;
  rig.add_group("G", "g1", {{"100", ""}, {"101", ""}, {"102", ""}});
  for (const char* n : {"100", "101", "102"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  rig.settings.channels = 2;
  // Somebody else holds the second channel's call for its first two dials.
  rig.channels.refusing[2] = {106, 2};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.recorder.withdrawn, (std::vector<int>{2, 2}));
  EXPECT_EQ(rig.engine.tally().attempts, 3);
  EXPECT_EQ(rig.engine.tally().failed, 0);
  EXPECT_EQ(rig.recorder.ends.size(), 3u);
  for (const auto& [end, progress] : rig.recorder.ends) EXPECT_EQ(end.outcome, Outcome::HeardMain);
}

TEST(CampaignChannels, StopHangsUpEveryChannelAndRecordsItsCall) {
  Rig rig;
  rig.add_group("G", "g1", {{"100", ""}, {"101", ""}, {"102", ""}, {"103", ""}, {"104", ""}});
  for (const char* n : {"100", "101", "102", "103", "104"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  rig.settings.channels = 4;
  rig.settings.pace = 0;
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  rig.loop.run_until([] { return false; }, 3s);  // four calls answered, messages playing
  rig.engine.stop();
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_EQ(rig.recorder.finished, CampaignState::Stopped);
  ASSERT_EQ(rig.recorder.ends.size(), 4u);
  for (const auto& [end, progress] : rig.recorder.ends) EXPECT_EQ(end.outcome, Outcome::Interrupted);
  for (int ch = 1; ch <= 4; ++ch) EXPECT_FALSE(rig.channels.line(static_cast<std::size_t>(ch)).in_call) << ch;
}

TEST(CampaignChannels, AStoreThatFailsPausesOnceAndTheOtherCallsEndInterrupted) {
  Rig rig;
  rig.add_group("G", "g1", {{"100", ""}, {"101", ""}, {"102", ""}, {"103", ""}});
  for (const char* n : {"100", "101", "102", "103"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};
  rig.settings.channels = 3;
  rig.recorder.refuse_at = 5;  // the campaign and three starts; the first end fails
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());
  rig.loop.run_until([] { return false; }, 10s);  // the hung-up calls end
  EXPECT_TRUE(rig.engine.paused());
  EXPECT_EQ(std::count_if(rig.dialogs.boxes.begin(), rig.dialogs.boxes.end(),
                          [](const std::string& b) { return b.find("disk full") != std::string::npos; }),
            1);
  ASSERT_EQ(rig.recorder.ends.size(), 3u);
  EXPECT_EQ(rig.recorder.ends[0].first.outcome, Outcome::HeardMain);
  EXPECT_EQ(rig.recorder.ends[1].first.outcome, Outcome::Interrupted);
  EXPECT_EQ(rig.recorder.ends[2].first.outcome, Outcome::Interrupted);
  EXPECT_EQ(rig.recorder.starts.size(), 3u);  // nobody was called after the pause
}

// Key 2 lists the number when asked to; a listed number is recorded as skipped and never dialled,
// on one channel or several, and the others are called as before.
TEST(DoNotCall, KeyTwoListsTheNumberAndTheNextCampaignSkipsIt) {
  for (const int channels : {1, 3}) {
    SCOPED_TRACE(channels);
    Rig rig;
    rig.add_group("G", "g1", {{"100", ""}, {"101", ""}, {"102", ""}});
    rig.line.scripts["100"] = {{FarEnd::Answer, '1'}};
    rig.line.scripts["101"] = {{FarEnd::Answer, '2'}};
    rig.line.scripts["102"] = {{FarEnd::Answer, '1'}};
    rig.settings.channels = channels;
    rig.settings.key2_dnc = true;
    ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
    ASSERT_TRUE(rig.run_to_end());
    EXPECT_EQ(rig.dnc.numbers, (std::set<std::string>{"101"}));

    rig.ended = false;
    rig.recorder = RecordingRecorder{};
    rig.line.dialled.clear();
    const std::size_t log_before = rig.log.lines().size();
    ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
    ASSERT_TRUE(rig.run_to_end());
    std::vector<std::string> dialled = rig.line.dialled;
    for (auto& p : rig.channels.opened) dialled.insert(dialled.end(), p.line->dialled.begin(), p.line->dialled.end());
    std::sort(dialled.begin(), dialled.end());
    EXPECT_EQ(dialled, (std::vector<std::string>{"100", "102"}));
    const auto skipped = std::find_if(rig.recorder.ends.begin(), rig.recorder.ends.end(),
                                      [](const auto& e) { return e.first.outcome == Outcome::SkippedDnc; });
    ASSERT_NE(skipped, rig.recorder.ends.end());
    EXPECT_EQ(skipped->second, MemberProgress::Done);
    const auto& lines = rig.log.lines();
    EXPECT_EQ(std::count_if(lines.begin() + static_cast<std::ptrdiff_t>(log_before), lines.end(),
                            [](const std::string& l) { return l.find(text::kSkippedDnc) != std::string::npos; }),
              1);
  }
}

TEST(DoNotCall, OffByDefaultKeyTwoListsNothing) {
  Rig rig;
  rig.add_group("G", "g1", {{"101", ""}});
  rig.line.scripts["101"] = {{FarEnd::Answer, '2'}};
  ASSERT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Started);
  ASSERT_TRUE(rig.run_to_end());
  EXPECT_TRUE(rig.dnc.numbers.empty());
}

TEST(CampaignChannels, RefusedBeyondWhatTheLinesCarry) {
  Rig rig;
  mixed_group(rig);
  rig.settings.channels = 9;
  rig.channels.offer = 8;
  EXPECT_EQ(rig.engine.start({CampaignChoice::OneGroup, "", "G"}), StartResult::Refused);
  ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
  EXPECT_EQ(rig.dialogs.boxes[0], text::channels_offered(8));
  EXPECT_TRUE(rig.line.dialled.empty());
}

}  // namespace
}  // namespace orvexa::campaign::testing
