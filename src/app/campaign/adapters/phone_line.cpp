#include "app/campaign/adapters/phone_line.h"

#include <algorithm>
#include <charconv>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"
#include "platform/host/utf.h"
#include "platform/telephony/telephony_api.h"

namespace orvexa::campaign {

using namespace components;
namespace tel = telephony;

namespace {

// Room for a status line and a reason phrase, so the status is read in one call.
constexpr std::size_t kStatusSize = sizeof(tel::LINECALLSTATUS) + 128;

// The device-specific part as text: up to its first zero; empty when it lies outside.
std::string ended_text(const tel::VarBuffer<tel::LINECALLSTATUS>& status) {
  const auto part = tel::checked_part(status.bytes(), sizeof(tel::LINECALLSTATUS),
                                      status->dwDevSpecificSize, status->dwDevSpecificOffset);
  if (!part) return {};
  std::string text(part->begin(), part->end());
  return text.substr(0, text.find('\0'));
}

CallEvent call_event_of(TCallState state) {
  switch (state) {
    case csDisconnected: return CallEvent::Disconnected;
    case csConnected: return CallEvent::Connected;
    case csDialing: return CallEvent::Dialing;
    case csRemotePartyDisconnected: return CallEvent::RemoteDisconnected;
    case csBusy: return CallEvent::Busy;
    case csRing: return CallEvent::Ring;
    case csError: return CallEvent::Error;
    default: return CallEvent::Other;
  }
}

}  // namespace

CallCause cause_from_status(std::uint32_t state, std::uint32_t mode, std::string_view ended) {
  CallCause cause;
  if (state == tel::LINECALLSTATE_DISCONNECTED) cause.disconnect_mode = mode;
  if (state == tel::LINECALLSTATE_BUSY) cause.disconnect_mode = tel::LINEDISCONNECTMODE_BUSY;
  // "486 Busy Here": a final SIP status and its phrase; anything else is words alone.
  int code = 0;
  const char* digits_end = ended.data() + std::min<std::size_t>(3, ended.size());
  const auto [end, ec] = std::from_chars(ended.data(), digits_end, code);
  const bool status_line = ec == std::errc() && end == ended.data() + 3 && code >= 100 &&
                           code <= 699 && (ended.size() == 3 || ended[3] == ' ');
  if (status_line) {
    cause.sip_status = code;
    ended.remove_prefix(std::min<std::size_t>(4, ended.size()));
  }
  cause.reason = std::string(ended);
  return cause;
}

PhoneLine::PhoneLine(messaging::Loop& loop, telephony::TelephonyApi& api, host::BusyIndicator& busy)
    : api_(api),
      phone_(std::make_unique<KDPhone>(loop, api, KDPhoneServices{&busy, nullptr})) {
  phone_->AutoDisconnect = true;
  phone_->MediaMode = mmVoice;
  phone_->LinePrivilege = lpOwner;
  phone_->WaitForDialTone = false;
  phone_->SetTimeOut(10000);
  phone_->InitialRingNumber = 1;
  phone_->AddressID = 0;
  phone_->ShowModemIcon = false;
}

PhoneLine::~PhoneLine() = default;

void PhoneLine::bind(LineHandlers handlers) {
  auto h = std::make_shared<LineHandlers>(std::move(handlers));
  phone_->OnCallState = [this, h](KDPhone&, TCallState state, int, int, int call) {
    // Before the flow hears of the end, and before the component releases the call.
    const auto handle = static_cast<std::uint32_t>(call);
    if (state == csRemotePartyDisconnected || state == csBusy || state == csNoDialTone)
      keep_cause(handle, state == csBusy);
    else if (state == csDisconnected && handle != cause_of_)
      keep_cause(handle, false);  // it went idle with nothing said before
    if (h->call_state) h->call_state(call_event_of(state));
  };
  phone_->OnBeforeDisconnect = [h](KDPhone&, int) {
    if (h->before_disconnect) h->before_disconnect();
  };
  phone_->OnDigitDetected = [h](KDPhone&, char digit, int) {
    if (h->digit) h->digit(digit);
  };
}

int PhoneLine::dial(const std::string& number) {
  cause_ = {};
  cause_of_ = 0;
  const int result = phone_->DialNumber(number, 0);
  cause_.line_error = result;
  return result;
}

void PhoneLine::keep_cause(std::uint32_t call, bool busy) {
  if (call == 0 || call == cause_of_) return;
  cause_of_ = call;
  const auto read = read_variable<tel::LINECALLSTATUS>(
      kStatusSize, [&](tel::LINECALLSTATUS* s) { return api_.lineGetCallStatus(call, s); });
  cause_ = read.ok() ? cause_from_status(read.buffer->get()->dwCallState,
                                         read.buffer->get()->dwCallStateMode,
                                         ended_text(*read.buffer))
                     : CallCause{};
  // The status may have moved on (idle) before the report came: busy says enough itself.
  if (busy && cause_.disconnect_mode == 0) cause_.disconnect_mode = tel::LINEDISCONNECTMODE_BUSY;
}
void PhoneLine::hangup() { phone_->Hangup(); }
void PhoneLine::answer() { phone_->Answer(0); }
int PhoneLine::wave_play_id() {
  // On a line with channels each call has its own output; otherwise it is the line's.
  int device = -2;
  const int call = phone_->CurrentCall();
  if (call != 0 && phone_->GetWavePlayIDFrom(false, call, device) == 0 && device >= 0) return device;
  return phone_->WavePlayID();
}

bool PhoneLine::refused_for_capacity(int error) const { return error == err::kLineAllocated; }

int PhoneLine::channels(int device) {
  int calls = 1;
  return phone_->GetMaxActiveCalls(device, calls) == 0 ? calls : 1;
}
int PhoneLine::activate(int device) { return phone_->LineActive(device, true); }
int PhoneLine::active_device() const { return phone_->IsActive() ? phone_->LineID() : -1; }
int PhoneLine::number_of_lines() { return phone_->NumberOfLines(); }
int PhoneLine::line_caps(int device, int& caps) { return phone_->GetLineCaps(device, caps); }

std::string PhoneLine::line_name(int device) {
  std::u16string name;
  if (phone_->GetLineName(device, name) != 0) return {};
  return host::to_utf8(name);
}

}  // namespace orvexa::campaign
