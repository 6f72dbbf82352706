// Texts of ours about the campaign's records (the documented texts are in campaign_texts.h).
// Status log lines keep to letters that code page 1256 carries.
#pragma once

#include <string_view>

namespace orvexa::campaign::text {

// First line of a resumed campaign's log; the campaign's number follows.
inline constexpr std::string_view kResumedCampaign = "ادامه عمليات نيمه تمام قبلي ، شماره ";
// Message box when the record of a call cannot be written; the store's complaint follows.
inline constexpr std::string_view kRecordsPaused =
    "ثبت تماس‌ها ممکن نیست و کارزار متوقف شد تا تماسی بی‌ثبت نماند. پس از رفع مشکل، کارزار را ادامه دهید.\n";

}  // namespace orvexa::campaign::text
