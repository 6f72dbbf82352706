#include "platform/host/host_services.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace orvexa::host {
namespace {

class CountingIndicator final : public BusyIndicator {
 public:
  void begin() override { ++depth; }
  void end() override { --depth; }
  int depth = 0;
};

TEST(BusyPointer, RestoredHoweverTheScopeIsLeft) {
  CountingIndicator indicator;
  try {
    BusyPointer outer(indicator);
    BusyPointer inner(indicator);
    EXPECT_EQ(indicator.depth, 2);
    throw std::runtime_error("device open failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(indicator.depth, 0);
}

TEST(SystemShell, ReportsTheCommandsOutcomeWithoutAShell) {
  EXPECT_TRUE(SystemShell({"true"}).power_off());
  EXPECT_FALSE(SystemShell({"false"}).power_off());
  EXPECT_FALSE(SystemShell({"/nonexistent/orvexa-poweroff"}).power_off());
  // Arguments reach the program as they are, never through a shell.
  EXPECT_TRUE(SystemShell({"test", "a;b", "=", "a;b"}).power_off());
  EXPECT_FALSE(SystemShell(std::vector<std::string>{}).power_off());
}

TEST(StreamMessageBox, OneLinePerMessage) {
  std::ostringstream out;
  StreamMessageBox box(out);
  box.show("One or more of the arguments is invalid.");
  box.show("second");
  EXPECT_EQ(out.str(), "One or more of the arguments is invalid.\nsecond\n");
}

}  // namespace
}  // namespace orvexa::host
