// The operator's texts of the campaign, call flow and message preparation, byte for byte as the
// operators' documents quote them (blanks included). UTF-8 here; log files carry code page 1256.
#pragma once

#include <string_view>

namespace orvexa::campaign::text {

// Status log framing.
inline constexpr std::string_view kSeparator =
    "------------------------------------------------------------";
inline constexpr std::string_view kDateWord = "تاريخ : ";
inline constexpr std::string_view kTimeWord = "زمان : ";

// Start-up.
inline constexpr std::string_view kLineActivationBox =
    "سيستم در فعال سازي دستگاه مودم با مشکل مواجه گرديد";
inline constexpr std::string_view kLineActivationLog = "بروز مشکل در فعال سازي دستگاه مودم";

// Call flow.
inline constexpr std::string_view kDisconnected = "ارتباط قطع گرديد";
inline constexpr std::string_view kWaitingForCallee = "سيستم در انتظار برقراري ارتباط و پاسخ مخاطب ...";
inline constexpr std::string_view kDialing = "سيستم در حال شماره گيري";
inline constexpr std::string_view kRemoteDisconnected = "ارتباط از جانب مخاطب قطع گرديد";
inline constexpr std::string_view kBusy = "شماره اشغال مي باشد";
inline constexpr std::string_view kRing = "دريافت زنگ تماس";
inline constexpr std::string_view kUnknownError = "بروز مشکل ناشناخته در سيستم";
inline constexpr std::string_view kOpeningPlayFailed = "بروز مشکل در عمليات پخش پيام آغازين";
inline constexpr std::string_view kPlaybackRequested = "درخواست پخش پيام از جانب مخاطب";
inline constexpr std::string_view kPlayFailed = "بروز مشکل در عمليات پخش صدا";
inline constexpr std::string_view kPlaybackRefused = "عدم درخواست پخش پيام از جانب کاربر";
inline constexpr std::string_view kPlayBegin = "آغاز پخش  پيام";
inline constexpr std::string_view kPlayDone = "پايان پخش پيام";
inline constexpr std::string_view kRecBegin = "ضبط صدا آغاز گرديد";
inline constexpr std::string_view kRecDone = "پايان ضبط صدا";
inline constexpr std::string_view kNoResponse = "عدم پاسخ از جانب مخاطب";
inline constexpr std::string_view kIncomingRejected = "رد کردن تماس ورودي";
inline constexpr std::string_view kErrorPrefix = "Error: ";

// Campaign.
inline constexpr std::string_view kNoOpeningMessage =
    "لطفا فايل صوتي پيام آغازين را انتخاب و يا توسط ميکروفون ضبط نماييد";
inline constexpr std::string_view kNoMainMessage =
    "لطفا فايل صوتي پيام اصلي را انتخاب و يا توسط ميکروفون ضبط نماييد";
inline constexpr std::string_view kBadFilterDate =
    "لطفا تاريخ مربوط به فيلتر تاريخ را به صورت کامل و صحيح وارد نماييد";
inline constexpr std::string_view kNoNumber = "لطفا شماره تلفن شخص مورد نظر را وارد نماييد";
inline constexpr std::string_view kOneNumberHeader = "تماس فقط با يک نفر";
inline constexpr std::string_view kOneNumberCaption = "تماس با يک نفر";
inline constexpr std::string_view kRetry = "تلاش مجدد براي برقراري ارتباط";
inline constexpr std::string_view kCalleeNumber = "شماره تلفن مخاطب  :     ";
inline constexpr std::string_view kDialFailed = "بروز مشکل در شماره گيري";
inline constexpr std::string_view kNoGroupChosen = "لطفا گروه مورد نظر جهت تماس را انتخاب نماييد";
inline constexpr std::string_view kEmptyGroup = "هيچ عضوي در اين گروه يافت نگرديد";
inline constexpr std::string_view kOneGroupHeader = "تماس فقط با گروه : ";
inline constexpr std::string_view kNoGroups = "تا کنون هيچ گروهي براي برنامه تعريف نشده است";
inline constexpr std::string_view kGroupHeader = "تماس با گروه : ";
inline constexpr std::string_view kGroupSkipped = "هيچ عضو داراي شرايطي  در  اين گروه  يافت نگرديد";
inline constexpr std::string_view kEndOfOperation = "پايان عمليات";
inline constexpr std::string_view kAllGroupsCaption = "              Call  With  All";
inline constexpr std::string_view kBusyRefusal = "سيستم در حال انجام عمليات مي باشد ، لطفا منتظر بمانيد";

// Message preparation.
inline constexpr std::string_view kRecFailed = "بروز مشکل در عمليات ضبط صدا";
inline constexpr std::string_view kNoFileToPlay =
    "ابتدا فايل صوتي مورد نظر را انتخاب و يا توسط ميکروفون ضبط نماييد";

}  // namespace orvexa::campaign::text
