// Caller ID, G.711 and telephone events: what a far end sends, decoded and bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/sip/caller_id.h"
#include "platform/sip/rtp_payload.h"
#include "platform/sip/sip_call.h"

namespace orvexa::sip {
namespace {

TEST(CallerId, DisplayNameAndNumber) {
  struct Case {
    const char* name;
    std::string_view display, user, want_name, want_number;
  };
  const Case cases[] = {
      {"persian quoted", "\"دفتر مرکزی\"", "02188776655", "دفتر مرکزی", "02188776655"},
      {"escaped quote", R"("Ali \"the\" boss")", "201", "Ali \"the\" boss", "201"},
      {"token name", "  Reza  ", "%2B989121234567", "Reza", "+989121234567"},
      {"line break injection", "\"a\r\nX-Evil: 1\"", "1\r\n2", "a X-Evil: 1", "12"},
      {"broken utf-8 dropped", "\"\xD8\xAF\xFF\xD8\"", "7", "\xD8\xAF", "7"},
      {"overlong slash refused", "\"\xC0\xAF\"", "7", "", "7"},
      {"quote in number", "", "1\"2\\3", "", "123"},
      {"empty", "", "", "", ""},
  };
  for (const Case& c : cases) {
    const CallerId id = caller_id_from(c.display, c.user);
    EXPECT_EQ(id.name, c.want_name) << c.name;
    EXPECT_EQ(id.number, c.want_number) << c.name;
  }
}

TEST(CallerId, LongNamesAreCutAtACharacterBoundary) {
  std::string name = "\"";
  for (int i = 0; i < 200; ++i) name += "ی";  // two bytes each
  name += "\"";
  const CallerId id = caller_id_from(name, std::string(300, '9'));
  EXPECT_LE(id.name.size(), kMaxCallerName);
  EXPECT_EQ(id.name.size() % 2, 0u);
  EXPECT_EQ(id.number.size(), kMaxCallerNumber);
}

TEST(G711, RoundTripStaysCloseForBothLaws) {
  std::vector<std::int16_t> pcm(kSamplesPerFrame);
  for (int i = 0; i < kSamplesPerFrame; ++i)
    pcm[i] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 1000 * i / 8000.0));
  for (Codec codec : {Codec::Pcmu, Codec::Pcma}) {
    std::vector<std::uint8_t> coded(pcm.size());
    std::vector<std::int16_t> back(pcm.size());
    g711_encode(codec, pcm, coded);
    g711_decode(codec, coded, back);
    for (std::size_t i = 0; i < pcm.size(); ++i)
      ASSERT_NEAR(back[i], pcm[i], 400) << codec_name(codec) << " sample " << i;
  }
  // Silence in each law is the well-known byte.
  std::int16_t zero[1] = {0};
  std::uint8_t b[1];
  g711_encode(Codec::Pcmu, zero, b);
  EXPECT_EQ(b[0], 0xFF);
  g711_encode(Codec::Pcma, zero, b);
  EXPECT_EQ(b[0], 0xD5);
}

TEST(TelephoneEvents, EncodeParseAndKeys) {
  const TelephoneEvent e{11, true, 10, 1600};
  std::uint8_t raw[4];
  encode_telephone_event(e, raw);
  const auto back = parse_telephone_event(raw);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->event, 11);
  EXPECT_TRUE(back->end);
  EXPECT_EQ(back->volume, 10);
  EXPECT_EQ(back->duration, 1600);
  EXPECT_FALSE(parse_telephone_event(std::span<const std::uint8_t>(raw, 3)).has_value());
  EXPECT_EQ(event_digit(11), '#');
  EXPECT_EQ(event_digit(16), 0);  // flash is not a key
  EXPECT_EQ(digit_event('*'), 10);
  EXPECT_EQ(digit_event('d'), 15);
  EXPECT_EQ(digit_event(','), -1);
}

TEST(TelephoneEvents, EachPressOnceAndFloodsBounded) {
  DigitEventFilter filter(20);
  TelephoneEvent five{5, false, 10, 160};
  // One press: start, continuation, three end packets, all with one timestamp.
  EXPECT_EQ(filter.accept(1000, five, 0), '5');
  EXPECT_FALSE(filter.accept(1000, five, 20).has_value());
  five.end = true;
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(filter.accept(1000, five, 40).has_value());
  // The same key pressed again is a new timestamp.
  EXPECT_EQ(filter.accept(5000, five, 300), '5');
  // A flood of distinct events within one second: only 20 get through.
  int passed = 0;
  for (std::uint32_t ts = 10000; ts < 10000 + 1000; ++ts)
    passed += filter.accept(ts, {1, false, 0, 0}, 2000 + (ts - 10000) / 10).has_value();
  EXPECT_EQ(passed, 20);
  EXPECT_EQ(filter.dropped(), 980u);
}

TEST(RtpSource, OneSourceAtATimeAndOnlyNegotiatedTypes) {
  using Kind = RtpSourceFilter::Kind;
  RtpSourceFilter f(0, 101);
  struct Step {
    std::uint32_t ssrc;
    int pt;
    std::uint64_t ms;
    Kind want;
  };
  const Step steps[] = {
      {1, 0, 0, Kind::Audio},      {1, 101, 20, Kind::Event},   {1, 96, 40, Kind::Dropped},
      {2, 0, 60, Kind::Dropped},   {1, 0, 80, Kind::Audio},     {2, 0, 500, Kind::Dropped},
      {2, 0, 1081, Kind::Audio},   {1, 0, 1100, Kind::Dropped},
  };
  for (const Step& s : steps)
    EXPECT_EQ(f.classify(s.ssrc, s.pt, s.ms), s.want) << s.ssrc << "/" << s.pt << "@" << s.ms;
  EXPECT_EQ(f.dropped(), 4u);
}

TEST(Sipfrag, StatusOfATransferReport) {
  struct Case {
    std::string_view body;
    std::optional<int> status;
  };
  const Case cases[] = {
      {"SIP/2.0 200 OK\r\n", 200},
      {"SIP/2.0 100 Trying", 100},
      {"SIP/2.0 603 Declined\r\nX: y\r\n", 603},
      {"SIP/2.0 486", 486},
      {"SIP/2.0 99 Low", std::nullopt},
      {"SIP/2.0 700 High", std::nullopt},
      {"SIP/2.0 2000 Long", std::nullopt},
      {"SIP/2.0 20", std::nullopt},
      {"SIP/2.0 -20 Minus", std::nullopt},
      {"SIP/1.0 200 OK", std::nullopt},
      {"INVITE sip:1@a SIP/2.0", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(sipfrag_status(c.body), c.status) << c.body;
}

}  // namespace
}  // namespace orvexa::sip
