#include "platform/sip/sdp.h"

#include <gtest/gtest.h>

namespace orvexa::sip {
namespace {

const std::vector<Codec> kBoth{Codec::Pcmu, Codec::Pcma};

TEST(Sdp, NegotiationFollowsTheirOrderAndOurCodecs) {
  struct Case {
    const char* name;
    std::string sdp;
    std::vector<Codec> ours;
    bool ok;
    Codec codec;
    int pt, te;
  };
  const std::string head = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n";
  const Case cases[] = {
      {"pcmu with events", head + "m=audio 6000 RTP/AVP 0 101\r\na=rtpmap:101 telephone-event/8000\r\n",
       kBoth, true, Codec::Pcmu, 0, 101},
      {"their preference first", head + "m=audio 6000 RTP/AVP 8 0\r\n", kBoth, true, Codec::Pcma, 8, -1},
      {"only what we allow", head + "m=audio 6000 RTP/AVP 0 8\r\n", {Codec::Pcma}, true, Codec::Pcma, 8, -1},
      {"dynamic pcma", head + "m=audio 6000 RTP/AVP 96\r\na=rtpmap:96 pcma/8000\r\n", kBoth, true, Codec::Pcma, 96, -1},
      {"no common codec", head + "m=audio 6000 RTP/AVP 18 9\r\n", kBoth, false, Codec::Pcmu, 0, -1},
      {"wide-band event ignored", head + "m=audio 6000 RTP/AVP 0 101\r\na=rtpmap:101 telephone-event/16000\r\n",
       kBoth, true, Codec::Pcmu, 0, -1},
      {"remapped static pt is not pcmu", head + "m=audio 6000 RTP/AVP 0\r\na=rtpmap:0 G729/8000\r\n",
       kBoth, false, Codec::Pcmu, 0, -1},
  };
  for (const Case& c : cases) {
    const auto remote = parse_sdp(c.sdp);
    ASSERT_TRUE(remote.has_value()) << c.name;
    const auto n = negotiate(*remote, c.ours);
    ASSERT_EQ(n.has_value(), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(n->codec, c.codec) << c.name;
    EXPECT_EQ(n->pt, c.pt) << c.name;
    EXPECT_EQ(n->telephone_event_pt, c.te) << c.name;
  }
}

TEST(Sdp, ParsesAddressPortAndDirection) {
  struct Case {
    const char* name;
    std::string sdp;
    bool ok;
    std::string address;
    std::uint16_t port;
    MediaDirection dir;
  };
  const Case cases[] = {
      {"media-level c wins", "v=0\nc=IN IP4 10.0.0.1\nm=audio 4000 RTP/AVP 0\nc=IN IP4 10.0.0.2\n", true,
       "10.0.0.2", 4000, MediaDirection::SendRecv},
      {"session c and sendonly", "v=0\r\nc=IN IP4 10.0.0.1\r\nm=audio 4002 RTP/AVP 0\r\na=sendonly\r\n",
       true, "10.0.0.1", 4002, MediaDirection::SendOnly},
      {"old hold", "c=IN IP4 0.0.0.0\nm=audio 4002 RTP/AVP 0\n", true, "0.0.0.0", 4002,
       MediaDirection::Inactive},
      {"ipv6", "c=IN IP6 ::1\nm=audio 4004 RTP/AVP 0\na=inactive\n", true, "::1", 4004,
       MediaDirection::Inactive},
      {"video only", "c=IN IP4 10.0.0.1\nm=video 4000 RTP/AVP 96\n", false, "", 0, {}},
      {"no address", "m=audio 4000 RTP/AVP 0\n", false, "", 0, {}},
      {"hostile address", "c=IN IP4 10.0.0.1\r\nX\nm=audio 4000 RTP/AVP 0\nc=IN IP4 a;b\n", true,
       "10.0.0.1", 4000, MediaDirection::SendRecv},
      {"bad port", "c=IN IP4 10.0.0.1\nm=audio 99999 RTP/AVP 0\n", false, "", 0, {}},
      {"srtp profile", "c=IN IP4 10.0.0.1\nm=audio 4000 RTP/SAVP 0\n", false, "", 0, {}},
      {"empty", "", false, "", 0, {}},
  };
  for (const Case& c : cases) {
    const auto m = parse_sdp(c.sdp);
    ASSERT_EQ(m.has_value(), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(m->address, c.address) << c.name;
    EXPECT_EQ(m->port, c.port) << c.name;
    EXPECT_EQ(m->direction, c.dir) << c.name;
  }
}

TEST(Sdp, BuiltOfferReadsBackAndOversizedInputIsRefused) {
  LocalMedia local{"127.0.0.1", 10002, kBoth, -1, 101, MediaDirection::SendOnly, 7, 2};
  const auto m = parse_sdp(build_sdp(local));
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->port, 10002);
  EXPECT_EQ(m->payload_types, (std::vector<int>{0, 8, 101}));
  EXPECT_EQ(m->direction, MediaDirection::SendOnly);
  const auto n = negotiate(*m, kBoth);
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(n->telephone_event_pt, 101);

  std::string huge = "c=IN IP4 10.0.0.1\nm=audio 4000 RTP/AVP 0\n";
  huge += std::string(20000, 'a');
  EXPECT_FALSE(parse_sdp(huge).has_value());
  EXPECT_EQ(answer_direction(MediaDirection::SendOnly), MediaDirection::RecvOnly);
  EXPECT_EQ(answer_direction(MediaDirection::Inactive), MediaDirection::Inactive);
}

}  // namespace
}  // namespace orvexa::sip
