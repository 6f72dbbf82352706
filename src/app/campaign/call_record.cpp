#include "app/campaign/call_record.h"

#include "platform/telephony/tapi.h"

namespace orvexa::campaign {

namespace {

struct OutcomeText {
  Outcome outcome;
  std::string_view token;
  std::string_view label;
};

constexpr OutcomeText kOutcomeTexts[] = {
    {Outcome::HeardMain, "heard-main", "پیام اصلی را کامل شنید"},
    {Outcome::MainCut, "main-cut", "پیام اصلی را نیمه‌کاره قطع کرد"},
    {Outcome::Declined, "declined", "نخواست (کلید ۲)"},
    {Outcome::NoKey, "no-key", "پاسخ داد، کلیدی نزد"},
    {Outcome::HungUp, "hung-up", "پیش از زدن کلید قطع کرد"},
    {Outcome::Busy, "busy", "اشغال"},
    {Outcome::NoAnswer, "no-answer", "پاسخ نداد"},
    {Outcome::Rejected, "rejected", "رد کرد"},
    {Outcome::Unreachable, "unreachable", "در دسترس نبود"},
    {Outcome::Failed, "failed", "برقرار نشد"},
    {Outcome::Interrupted, "interrupted", "نیمه‌کاره ماند"},
    {Outcome::SkippedDnc, "skipped-dnc", "در فهرست عدم تماس"},
};

constexpr std::pair<CampaignState, std::string_view> kStateTokens[] = {
    {CampaignState::Running, "running"},
    {CampaignState::Finished, "finished"},
    {CampaignState::Stopped, "stopped"},
    {CampaignState::Interrupted, "interrupted"},
};

constexpr std::pair<CampaignChoice, std::string_view> kChoiceTokens[] = {
    {CampaignChoice::OneNumber, "number"},
    {CampaignChoice::OneGroup, "group"},
    {CampaignChoice::AllGroups, "all-groups"},
};

constexpr std::pair<MemberProgress, std::string_view> kProgressTokens[] = {
    {MemberProgress::Pending, "pending"},
    {MemberProgress::RetryDue, "retry"},
    {MemberProgress::Done, "done"},
};

// The token of `value` in a table of pairs, and back.
template <typename Enum, std::size_t N>
std::string_view token_of(const std::pair<Enum, std::string_view> (&table)[N], Enum value) {
  for (const auto& [v, token] : table)
    if (v == value) return token;
  return table[0].second;
}

template <typename Enum, std::size_t N>
std::optional<Enum> value_of(const std::pair<Enum, std::string_view> (&table)[N], std::string_view token) {
  for (const auto& [v, t] : table)
    if (t == token) return v;
  return std::nullopt;
}

const OutcomeText& texts_of(Outcome outcome) {
  for (const auto& t : kOutcomeTexts)
    if (t.outcome == outcome) return t;
  return kOutcomeTexts[0];
}

}  // namespace

std::string_view outcome_token(Outcome outcome) { return texts_of(outcome).token; }
std::string_view outcome_label(Outcome outcome) { return texts_of(outcome).label; }

std::optional<Outcome> outcome_from_token(std::string_view token) {
  for (const auto& t : kOutcomeTexts)
    if (t.token == token) return t.outcome;
  return std::nullopt;
}

bool outcome_answered(Outcome outcome) {
  switch (outcome) {
    case Outcome::HeardMain:
    case Outcome::MainCut:
    case Outcome::Declined:
    case Outcome::NoKey:
    case Outcome::HungUp:
      return true;
    default:
      return false;
  }
}

std::string_view state_token(CampaignState state) { return token_of(kStateTokens, state); }
std::optional<CampaignState> state_from_token(std::string_view token) {
  return value_of(kStateTokens, token);
}


std::string_view choice_token(CampaignChoice choice) { return token_of(kChoiceTokens, choice); }
std::optional<CampaignChoice> choice_from_token(std::string_view token) {
  return value_of(kChoiceTokens, token);
}
std::string_view progress_token(MemberProgress progress) { return token_of(kProgressTokens, progress); }
MemberProgress progress_from_token(std::string_view token) {
  return value_of(kProgressTokens, token).value_or(MemberProgress::Pending);
}

std::string CallCause::text() const {
  if (line_error != 0) return "line error " + std::to_string(line_error);
  std::string out;
  if (sip_status != 0) out = std::to_string(sip_status);
  if (!reason.empty()) out += (out.empty() ? "" : " ") + reason;
  if (!out.empty()) return out;
  switch (disconnect_mode) {
    case telephony::LINEDISCONNECTMODE_REJECT: return "rejected";
    case telephony::LINEDISCONNECTMODE_NOANSWER: return "no answer";
    case telephony::LINEDISCONNECTMODE_BADADDRESS: return "bad address";
    case telephony::LINEDISCONNECTMODE_UNREACHABLE: return "unreachable";
    case telephony::LINEDISCONNECTMODE_UNAVAIL: return "unavailable";
    case telephony::LINEDISCONNECTMODE_NODIALTONE: return "no dial tone";
    default: return {};
  }
}

}  // namespace orvexa::campaign
