// A sip line's channels: the device pairs it adds to the audio service, and which channel a
// call takes as calls come and go on either thread.
#include "platform/sip/sip_line_channels.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"

namespace orvexa::sip {
namespace {

using audio::Direction;

struct Audio {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  audio::AudioService audio{loop};

  std::u16string name(Direction direction, std::int32_t number) const {
    for (const auto& d : audio.devices(direction))
      if (static_cast<std::int32_t>(d.number) == number) return d.name;
    return u"(none)";
  }
};

TEST(SipLineChannels, EachChannelHasItsOwnNamedPair) {
  struct Case {
    std::size_t count;
    std::vector<std::u16string> outs;  // by channel; the inputs end in "wave/in" instead
  };
  const Case cases[] = {
      {1, {u"Office 201 Modem wave/out"}},  // a one-channel line: the names it always had
      {0, {u"Office 201 Modem wave/out"}},  // never fewer than one
      {3,
       {u"Office 201 Modem wave/out", u"Office 201 #2 Modem wave/out",
        u"Office 201 #3 Modem wave/out"}},
  };
  for (const Case& c : cases) {
    Audio a;
    {
      SipLineChannels channels(a.audio, u"Office 201", c.count);
      ASSERT_EQ(channels.size(), c.outs.size()) << c.count;
      std::set<std::int32_t> outs, ins;
      for (std::size_t i = 0; i < channels.size(); ++i) {
        std::u16string in = c.outs[i];
        in.replace(in.size() - 3, 3, u"in");
        EXPECT_TRUE(a.name(Direction::Playback, channels.wave_out(i)) == c.outs[i])
            << c.count << " channel " << i;
        EXPECT_TRUE(a.name(Direction::Capture, channels.wave_in(i)) == in)
            << c.count << " channel " << i;
        outs.insert(channels.wave_out(i));
        ins.insert(channels.wave_in(i));
      }
      EXPECT_EQ(outs.size(), channels.size()) << "each output its own number";
      EXPECT_EQ(ins.size(), channels.size()) << "each input its own number";
    }
    EXPECT_TRUE(a.audio.devices(Direction::Playback).empty()) << "devices left behind";
    EXPECT_TRUE(a.audio.devices(Direction::Capture).empty()) << "devices left behind";
  }
}

TEST(SipLineChannels, ACallTakesTheLowestFreeChannel) {
  enum class Op { Claim, Release };
  struct Step {
    Op op;
    std::uint64_t call;
    std::optional<std::size_t> channel;  // claimed (none: the line is full), or released
    bool ok = true;                       // for a release: the call held it
  };
  const Step steps[] = {
      {Op::Claim, 11, 0},          {Op::Claim, 12, 1},           {Op::Claim, 13, 2},
      {Op::Claim, 14, std::nullopt},                              // full
      {Op::Release, 99, 1, false},                                // not the holder
      {Op::Release, 12, 1},        {Op::Release, 12, 1, false},  // only once
      {Op::Claim, 15, 1},                                         // the gap, not the end
      {Op::Release, 11, 0},        {Op::Release, 13, 2},
      {Op::Claim, 16, 0},          {Op::Claim, 17, 2},           {Op::Claim, 18, std::nullopt},
  };
  Audio a;
  SipLineChannels channels(a.audio, u"L", 3);
  int n = 0;
  for (const Step& s : steps) {
    ++n;
    if (s.op == Op::Claim) {
      EXPECT_EQ(channels.claim(s.call), s.channel) << "step " << n;
      if (s.channel) {
        EXPECT_TRUE(channels.holds(*s.channel, s.call)) << "step " << n;
      }
    } else {
      EXPECT_EQ(channels.release(*s.channel, s.call), s.ok) << "step " << n;
      EXPECT_FALSE(channels.holds(*s.channel, s.call)) << "step " << n;
    }
  }
}

// Our dials claim on the loop thread while incoming calls claim on the SIP thread.
TEST(SipLineChannels, ClaimsFromTwoThreadsNeverShareAChannel) {
  constexpr std::size_t kChannels = 150;
  constexpr std::uint64_t kEach = 100;
  Audio a;
  SipLineChannels channels(a.audio, u"L", kChannels);
  std::vector<std::pair<std::uint64_t, std::size_t>> got[2];
  auto claim_from = [&](int side) {
    for (std::uint64_t i = 1; i <= kEach; ++i) {
      const std::uint64_t call = static_cast<std::uint64_t>(side) * 1000 + i;
      if (auto ch = channels.claim(call)) got[side].emplace_back(call, *ch);
    }
  };
  std::thread other(claim_from, 1);
  claim_from(0);
  other.join();
  EXPECT_EQ(got[0].size() + got[1].size(), kChannels) << "every channel taken, none twice";
  std::set<std::size_t> taken;
  for (const auto& side : got)
    for (const auto& [call, ch] : side) {
      EXPECT_TRUE(taken.insert(ch).second) << "channel " << ch << " given twice";
      EXPECT_TRUE(channels.holds(ch, call)) << "channel " << ch;
    }
}

}  // namespace
}  // namespace orvexa::sip
