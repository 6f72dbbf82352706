// A headless campaign over ten channels of one sip line into sipp, whose callees all answer
// and press 1: every member hears the main message once, on channels 1 to 10 at once, and no
// number is in two calls at the same time.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "app/campaign/campaign_texts.h"
#include "campaign_folder.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

using namespace campaign;
using testing::CampaignFolder;
using testing::SippProcess;

// Lines of the status log that end with `what` (a call's lines start with its channel).
int count_ending(const std::vector<std::string>& lines, std::string_view what) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& l) { return l.ends_with(what); }));
}

TEST(ChannelsOverSip, FiftyMembersOnTenChannelsEachHearTheMainMessageOnce) {
  constexpr int kMembers = 50, kChannels = 10;
  constexpr double kMain = 1.5;
  const auto scenario = SippProcess::filled_scenario(
      "callee_presses_1.xml", {{"KEY1", (SippProcess::scenario_dir() / "dtmf_1.pcap").string()},
                               {"KEY_AFTER", "3500"}});
  auto peer = SippProcess::start(
      scenario.string(),
      {"-mp", std::to_string(SippProcess::free_udp_port()), "-m", std::to_string(kMembers)}, 120);
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  CampaignFolder folder("orvexa-sip-channels");
  folder.write_sip_line(peer->address(), kChannels);
  folder.write_messages(1.0, kMain);
  std::vector<std::string> numbers;
  for (int i = 0; i < kMembers; ++i) numbers.push_back(std::to_string(1000 + i));
  folder.add_group("G", numbers);

  HeadlessOptions options;
  options.choice = CampaignChoice::OneGroup;
  options.group = "G";
  options.settings.channels = kChannels;
  options.settings.pace = 10;
  const auto r = folder.run(options);
  ASSERT_EQ(r.code, 0) << r.all() << "\n" << peer->log();
  EXPECT_EQ(r.out.back(), "attempts 50, answered 50, key 1 50, key 2 0, busy 0, unanswered 0, failed 0")
      << r.all();
  EXPECT_EQ(count_ending(r.out, text::kDialFailed), 0) << r.all();
  EXPECT_EQ(count_ending(r.out, text::kPlaybackRequested), kMembers) << r.all();
  ASSERT_FALSE(r.record.empty());
  EXPECT_EQ(r.record[0], "campaign 1: heard-main 50") << r.all();

  const auto attempts = folder.attempts();
  ASSERT_EQ(attempts.size(), static_cast<std::size_t>(kMembers));
  std::map<std::string, int> calls_of;
  std::set<int> channels;
  for (const auto& a : attempts) {
    EXPECT_EQ(a.outcome, Outcome::HeardMain) << a.number << " " << a.cause;
    EXPECT_NEAR(a.main_heard_s, kMain, 0.1) << a.number;
    ++calls_of[a.number];
    channels.insert(a.channel);
  }
  // Each member once, so no number can have been in two calls at once.
  EXPECT_EQ(calls_of.size(), numbers.size());
  for (const auto& n : numbers) EXPECT_EQ(calls_of[n], 1) << n;
  std::set<int> all;
  for (int c = 1; c <= kChannels; ++c) all.insert(c);
  EXPECT_EQ(channels, all);
  EXPECT_EQ(testing::calls_at_once(attempts), kChannels);
}

}  // namespace
}  // namespace orvexa::sip
