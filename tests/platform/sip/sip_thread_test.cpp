#include "platform/sip/sip_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace orvexa::sip
