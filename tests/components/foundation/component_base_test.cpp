#include "components/foundation/component_base.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;

// A component as the line and voice components are built: the base first, then its own numbers.
class Probe final : public TTEL_ComponentVCL {
 public:
  using TTEL_ComponentVCL::TTEL_ComponentVCL;
  std::vector<UINT> handled;
  void WndProc(TMessage& m) override {
    TTEL_ComponentVCL::WndProc(m);
    if (m.Msg == messaging::WM_USER + 400) {
      handled.push_back(m.Msg);
      m.Result = static_cast<LRESULT>(m.WParam * 2);
      return;
    }
    if (m.Msg == messaging::WM_TIMER) {
      handled.push_back(m.Msg);
      return;
    }
    DefaultHandler(m);
  }
};

class ComponentBaseTest : public ::testing::Test {
 protected:
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
};

TEST_F(ComponentBaseTest, VersionIgnoresWrites) {
  Probe p(loop);
  p.SetVersion("9.9");
  EXPECT_EQ(p.Version(), "3.5 (Build 61)");
}

TEST_F(ComponentBaseTest, MessagesAndTimersReachTheOverride) {
  Probe p(loop);
  EXPECT_EQ(p.Window().send(messaging::WM_USER + 400, 21), 42);
  p.Window().post(messaging::WM_USER + 1);  // not handled: default procedure, result 0
  p.Window().set_timer(3, 1000ms);
  loop.run_for(2s);
  EXPECT_EQ(p.handled, (std::vector<UINT>{messaging::WM_USER + 400, messaging::WM_TIMER,
                                          messaging::WM_TIMER}));
}

TEST_F(ComponentBaseTest, TimersStopWhenTheComponentGoes) {
  auto p = std::make_unique<Probe>(loop);
  p->Window().set_timer(1, 100ms);
  p.reset();
  EXPECT_EQ(loop.timer_count(), 0u);
  loop.run_for(1s);  // nothing left to call into a destroyed component
}

TEST_F(ComponentBaseTest, WideTestRunsOnceAndFollowsTheLastError) {
  struct Case {
    WideProbeResult probe;
    bool wide;
  };
  const Case cases[] = {
      {{true, 0}, true},
      {{false, ERROR_CALL_NOT_IMPLEMENTED}, false},
      {{false, 122}, true},  // a too small buffer still proves the wide call exists
  };
  for (const auto& c : cases) {
    int calls = 0;
    Probe p(loop, [&] {
      ++calls;
      return c.probe;
    });
    EXPECT_FALSE(p.WideTestDone());
    EXPECT_EQ(p.WideAvailable(), c.wide);
    EXPECT_EQ(p.WideAvailable(), c.wide);
    EXPECT_TRUE(p.WideTestDone());
    EXPECT_EQ(calls, 1);
  }
}

TEST_F(ComponentBaseTest, GetErrorTextGivesEmptyTextForUnknownNumbers) {
  Probe p(loop);
  EXPECT_EQ(p.GetErrorText(-97), "The filename, directory name or volume label was not found.");
  EXPECT_EQ(p.GetErrorText(0), "");
  EXPECT_EQ(p.GetErrorText(13), "");
}

}  // namespace
}  // namespace orvexa::components
