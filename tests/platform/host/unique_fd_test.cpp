#include "platform/host/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <utility>

namespace orvexa::host {
namespace {

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Every descriptor is closed exactly once, whichever way it leaves its owner: a descriptor closed
// twice may by then be another file's.
TEST(UniqueFd, ClosesOnceWhateverWayItLeaves) {
  int raw = -1;
  {
    UniqueFd a(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    raw = a.get();
    ASSERT_TRUE(a);
    UniqueFd b(std::move(a));
    EXPECT_FALSE(a);  // a moved-from owner holds nothing
    UniqueFd c;
    c = std::move(b);
    EXPECT_EQ(c.get(), raw);
    EXPECT_TRUE(is_open(raw));
  }
  EXPECT_FALSE(is_open(raw));

  UniqueFd d(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int first = d.get();
  d.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_FALSE(is_open(first));  // the new one was opened before the old one went
  EXPECT_EQ(d.close(), 0);
  EXPECT_FALSE(d);
  EXPECT_EQ(d.close(), 0);  // nothing left to close

  UniqueFd e(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int kept = e.release();
  e.reset();
  EXPECT_TRUE(is_open(kept));  // released: no longer ours to close
  UniqueFd again(kept);
}

}  // namespace
}  // namespace orvexa::host
