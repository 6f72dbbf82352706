// Line components sharing one simulated line of several channels, as a campaign's channels do:
// each carries a call of its own on its own wave devices, and one too many finds the line taken.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "sim_phone.h"

namespace orvexa::components::testing {
namespace {

TEST(KDPhoneChannelsSim, EachComponentCallsOnItsOwnChannelUntilTheLineIsFull) {
  telephony::TelephonyRig rig(Config("[[line]]\nchannels = 3\n[default_far_end]\nrings = 0\n"),
                              true);
  std::vector<std::unique_ptr<KDPhone>> phones;
  int connected = 0;
  for (int i = 0; i < 4; ++i) {
    auto& phone = *phones.emplace_back(std::make_unique<KDPhone>(rig.loop(), rig.lines()));
    phone.OnCallState = [&](KDPhone&, TCallState s, int, int, int) {
      connected += s == csConnected;
    };
    ASSERT_EQ(phone.LineActive(0, true), 0) << i;
  }
  int calls = 0;
  ASSERT_EQ(phones[0]->GetMaxActiveCalls(0, calls), 0);
  EXPECT_EQ(calls, 3);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(phones[i]->DialNumber("201", i), 0) << i;
  EXPECT_EQ(phones[3]->DialNumber("201", 3), err::kLineAllocated);
  rig.loop().run_until([&] { return connected == 3; }, 30s);
  ASSERT_EQ(connected, 3);

  std::set<int> outputs;
  for (int i = 0; i < 3; ++i) {
    int device = -1;
    ASSERT_EQ(phones[i]->GetWavePlayIDFrom(false, phones[i]->CurrentCall(), device), 0) << i;
    outputs.insert(device);
  }
  EXPECT_EQ(outputs.size(), 3u);
  EXPECT_TRUE(outputs.contains(phones[0]->WavePlayID()));  // the first call is on the line's own

  // One hangs up: the spare component's dial is taken now.
  ASSERT_EQ(phones[1]->Hangup(), 0);
  rig.loop().run_for(2s);
  EXPECT_EQ(phones[3]->DialNumber("201", 3), 0);
  rig.loop().run_until([&] { return connected == 4; }, 30s);
  EXPECT_EQ(connected, 4);
}

}  // namespace
}  // namespace orvexa::components::testing
