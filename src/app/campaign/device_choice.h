// The device dialog's logic: the capability report of a line device and the confirmation that
// makes it the active line, with the line that worked before brought back when it fails.
#pragma once

#include <string>
#include <vector>

#include "app/campaign/ports.h"

namespace orvexa::campaign {

// One blank line, then per capability its line and a blank line; a failed query gives one line.
std::vector<std::string> capability_report(LinePort& line, int device);

// Activates `chosen` (-1: nothing selected). False keeps the dialog open; the operator has
// been told why, and the previous line is active again when it could be reopened.
bool confirm_line_device(LinePort& line, int chosen, int previous, OperatorDialogs& dialogs);

namespace text {
inline constexpr std::string_view kNoLineDevices = "هيچ دستگاه ارتباطي بر روي سيستم نصب نمي باشد";
inline constexpr std::string_view kCapsTestFailed = "بروز مشکل در عمليات تست دستگاه انتخاب شده";
inline constexpr std::string_view kDeviceUnusable =
    "سخت افزار انتخاب شده , توسط اين برنامه قابل استفاده نمي باشد";
inline constexpr std::string_view kNoDeviceChosen = "هيچ سخت افزاري انتخاب نگرديده است";
inline constexpr std::string_view kDeviceDialogCaption = "انتخاب سخت افزار مورد استفاده";
}  // namespace text

}  // namespace orvexa::campaign
