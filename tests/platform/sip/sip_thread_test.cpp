#include "platform/sip/sip_thread.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sip/call_media.h"

namespace orvexa::sip {
namespace {

TEST(SipThread, RunsPostedWorkInOrderOnItsOwnThread) {
  SipThread sip;
  ASSERT_TRUE(sip.running()) << sip.start_error();
  std::vector<int> seen;
  std::thread::id where;
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(sip.post([&, i] { seen.push_back(i); }));
  EXPECT_TRUE(sip.call([&] { where = std::this_thread::get_id(); }));
  EXPECT_NE(where, std::this_thread::get_id());
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(SipThread, PostsFromManyThreadsAllArrive) {
  SipThread sip;
  std::atomic<int> count{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t)
    posters.emplace_back([&] {
      for (int i = 0; i < 500; ++i) sip.post([&] { ++count; });
    });
  for (auto& p : posters) p.join();
  sip.call([] {});
  EXPECT_EQ(count.load(), 2000);
}

TEST(SipThread, SeveralThreadsAtOnceAndStopWithWorkQueued) {
  // Two stacks in one process share libre's process set-up; stopping one must not break the
  // other, and work left in the queue at shutdown is dropped without running.
  auto first = std::make_unique<SipThread>();
  SipThread second;
  std::atomic<int> ran{0};
  for (int i = 0; i < 1000; ++i) first->post([&] { ++ran; });
  first.reset();
  EXPECT_LE(ran.load(), 1000);
  int after = 0;
  EXPECT_TRUE(second.call([&] { after = 1; }));
  EXPECT_EQ(after, 1);
}

TEST(SipThread, SpacedSetUpsKeepTheirPlaceAmongOtherWork) {
  // A drop posted after a dial must never overtake it, however long the dial waits its turn.
  SipThread sip;
  std::vector<int> order;
  for (int i = 0; i < 20; ++i) {
    if (i % 3 == 0) EXPECT_TRUE(sip.post_setup([&, i] { order.push_back(i); }));
    else EXPECT_TRUE(sip.post([&, i] { order.push_back(i); }));
  }
  EXPECT_TRUE(sip.call([] {}));
  ASSERT_EQ(order.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(order[i], i);
}

TEST(SipThread, StopsWhileSetUpsStillWait) {
  std::atomic<int> ran{0};
  {
    SipThread sip;
    for (int i = 0; i < 200; ++i) sip.post_setup([&] { ++ran; });
  }
  EXPECT_LT(ran.load(), 200);  // 200 spaced set-ups take far longer than a stop
}

TEST(SipThread, WatchesDescriptorsPastTheFirstThousand) {
  // A busy process (a window, a database, hundreds of calls) holds more than 1024 files; the
  // next call's RTP socket must still be watched.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_cur < 1300) GTEST_SKIP() << "descriptor limit " << limit.rlim_cur;
  std::vector<int> held;
  for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0; fd = ::dup(fd)) {
    held.push_back(fd);
    if (fd >= 1100) break;
  }
  ASSERT_GE(held.back(), 1100);
  {
    SipThread sip;
    ASSERT_TRUE(sip.running()) << sip.start_error();
    MediaClock clock;
    int err = -1;
    sip.call([&] {
      CallMedia media(clock, nullptr, MediaEvents{}, DtmfMode::Rfc4733, std::chrono::seconds(0));
      err = media.open("127.0.0.1");
      RemoteMedia remote;
      remote.address = "127.0.0.1";
      remote.port = 9;
      media.start(remote, Negotiated{});
      EXPECT_TRUE(media.running());  // the frame timer is past 1024 too
      media.stop();
    });
    EXPECT_EQ(err, 0);
  }
  for (int fd : held) ::close(fd);
}

}  // namespace
}  // namespace orvexa::sip
