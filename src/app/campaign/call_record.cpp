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
};

constexpr std::pair<CampaignState, std::string_view> kStateTokens[] = {
    {CampaignState::Running, "running"},
    {CampaignState::Finished, "finished"},
    {CampaignState::Stopped, "stopped"},
    {CampaignState::Interrupted, "interrupted"},
};

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

std::string_view state_token(CampaignState state) {
  for (const auto& [s, token] : kStateTokens)
    if (s == state) return token;
  return "running";
}

std::optional<CampaignState> state_from_token(std::string_view token) {
  for (const auto& [s, t] : kStateTokens)
    if (t == token) return s;
  return std::nullopt;
}

std::string_view choice_token(CampaignChoice choice) {
  switch (choice) {
    case CampaignChoice::OneNumber: return "number";
    case CampaignChoice::OneGroup: return "group";
    case CampaignChoice::AllGroups: return "all-groups";
  }
  return "number";
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
