#include <gtest/gtest.h>

#include "voice_fixture.h"

namespace orvexa::components::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(VoiceTest, PlaysAWholeFileAndReportsItsLastByte) {
  const auto data = pattern(16000);
  const auto name = wave("a.wav", data);
  ASSERT_EQ(voice.Play(0, name, 0, -1), 0);
  EXPECT_EQ(voice.PlayingState(), psPlaying);
  loop.run_for(3s);
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0}, {ssPlayDone, 15999, 0}}));
  EXPECT_EQ(speaker->heard(), data);
  EXPECT_EQ(voice.PlayingState(), psIdle);
  EXPECT_EQ(busy.depth, 0);
}

}  // namespace
}  // namespace orvexa::components::testing
