#include <gtest/gtest.h>

#include "platform/dsp/dtmf.h"

namespace orvexa::dsp {
namespace {

TEST(Dtmf, EveryKeyRoundTripsThroughGeneratorAndDetector) {
  const std::string keys = "0123456789*#ABCD";
  DtmfGenerator generator;
  std::vector<std::int16_t> pcm = generator.render(keys);
  EXPECT_EQ(pcm.size(), keys.size() * 1600);  // 100 ms tone + 100 ms pause at 8 kHz
  DtmfDetector detector;
  EXPECT_EQ(detector.feed(pcm), keys);
}

TEST(Dtmf, SilenceAndUnknownKeysGiveNothing) {
  DtmfGenerator generator;
  EXPECT_TRUE(generator.render("xyz!").empty());
  DtmfDetector detector;
  std::vector<std::int16_t> silence(8000, 0);
  EXPECT_EQ(detector.feed(silence), "");
}

TEST(Dtmf, KeysFedInSmallBlocksAreFoundOnce) {
  DtmfGenerator generator;
  std::vector<std::int16_t> pcm = generator.render("159");
  DtmfDetector detector;
  std::string found;
  for (std::size_t i = 0; i < pcm.size(); i += 37)
    found += detector.feed(std::span(pcm).subspan(i, std::min<std::size_t>(37, pcm.size() - i)));
  EXPECT_EQ(found, "159");
}

}  // namespace
}  // namespace orvexa::dsp
