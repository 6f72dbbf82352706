// Construction, the hidden window, events, the pending request list and its time-out timer.
#include "components/phone/kdphone.h"

#include <algorithm>

namespace orvexa::components {

namespace {
constexpr std::uintptr_t kTimeOutTimer = 1;
constexpr std::chrono::milliseconds kTimeOutInterval{150};
}  // namespace

KDPhone::KDPhone(messaging::Loop& loop, tel::TelephonyApi& api, KDPhoneServices services)
    : TTEL_ComponentVCL(loop),
      api_(api),
      services_(services),
      aux_(std::make_unique<TExtDev>(*this, 2)),
      handset_(std::make_unique<TExtDev>(*this, 1)),
      modem_speaker_(std::make_unique<TModemSpeaker>()),
      timer_window_(loop, [this](UINT m, WPARAM, LPARAM) {
        if (m == messaging::WM_TIMER) CheckTimeOuts();
        return LRESULT{0};
      }) {
}

KDPhone::~KDPhone() {
  destroying_ = true;
  if (state_ != LineState::Uninitialised) {
    CloseLine();
    api_.lineShutdown(line_app_);
    api_.phoneShutdown(phone_app_);
    state_ = LineState::Uninitialised;
  }
  SetTimer(false);
}

void KDPhone::WndProc(TMessage& m) {
  TTEL_ComponentVCL::WndProc(m);
  switch (m.Msg) {
    case kLineRelayMessage:
      if (m.WParam == 0) {
        DispatchLine(line_relay_);
      } else if (m.WParam == 1) {
        DispatchCallState(current_call_, tel::LINECALLSTATE_BUSY, 0);
      } else if (m.WParam == 2) {
        DispatchCallState(current_call_, tel::LINECALLSTATE_DISCONNECTED,
                          tel::LINEDISCONNECTMODE_NODIALTONE);
      } else if (m.WParam == 3) {
        const CallEntry* e = FindCall(current_call_);
        RaiseCallState(csConnected, 2, e ? e->user_value : 0, current_call_);
      }
      break;
    case kPhoneRelayMessage:
      DispatchPhone(phone_relay_);
      break;
    case kHangupMessage:
      if (m.WParam == 0) {
        current_call_ = static_cast<tel::HCALL>(m.LParam);
        Hangup();
      }
      break;
    case kPassthroughMessage:
      m.Result = SwitchPassthrough(true, m.WParam == 1,
                                   static_cast<messaging::WindowHandle>(m.LParam));
      break;
    default:
      DefaultHandler(m);
  }
}

// --- events ---

void KDPhone::RaiseLineState(TLineState state, int param) {
  if (OnLineState && !destroying_) OnLineState(*this, state, param);
}

void KDPhone::RaiseCallState(TCallState state, int p1, int p2, tel::HCALL call) {
  if (OnCallState && !destroying_) OnCallState(*this, state, p1, p2, static_cast<int>(call));
}

void KDPhone::RaiseBeforeDisconnect(tel::HCALL call) {
  if (OnBeforeDisconnect && !destroying_) OnBeforeDisconnect(*this, static_cast<int>(call));
}

void KDPhone::ReportError(tel::HCALL call, int code) {
  if (call != 0) {
    current_call_ = call;
    RaiseCallState(csError, code, 0, call);
  } else {
    RaiseLineState(lsError, code);
  }
}

// --- pending requests ---

RequestOrigin KDPhone::Origin(int extra_ms) const {
  // The loop's monotonic clock: a change of the calendar time moves no deadline.
  return {line_, Loop().now() + std::chrono::milliseconds(time_out_) +
                     std::chrono::milliseconds(extra_ms)};
}

void KDPhone::EnterRequest(PendingRequest request) {
  pending_.enter(std::move(request));
  SetTimer(true);
}

void KDPhone::SetTimer(bool enabled) {
  if (enabled == timer_enabled_) return;
  timer_window_.kill_timer(kTimeOutTimer);
  timer_enabled_ = false;
  if (!enabled) return;
  if (!timer_window_.set_timer(kTimeOutTimer, kTimeOutInterval)) {
    // Left off, so the next request tries again.
    RaiseLineState(lsError, err::kNoMemory);
    return;
  }
  timer_enabled_ = true;
}

void KDPhone::CheckTimeOuts() {
  const messaging::TimePoint now = Loop().now();
  // Each expired entry leaves the list before it is handled: handling can hang up, which lets
  // the loop run and can bring this check back in a nested tick.
  while (std::optional<PendingRequest> expired = pending_.take_expired(now)) {
    PendingRequest& r = *expired;
    // The service may still write a late reply into the cell while the line stays open.
    if (r.has_cell() && state_ == LineState::Open && r.line() == line_)
      orphan_cells_.emplace(r.id(), r.take_cell());
    switch (r.kind()) {
      case RequestKind::ConsultDial:
      case RequestKind::ConsultFinish: {
        const TConsults* c = ConsultByCall(r.call());
        const tel::HCALL primary = c ? c->primary : 0;
        if (r.kind() == RequestKind::ConsultFinish) TransferFailed(r);
        RaiseConsultState(ccsError, err::kTimeOut, r.call(), primary);
        continue;
      }
      case RequestKind::BlindTransfer:
      case RequestKind::TransferAToB:
        TransferFailed(r);
        break;
      case RequestKind::ConsultSetup:
        ConsultSetupTimedOut(r);
        break;
      case RequestKind::PickUpDial:
      case RequestKind::Answer: {
        const tel::HCALL previous = current_call_;
        current_call_ = r.call();
        Hangup();
        current_call_ = previous;
        break;
      }
      case RequestKind::Drop:
        RestoreAfterDrop(r.call());
        ContinueDropChain(r.call(), r.param());
        break;
      default:
        break;
    }
    ReportError(r.call(), err::kTimeOut);
  }
  if (pending_.empty()) SetTimer(false);
}

// --- call list ---

KDPhone::CallEntry* KDPhone::FindCall(tel::HCALL call) {
  auto it = std::find_if(calls_.begin(), calls_.end(),
                         [call](const CallEntry& e) { return e.handle == call; });
  return it == calls_.end() ? nullptr : &*it;
}

const KDPhone::CallEntry* KDPhone::FindCall(tel::HCALL call) const {
  auto it = std::find_if(calls_.begin(), calls_.end(),
                         [call](const CallEntry& e) { return e.handle == call; });
  return it == calls_.end() ? nullptr : &*it;
}

KDPhone::CallEntry& KDPhone::EnsureCall(tel::HCALL call) {
  if (CallEntry* e = FindCall(call)) return *e;
  CallEntry e;
  e.handle = call;
  e.rings = InitialRingNumber;
  calls_.push_back(e);
  return calls_.back();
}

void KDPhone::RemovePickedUp(tel::HCALL call) {
  picked_up_.erase(std::remove(picked_up_.begin(), picked_up_.end(), call), picked_up_.end());
}

bool KDPhone::IsCallConnected(int call) const {
  const CallEntry* e = FindCall(static_cast<tel::HCALL>(call));
  if (!e) return false;
  switch (e->state) {
    case csConnected:
    case csOnHold:
    case csUnhold:
    case csInConference:
    case csRemovedFromConference: return true;
    default: return false;
  }
}

bool KDPhone::IsConnected() const { return IsCallConnected(static_cast<int>(current_call_)); }

int KDPhone::GetCallState(int index, TCallState& state) const {
  if (index < 0 || index >= static_cast<int>(calls_.size())) return err::kInvalidArgument;
  state = calls_[static_cast<std::size_t>(index)].state;
  return 0;
}

int KDPhone::GetCallHandle(int index, int& call) const {
  if (index < 0 || index >= static_cast<int>(calls_.size())) return err::kInvalidArgument;
  call = static_cast<int>(calls_[static_cast<std::size_t>(index)].handle);
  return 0;
}

}  // namespace orvexa::components
