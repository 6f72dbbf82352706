// The headless campaign through a sip line into sipp callees whose answers are scripted by
// the number called: the call flow and the campaign see a SIP call exactly as a simulated one.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "app/campaign/campaign_texts.h"
#include "app/cli/headless_runner.h"
#include "campaign_folder.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

using namespace campaign;
using testing::CampaignFolder;
using testing::SippProcess;

int count(const std::vector<std::string>& lines, std::string_view what) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), std::string(what)));
}

TEST(CampaignOverSip, ScriptedCalleesGiveTheSimulatedLinesOutcomes) {
  const auto scenario = SippProcess::filled_scenario(
      "campaign_callees.xml",
      {{"KEY1", (SippProcess::scenario_dir() / "dtmf_1.pcap").string()},
       {"KEY2", (SippProcess::scenario_dir() / "dtmf_2.pcap").string()}});
  auto peer = SippProcess::start(scenario.string(), {}, 120);
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  CampaignFolder folder("orvexa-sip-campaign");
  folder.write_sip_line(peer->address());
  folder.write_messages(1.5, 1.0);
  folder.add_group("G", {"100", "200", "300", "400", "500"});

  HeadlessOptions options;
  options.choice = CampaignChoice::OneGroup;
  options.group = "G";
  options.settings.waiting_length = 2;
  const auto r = folder.run(options);
  ASSERT_EQ(r.code, 0) << r.err << "\n" << peer->log();
  // 100 and the retried 300 press 1; 200 presses 2; 300 is busy once; 400 is not answered,
  // which the line reports as the far end's doing; 500 hangs up during the opening message.
  EXPECT_EQ(count(r.out, text::kPlaybackRequested), 2) << r.all();
  EXPECT_EQ(count(r.out, text::kBusy), 1) << r.all();
  EXPECT_EQ(count(r.out, text::kRetry), 1) << r.all();
  EXPECT_EQ(count(r.out, text::kRemoteDisconnected), 2) << r.all();
  EXPECT_EQ(count(r.out, text::kNoResponse), 0) << r.all();
  EXPECT_EQ(count(r.out, text::kDisconnected), 6) << r.all();
  EXPECT_EQ(count(r.out, text::kDialFailed), 0) << r.all();
  EXPECT_EQ(r.out.back(),
            "attempts 6, answered 4, key 1 2, key 2 1, busy 1, unanswered 0, failed 0")
      << r.all();
}

// Where nothing listens, no call reaches anybody: the status log keeps its texts, but the record
// says unreachable with the network's words, the summary counts a failure and the run fails.
TEST(CampaignOverSip, ALineWhereNobodyListensReachesNobodyAndTheRunFails) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(fd);  // the port is free again, and refuses connections
  CampaignFolder folder("orvexa-sip-nobody");
  folder.write_sip_line("127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "\"\ntransport = \"tcp");
  folder.write_messages(1.0, 1.0);
  folder.add_group("G", {"100"});
  HeadlessOptions options;
  options.choice = CampaignChoice::OneGroup;
  options.group = "G";
  options.settings.retry_once = false;
  const auto r = folder.run(options);
  EXPECT_EQ(r.code, 1) << r.all();
  EXPECT_EQ(count(r.out, text::kRemoteDisconnected), 1) << r.all();
  EXPECT_EQ(r.out.back(), "attempts 1, answered 0, key 1 0, key 2 0, busy 0, unanswered 0, failed 1")
      << r.all();
  ASSERT_FALSE(r.record.empty());
  EXPECT_EQ(r.record[0], "campaign 1: unreachable 1") << r.all();
}

}  // namespace
}  // namespace orvexa::sip
