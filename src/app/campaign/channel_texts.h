// Texts of ours about campaigns on several channels and the do-not-call list. Status log lines keep to letters that
// code page 1256 carries.
#pragma once

#include <string>
#include <string_view>

namespace orvexa::campaign::text {

// Status log, after a channel's line refused a dial while other channels still work.
inline constexpr std::string_view kChannelStopped =
    "خط اين کانال از کار افتاد ؛ شماره به کانال ديگري سپرده شد";
// Message box when the campaign asks for more calls at once than its lines carry.
inline std::string channels_offered(int offered) {
  return "خطوط انتخاب‌شده فقط " + std::to_string(offered) + " تماس هم‌زمان را می‌پذیرند.";
}
// Status log, in place of a call to a number on the do-not-call list.
inline constexpr std::string_view kSkippedDnc = "شماره در فهرست عدم تماس است ؛ تماس گرفته نشد";
// Status log, after key 2 put the number on the do-not-call list.
inline constexpr std::string_view kAddedToDnc = "شماره به فهرست عدم تماس افزوده شد";

// Status log, when no call may start now; the Solar date and time of the next window follow.
inline constexpr std::string_view kWaitingForHours = "خارج از ساعات تماس ؛ ادامه عمليات در ";
// Status log, when every member left is waiting for its retry; its Solar date and time follow.
inline constexpr std::string_view kWaitingForRetry = "انتظار براي تماس مجدد ؛ ادامه عمليات در ";
// Status log, when the calling hours open on no day of the coming year.
inline constexpr std::string_view kNeverOpen = "ساعات تماس در هيچ روزي از سال آينده باز نيست";

// Message box when a line could not be opened for a channel.
inline std::string channel_open_failed(int device, int channel, int error) {
  return "خط " + std::to_string(device) + " برای کانال " + std::to_string(channel) +
         " باز نشد (خطای " + std::to_string(error) + ").";
}
// Message box when the program has no lines besides the window's own for more channels.
inline constexpr std::string_view kOneChannelOnly =
    "این برنامه فقط با یک کانال تماس می‌گیرد.";

}  // namespace orvexa::campaign::text
