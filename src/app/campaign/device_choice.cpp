#include "app/campaign/device_choice.h"

#include "app/campaign/campaign_texts.h"

namespace orvexa::campaign {

namespace {
struct CapabilityLine {
  int bit;
  const char* on;
  const char* off;
};
constexpr CapabilityLine kCapabilities[] = {
    {4, "دريافت کننده شماره مخاطب فعال است", "دريافت کننده شماره مخاطب غير فعال است"},
    {16, "شناسايي کننده ارقام پالس فعال است", "شناسايي کننده ارقام پالس غير فعال است"},
    {32, "شناسايي کننده ارقام تن فعال است", "شناسايي کننده ارقام تن غير فعال است"},
    {1, "امکان پخش و ضبط صدا فعال است", "امکان پخش و ضبط صدا غير فعال است"},
    {2, "درگاه موازي فعال است", "درگاه موازي غير فعال است"},
};
// Our own words for a line that could not be brought back.
constexpr std::string_view kPreviousLineLost = "دستگاه قبلي نيز فعال نگرديد";
}  // namespace

std::vector<std::string> capability_report(LinePort& line, int device) {
  int caps = 0;
  if (device < 0 || line.line_caps(device, caps) != 0) return {std::string(text::kCapsTestFailed)};
  std::vector<std::string> report{" "};
  for (const auto& c : kCapabilities) {
    report.emplace_back((caps & c.bit) ? c.on : c.off);
    report.emplace_back(" ");
  }
  return report;
}

bool confirm_line_device(LinePort& line, int chosen, int previous, OperatorDialogs& dialogs) {
  if (chosen >= 0 && line.activate(chosen) == 0) return true;
  // Activating closed the line that worked; without it the next campaign could not dial.
  const bool restored = previous >= 0 && line.activate(previous) == 0;
  std::string box(chosen >= 0 ? text::kDeviceUnusable : text::kNoDeviceChosen);
  if (previous >= 0 && !restored) {
    box += "\n";
    box += kPreviousLineLost;
  }
  dialogs.message_box(box);
  return false;
}

}  // namespace orvexa::campaign
