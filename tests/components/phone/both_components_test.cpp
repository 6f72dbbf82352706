// The line and voice components are used side by side by the call flow; their headers must
// compile together in one file.
#include <gtest/gtest.h>

#include <type_traits>

#include "components/phone/kdphone.h"
#include "components/voice/kd_voice.h"

namespace orvexa::components {
namespace {

TEST(BothComponents, NotifyEventsStayDistinct) {
  static_assert(!std::is_same_v<KDPhone::TNotifyEvent, TNotifyEvent>);
  int raised = 0;
  KDPhone::TNotifyEvent event = [&](KDPhone&) { ++raised; };
  EXPECT_TRUE(static_cast<bool>(event));
  EXPECT_EQ(raised, 0);
}

}  // namespace
}  // namespace orvexa::components
