// The service's line notifications turned into events, and the completion of requests.
#include <algorithm>
#include <string>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"

namespace orvexa::components {

using namespace telephony;

namespace {

int DialErrorCode(LONG r) {
  if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
  if (r == LINEERR_INVALADDRESS) return err::kInvalidDialNumber;
  return err::kCallOperation;
}

}  // namespace

void KDPhone::DispatchLine(const Relay& relay) {
  // The record is overwritten by the next notification: read it once.
  const Relay r = relay;
  const HCALL call = r.device;
  switch (r.message) {
    case LINE_CALLINFO: DispatchCallInfo(call, static_cast<DWORD>(r.p1)); break;
    case LINE_CALLSTATE:
      DispatchCallState(call, static_cast<DWORD>(r.p1), static_cast<DWORD>(r.p2));
      break;
    case LINE_CLOSE:
      // The service closed the line: our phone and data-modem handles go with it, so the line
      // can be opened again; the call entries stay.
      if (phone_ != 0) {
        api_.phoneClose(phone_);
        phone_ = 0;
      }
      if (comm_handle_) {
        api_.closeCommHandle(comm_handle_);
        comm_handle_ = 0;
        comm_call_ = 0;
      }
      line_ = 0;
      orphan_cells_.clear();
      state_ = LineState::Closed;
      RaiseLineState(lsDeactivated, 0);
      break;
    case LINE_LINEDEVSTATE:
      if (r.p1 == LINEDEVSTATE_RINGING && !calls_.empty()) DispatchRings();
      break;
    case LINE_MONITORDIGITS:
      if (OnDigitDetected) OnDigitDetected(*this, static_cast<char>(r.p1 & 0xFF), static_cast<int>(call));
      break;
    case LINE_MONITORMEDIA:
      if ((r.p1 == LINEMEDIAMODE_G3FAX || r.p1 == LINEMEDIAMODE_G4FAX) && OnFaxToneDetected &&
          !destroying_) {
        const auto now = Loop().now();
        if (!last_fax_tone_ || now - *last_fax_tone_ > std::chrono::seconds(3)) {
          last_fax_tone_ = now;
          OnFaxToneDetected(*this, static_cast<int>(call));
        }
      }
      break;
    case LINE_MONITORTONE:
      if (OnToneDetected) OnToneDetected(*this, static_cast<int>(r.p1), static_cast<int>(call));
      break;
    case LINE_REPLY:
      DispatchReply(static_cast<LONG>(r.p1), static_cast<LONG>(static_cast<DWORD>(r.p2)));
      break;
    default: break;
  }
}

void KDPhone::DispatchPhone(const Relay& relay) {
  const Relay r = relay;
  switch (r.message) {
    case PHONE_CLOSE:
      if (r.device == phone_) phone_ = 0;
      break;
    case PHONE_REPLY: {
      // Take every request with that number off the list before reporting any of them.
      const std::vector<PendingRequest> answered = pending_.take_all(static_cast<LONG>(r.p1));
      if (static_cast<LONG>(static_cast<DWORD>(r.p2)) < 0)
        for (const PendingRequest& request : answered)
          RaiseLineState(lsError, request.kind() == RequestKind::HookSwitch
                                      ? err::kMicSpeakerState
                                      : err::kExtDeviceUnavailable);
      if (pending_.empty()) SetTimer(false);
      break;
    }
    case PHONE_STATE: {
      struct Bit {
        DWORD bit;
        TExtPhoneState state;
      };
      static constexpr Bit kBits[] = {{0x20, tpsDisplay}, {0x40, tpsLamp}, {0x80, tpsRingMode},
                                      {0x100, tpsRingVolume}};
      for (const Bit& b : kBits)
        if ((r.p1 & b.bit) && OnExtPhoneChanged) OnExtPhoneChanged(*this, b.state);
      if ((r.p1 & 0x1000) && OnExtDevAuxChanged) OnExtDevAuxChanged(*this);
      if (r.p1 & 0x200) {
        if (OnExtDevHandsetChanged) OnExtDevHandsetChanged(*this);
        RaiseHookState();
      }
      break;
    }
    default: break;
  }
}

void KDPhone::DispatchRings() {
  // Over a copy of the handles: a handler may answer or hang up, changing the list.
  std::vector<HCALL> handles;
  for (const CallEntry& e : calls_)
    if (e.state == csOffering || e.state == csRing) handles.push_back(e.handle);
  if (handles.empty() && calls_.size() == 1) handles.push_back(calls_.front().handle);
  for (HCALL h : handles) {
    CallEntry* e = FindCall(h);
    if (!e) continue;
    e->state = csRing;
    current_call_ = h;
    const int ring = e->rings;
    RaiseCallState(csRing, ring, 0, h);
    if (CallEntry* again = FindCall(h)) again->rings = ring + 1;
  }
}

void KDPhone::DispatchCallState(HCALL call, DWORD state, DWORD mode) {
  if (DispatchConsultation(call, state, mode) || DispatchConference(call, state, mode)) return;
  const CallEntry* entry = FindCall(call);
  std::optional<TCallState> result;
  switch (state) {
    case LINECALLSTATE_IDLE:
      result = entry && (entry->state == csOffering || entry->state == csRing) ? csOfferedCallDropped
                                                                              : csDisconnected;
      if (comm_handle_ && comm_call_ == call) {
        api_.closeCommHandle(comm_handle_);
        comm_handle_ = 0;
        comm_call_ = 0;
      }
      last_caller_key_.clear();
      last_called_key_.clear();
      break;
    case LINECALLSTATE_OFFERING: result = csOffering; break;
    case LINECALLSTATE_DIALTONE: result = csDialTone; break;
    case LINECALLSTATE_DIALING:
      if (std::find(picked_up_.begin(), picked_up_.end(), call) == picked_up_.end())
        result = csDialing;
      break;
    case LINECALLSTATE_RINGBACK: result = csRingBack; break;
    case LINECALLSTATE_BUSY: result = csBusy; break;
    case LINECALLSTATE_CONNECTED:
      if (entry && entry->state == csOnHold) {
        result = csUnhold;
      } else if (entry && entry->state == csInConference) {
        result = csRemovedFromConference;
      } else {
        StartMonitoring(call);
        result = csConnected;
      }
      break;
    case LINECALLSTATE_PROCEEDING: result = csProceeding; break;
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDCONF:
    case LINECALLSTATE_ONHOLDPENDTRANSFER: result = csOnHold; break;
    case LINECALLSTATE_CONFERENCED: result = csInConference; break;
    case LINECALLSTATE_DISCONNECTED:
      if (mode == LINEDISCONNECTMODE_BUSY) {
        result = csBusy;
      } else if (mode == LINEDISCONNECTMODE_NODIALTONE) {
        result = csNoDialTone;
      } else if (entry && !entry->dropping) {
        result = csRemotePartyDisconnected;
      }
      last_caller_key_.clear();
      last_called_key_.clear();
      break;
    default: break;
  }
  if (result) ReportCallState(call, *result);
}

void KDPhone::ReportCallState(HCALL call, TCallState state) {
  current_call_ = call;
  CallEntry& e = EnsureCall(call);
  if (state == csWaitingDisconnection && e.state != csWaitingDisconnection) {
    e.before_drop = e.state;
    e.dropping = true;
  }
  e.state = state;
  const int user_value = e.user_value;
  if (state == csConnected && current_media_mode_ == mmFax) {
    RaiseCallState(csWaitingForFaxCommand, 0, 0, current_call_);
  } else if (state == csConnected) {
    RaiseCallState(csConnected, current_media_mode_ == mmData ? 1 : 0, user_value, current_call_);
  } else {
    RaiseCallState(state, 0, 0, current_call_);
  }
  if (state == csDisconnected || state == csOfferedCallDropped) {
    ReleaseCall(call);
  } else if ((state == csRemotePartyDisconnected || state == csBusy || state == csNoDialTone) &&
             AutoDisconnect) {
    // The call that reported, even if a handler made another call current meanwhile.
    current_call_ = call;
    Hangup();
  }
}

void KDPhone::ReleaseCall(HCALL call) {
  api_.lineDeallocateCall(call);
  ReleaseConsultHandles(call);
  calls_.erase(std::remove_if(calls_.begin(), calls_.end(),
                              [call](const CallEntry& e) { return e.handle == call; }),
               calls_.end());
  // A handle the service gives out again must not inherit a hidden dialling state.
  RemovePickedUp(call);
}

void KDPhone::StartMonitoring(HCALL call) {
  api_.lineMonitorDigits(call, line_info_.monitor_digits);
  api_.lineMonitorMedia(call, line_info_.monitor_media);
}

void KDPhone::DispatchReply(LONG request, LONG result) {
  std::optional<PendingRequest> taken = pending_.take(request);
  if (!taken) {
    // A late reply for a request that timed out: its cell can go now.
    orphan_cells_.erase(request);
    if (pending_.empty()) SetTimer(false);
    return;
  }
  CompleteReply(*taken, result);
}

void KDPhone::CompleteReply(PendingRequest& r, LONG result) {
  const bool ok = result >= 0;
  switch (r.kind()) {
    case RequestKind::MakeCall:
    case RequestKind::Conference:
      if (!ok) {
        if (r.kind() == RequestKind::MakeCall) RaiseLineState(lsError, DialErrorCode(result));
        else ReportError(r.call(), DialErrorCode(result));
        return;
      }
      if (r.new_call() == 0) {
        // Success without a call: nothing to enter.
        ReportError(r.call(), err::kCallOperation);
        return;
      }
      EnsureCall(r.new_call()).user_value = static_cast<int>(r.param());
      return;
    case RequestKind::PickUp: {
      if (!ok) {
        RaiseLineState(lsError, err::kTimeOut);
        return;
      }
      const HCALL call = r.new_call();
      EnsureCall(call).user_value = static_cast<int>(r.param());
      const LONG dial = api_.lineDial(call, "", 0);
      if (dial > 0) {
        EnterCallRequest(dial, call, RequestKind::PickUpDial);
        picked_up_.push_back(call);
        return;
      }
      RaiseLineState(lsError, err::kTimeOut);
      // The call is off hook with nothing to do: drop it, as a time-out of this step would,
      // even though it has reported no state yet.
      const HCALL previous = current_call_;
      current_call_ = call;
      DropCall(call);
      current_call_ = previous;
      return;
    }
    case RequestKind::ConsultDial:
    case RequestKind::ConsultFinish:
    case RequestKind::ConsultSetup:
      CompleteConsultReply(r, result);
      return;
    case RequestKind::BlindTransfer:
    case RequestKind::HoldOrUnhold:
      if (!ok) {
        TransferFailed(r);
        ReportError(r.call(), DialErrorCode(result));
      }
      return;
    case RequestKind::Drop:
      if (!ok) {
        RestoreAfterDrop(r.call());
        ReportError(r.call(), err::kHangupOperation);
      }
      ContinueDropChain(r.call(), r.param());
      return;
    case RequestKind::Passthrough:
      if (!ok) {
        ReportError(r.call(), result == LINEERR_NOMEM ? err::kNoMemory : err::kFailed);
        return;
      }
      if (r.passthrough_on()) {
        api_.lineMonitorDigits(r.call(), 0);
        api_.lineMonitorMedia(r.call(), 0);
        passthrough_ = true;
      } else {
        StartMonitoring(r.call());
        passthrough_ = false;
      }
      if (r.notify() != messaging::kNoWindow) Loop().send(r.notify(), kPassthroughMessage, 0, 0);
      return;
    default:
      if (!ok) {
        TransferFailed(r);
        const int code = result == LINEERR_NOMEM    ? err::kNoMemory
                         : result == LINEERR_NOTOWNER ? err::kNotOwner
                                                      : err::kFailed;
        ReportError(r.call(), code);
      }
      return;
  }
}

void KDPhone::RestoreAfterDrop(HCALL call) {
  // The drop was refused or never answered: the call is not on its way out, so Hangup works
  // again and the far end's hang-up is reported.
  if (CallEntry* e = FindCall(call); e && e->state == csWaitingDisconnection) {
    e->state = e->before_drop;
    e->dropping = false;
  }
}

void KDPhone::ContinueDropChain(HCALL call, std::intptr_t length) {
  if (length < 1) return;
  if (const TConsults* c = length >= 2 ? ConsultOf(call) : nullptr; c && c->consult_call()) {
    const LONG r = api_.lineDrop(c->consult_call(), nullptr, 0);
    if (r <= 0) {
      ReportError(call, err::kHangupOperation);
      return;
    }
    EnterCallRequest(r, call, RequestKind::Drop, 1);
    return;
  }
  const CallEntry* e = FindCall(call);
  if (!e || e->state == csError) return;
  const LONG r = api_.lineDrop(call, nullptr, 0);
  if (r <= 0) {
    ReportError(call, err::kHangupOperation);
    return;
  }
  EnterCallRequest(r, call, RequestKind::Drop, 0);
}

}  // namespace orvexa::components
