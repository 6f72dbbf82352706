// The SIP thread's frame clock and the call media it paces.
#include "platform/sip/media_clock.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sip/call_media.h"
#include "platform/sip/sip_thread.h"

namespace orvexa::sip {
namespace {

struct Recorder : MediaClock::Member {
  std::string name;
  std::vector<std::string>* log = nullptr;
  std::function<void()> on_frame;
  Recorder(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(&l) {}
  void frame() override {
    log->push_back(name);
    if (on_frame) on_frame();
  }
};

std::string joined(const std::vector<std::string>& log) {
  std::string s;
  for (const auto& e : log) s += e;
  return s;
}

TEST(MediaClock, WalksMembersInJoinOrderThroughChangesMadeDuringTheWalk) {
  struct Case {
    const char* name;
    std::uint64_t periods;
    // Set-up of the members a, b, c (already joined in that order) before the walk.
    std::function<void(MediaClock&, Recorder&, Recorder&, Recorder&, Recorder& late)> arrange;
    const char* want;
    std::size_t want_size;
  };
  const Case cases[] = {
      {"one period", 1, [](auto&, auto&, auto&, auto&, auto&) {}, "abc", 3},
      {"catch up after a stall", 3, [](auto&, auto&, auto&, auto&, auto&) {}, "abcabcabc", 3},
      {"catch up is capped", 1000, [](auto&, auto&, auto&, auto&, auto&) {},
       "abcabcabcabcabc", 3},
      {"nothing owed", 0, [](auto&, auto&, auto&, auto&, auto&) {}, "", 3},
      {"a member leaves in its own frame", 2,
       [](MediaClock& k, Recorder&, Recorder& b, Recorder&, Recorder&) {
         b.on_frame = [&] { k.remove(b); };
       },
       "abcac", 2},
      {"an earlier member removes a later one", 2,
       [](MediaClock& k, Recorder& a, Recorder&, Recorder& c, Recorder&) {
         a.on_frame = [&] { k.remove(c); };
       },
       "abab", 2},
      {"a member joining mid-walk starts with the next period", 2,
       [](MediaClock& k, Recorder& a, Recorder&, Recorder&, Recorder& late) {
         a.on_frame = [&] { ASSERT_EQ(k.add(late), 0); };
       },
       "abcabcL", 4},
  };
  SipThread sip;
  ASSERT_TRUE(sip.running()) << sip.start_error();
  for (const Case& c : cases) {
    std::vector<std::string> log;
    std::size_t size = 0;
    sip.call([&] {
      MediaClock clock;
      Recorder a("a", log), b("b", log), cc("c", log), late("L", log);
      for (Recorder* r : {&a, &b, &cc}) ASSERT_EQ(clock.add(*r), 0);
      c.arrange(clock, a, b, cc, late);
      clock.expired(c.periods);
      size = clock.size();
      for (Recorder* r : {&a, &b, &cc, &late}) clock.remove(*r);
      EXPECT_FALSE(clock.ticking());
    });
    EXPECT_EQ(joined(log), c.want) << c.name;
    EXPECT_EQ(size, c.want_size) << c.name;
  }
}

TEST(MediaClock, TimerRunsOnlyWhileItHasMembers) {
  SipThread sip;
  ASSERT_TRUE(sip.running()) << sip.start_error();
  std::vector<std::string> log;
  auto clock = std::make_unique<MediaClock>();
  auto member = std::make_unique<Recorder>("x", log);
  bool ticking_alone = true, ticking_with = false;
  sip.call([&] {
    ticking_alone = clock->ticking();
    EXPECT_EQ(clock->add(*member), 0);
    EXPECT_EQ(clock->add(*member), 0);  // joining twice is joining once
    ticking_with = clock->ticking();
  });
  EXPECT_FALSE(ticking_alone);
  EXPECT_TRUE(ticking_with);
  // The kernel timer really drives the walk: wait (bounded) for a few frames.
  std::size_t frames = 0;
  for (int i = 0; i < 200 && frames < 3; ++i) {
    ::usleep(10000);
    sip.call([&] { frames = log.size(); });
  }
  EXPECT_GE(frames, 3u);
  sip.call([&] {
    clock->remove(*member);
    EXPECT_EQ(clock->size(), 0u);
    EXPECT_FALSE(clock->ticking());
    member.reset();
    clock.reset();
  });
}

// A UDP socket on the loopback standing in for the far end's RTP port.
class FarEnd {
 public:
  FarEnd() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~FarEnd() { ::close(fd_); }
  std::uint16_t port() const { return port_; }
  // One datagram, or empty after a bounded wait.
  std::vector<std::uint8_t> receive() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) return {};
    std::array<std::uint8_t, 2048> buf{};
    const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
    return n > 0 ? std::vector<std::uint8_t>(buf.begin(), buf.begin() + n) : std::vector<std::uint8_t>{};
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

TEST(CallMediaPacing, FramesKeepTheirSizeSequenceAndTimestampsAcrossTheReusedBuffer) {
  SipThread sip;
  ASSERT_TRUE(sip.running()) << sip.start_error();
  FarEnd far;
  ASSERT_NE(far.port(), 0);
  MediaClock clock;
  std::unique_ptr<CallMedia> media;
  sip.call([&] {
    media = std::make_unique<CallMedia>(clock, std::make_shared<OutboundAudio>(), MediaEvents{},
                                        DtmfMode::Rfc4733, std::chrono::seconds(0));
    ASSERT_EQ(media->open("127.0.0.1"), 0);
    RemoteMedia remote;
    remote.address = "127.0.0.1";
    remote.port = far.port();
    media->start(remote, Negotiated{Codec::Pcmu, 0, 101});
    // A key as an event in between the audio frames must not disturb the frames after it.
    media->send_keys("5");
  });
  std::vector<std::vector<std::uint8_t>> audio;
  int events = 0;
  for (int i = 0; i < 40 && audio.size() < 6; ++i) {
    auto p = far.receive();
    ASSERT_GE(p.size(), 12u) << "no RTP from the call";
    if ((p[1] & 0x7F) == 101) ++events;
    else audio.push_back(std::move(p));
  }
  sip.call([&] { media.reset(); });
  EXPECT_EQ(clock.size(), 0u);  // the media left the clock when it went
  EXPECT_GT(events, 0);
  ASSERT_EQ(audio.size(), 6u);
  auto u16 = [](const std::vector<std::uint8_t>& p, int at) { return (p[at] << 8) | p[at + 1]; };
  auto u32 = [](const std::vector<std::uint8_t>& p, int at) {
    return (std::uint32_t(p[at]) << 24) | (std::uint32_t(p[at + 1]) << 16) |
           (std::uint32_t(p[at + 2]) << 8) | p[at + 3];
  };
  for (std::size_t i = 0; i < audio.size(); ++i) {
    const auto& p = audio[i];
    ASSERT_EQ(p.size(), 12u + 160u) << "frame " << i;
    EXPECT_EQ(p[0], 0x80) << "frame " << i;  // version 2, no padding, extension or CSRC
    EXPECT_EQ(p[1] & 0x7F, 0) << "frame " << i;
    for (std::size_t k = 12; k < p.size(); ++k) ASSERT_EQ(p[k], 0xFF) << "PCMU silence, frame " << i;
    if (i == 0) continue;
    const auto& q = audio[i - 1];
    EXPECT_GT(static_cast<std::uint16_t>(u16(p, 2) - u16(q, 2)), 0) << "frame " << i;
    EXPECT_EQ((u32(p, 4) - u32(q, 4)) % 160u, 0u) << "frame " << i;
    EXPECT_EQ(u32(p, 8), u32(q, 8)) << "one SSRC, frame " << i;
  }
}

TEST(CallMediaPacing, SilenceTimeoutMayDestroyTheMediaFromItsOwnFrame) {
  SipThread sip;
  ASSERT_TRUE(sip.running()) << sip.start_error();
  FarEnd far;  // never answers
  MediaClock clock;
  std::unique_ptr<CallMedia> media;
  std::atomic<bool> gone{false};  // set on the SIP thread, watched from this one
  sip.call([&] {
    MediaEvents events;
    // What a provider may do when the call ends; nothing of the handler is used afterwards,
    // as it goes with the media.
    events.silent_too_long = [&gone, &media] {
      gone = true;
      media.reset();
    };
    media = std::make_unique<CallMedia>(clock, nullptr, events, DtmfMode::Rfc4733,
                                        std::chrono::seconds(1));
    ASSERT_EQ(media->open("127.0.0.1"), 0);
    RemoteMedia remote;
    remote.address = "127.0.0.1";
    remote.port = far.port();
    media->start(remote, Negotiated{});
  });
  for (int i = 0; i < 300 && !gone; ++i) {
    ::usleep(10000);
    sip.call([] {});
  }
  bool ticking = true;
  sip.call([&] { ticking = clock.ticking(); });
  EXPECT_TRUE(gone);
  EXPECT_FALSE(ticking);
}

}  // namespace
}  // namespace orvexa::sip
