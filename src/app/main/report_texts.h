// What the report page says, in Persian, in one place for the page and its tests.
#pragma once

#include <string_view>

namespace orvexa::app {

namespace report_text {
inline constexpr std::string_view kMissing =
    "هنوز هیچ کارزاری ثبت نشده است: فایل calls.db در پوشه برنامه نیست.";
inline constexpr std::string_view kUnreadable = "فایل گزارش تماس‌ها (calls.db) خوانده نشد: ";
inline constexpr std::string_view kNoCampaigns = "در calls.db هنوز کارزاری ثبت نشده است.";
inline constexpr std::string_view kBadDates =
    "تاریخ‌ها را به شکل ۱۴۰۵/۰۹/۱۸ بنویسید؛ تاریخ آغاز نباید پس از تاریخ پایان باشد.";
inline constexpr std::string_view kSaved = "گزارش ذخیره شد: ";
inline constexpr std::string_view kNotSaved = "گزارش ذخیره نشد: ";
inline constexpr std::string_view kAllOutcomes = "همه نتیجه‌ها";
inline constexpr std::string_view kAllGroups = "همه گروه‌ها";
inline constexpr std::string_view kInProgress = "در جریان";
inline constexpr std::string_view kSum = "جمع";
inline constexpr std::string_view kReading = "در حال خواندن calls.db ...";
inline constexpr std::string_view kShown = "تماس‌های نمایش داده شده: ";
}  // namespace report_text

}  // namespace orvexa::app
