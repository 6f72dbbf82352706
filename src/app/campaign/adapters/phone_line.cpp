#include "app/campaign/adapters/phone_line.h"

#include "components/phone/kdphone.h"
#include "platform/host/utf.h"

namespace orvexa::campaign {

using namespace components;

namespace {
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

PhoneLine::PhoneLine(messaging::Loop& loop, telephony::TelephonyApi& api, host::BusyIndicator& busy)
    : phone_(std::make_unique<KDPhone>(loop, api, KDPhoneServices{&busy, nullptr})) {
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
  phone_->OnCallState = [h](KDPhone&, TCallState state, int, int, int) {
    if (h->call_state) h->call_state(call_event_of(state));
  };
  phone_->OnBeforeDisconnect = [h](KDPhone&, int) {
    if (h->before_disconnect) h->before_disconnect();
  };
  phone_->OnDigitDetected = [h](KDPhone&, char digit, int) {
    if (h->digit) h->digit(digit);
  };
}

int PhoneLine::dial(const std::string& number) { return phone_->DialNumber(number, 0); }
void PhoneLine::hangup() { phone_->Hangup(); }
void PhoneLine::answer() { phone_->Answer(0); }
int PhoneLine::wave_play_id() { return phone_->WavePlayID(); }
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
