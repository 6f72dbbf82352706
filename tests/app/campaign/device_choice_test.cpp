// The device dialog's capability report and a confirmation that fails.
#include <gtest/gtest.h>

#include "app/campaign/device_choice.h"
#include "campaign_fakes.h"

namespace orvexa::campaign {
namespace {

using namespace testing;

TEST(DeviceChoice, CapabilityReportOrderAndFailure) {
  Rig rig;
  // Device 1: tone detection and wave devices only.
  EXPECT_EQ(capability_report(rig.line, 1),
            (std::vector<std::string>{" ", "دريافت کننده شماره مخاطب غير فعال است", " ",
                                      "شناسايي کننده ارقام پالس غير فعال است", " ",
                                      "شناسايي کننده ارقام تن فعال است", " ",
                                      "امکان پخش و ضبط صدا فعال است", " ",
                                      "درگاه موازي غير فعال است", " "}));
  EXPECT_EQ(capability_report(rig.line, 0).size(), 11u);
  EXPECT_EQ(capability_report(rig.line, 2),
            std::vector<std::string>{std::string(text::kCapsTestFailed)});
  EXPECT_EQ(capability_report(rig.line, -1),
            std::vector<std::string>{std::string(text::kCapsTestFailed)});
}

TEST(DeviceChoice, FailedConfirmationBringsThePreviousLineBack) {
  struct Case {
    const char* name;
    int chosen;
    int activate_result;
    bool closes;
    int active_after;
    std::string box;
  };
  const Case cases[] = {
      {"works", 2, 0, true, 2, ""},
      {"unusable device", 2, 9, false, -1, std::string(text::kDeviceUnusable)},
      {"nothing selected", -1, 0, false, 0, std::string(text::kNoDeviceChosen)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.line.active = 0;
    rig.line.activate_result = c.activate_result;
    EXPECT_EQ(confirm_line_device(rig.line, c.chosen, 0, rig.dialogs), c.closes);
    if (!c.closes) {
      ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
      EXPECT_EQ(rig.dialogs.boxes[0].substr(0, c.box.size()), c.box);
    }
    // The fake refuses every device alike, so a failed reopen shows as -1 and is reported.
    if (c.activate_result != 0) {
      EXPECT_NE(rig.dialogs.boxes[0].size(), c.box.size());
    } else {
      EXPECT_EQ(rig.line.active, c.active_after);
    }
  }
  Rig rig;
  rig.line.active = 0;
  // A device that refuses while the old one reopens: the old one is active again.
  rig.line.activate_result = 0;
  int calls = 0;
  struct Selective final : public LinePort {
    FakeLine& base;
    int& calls;
    Selective(FakeLine& b, int& c) : base(b), calls(c) {}
    int dial(const std::string& n) override { return base.dial(n); }
    void hangup() override {}
    void answer() override {}
    int wave_play_id() override { return 0; }
    int activate(int device) override {
      ++calls;
      return device == 2 ? 9 : base.activate(device);
    }
    int active_device() const override { return base.active; }
    int number_of_lines() override { return 3; }
    std::string line_name(int) override { return {}; }
    int line_caps(int, int&) override { return 0; }
  } selective(rig.line, calls);
  EXPECT_FALSE(confirm_line_device(selective, 2, 0, rig.dialogs));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(rig.line.active, 0);
  EXPECT_EQ(rig.dialogs.boxes.back(), std::string(text::kDeviceUnusable));
}

}  // namespace
}  // namespace orvexa::campaign
