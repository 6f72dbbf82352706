// Consultation calls: set-up from the current call, their progress, completion as a transfer or
// a three-party conference, and cancellation.
#include <algorithm>

#include "components/phone/kdphone.h"

namespace orvexa::components {

using namespace telephony;

namespace {

constexpr DWORD kTransferModeTransfer = 1;
constexpr DWORD kConferenceParties = 3;

int ReplyDialError(LONG r) {
  if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
  return r == LINEERR_INVALADDRESS ? err::kInvalidDialNumber : err::kCallOperation;
}

int ConsultDialError(LONG r) {
  if (r == LINEERR_INVALADDRESS) return err::kInvalidDialNumber;
  if (r == LINEERR_INVALMEDIAMODE) return err::kMediaModeIncompatible;
  return err::kCallOperation;
}

}  // namespace

KDPhone::TConsults* KDPhone::ConsultOf(HCALL primary) {
  auto it = std::find_if(consults_.begin(), consults_.end(),
                         [primary](const TConsults& c) { return c.primary == primary; });
  return it == consults_.end() ? nullptr : &*it;
}

KDPhone::TConsults* KDPhone::ConsultByCall(HCALL call) {
  if (call == 0) return nullptr;
  auto it = std::find_if(consults_.begin(), consults_.end(),
                         [call](const TConsults& c) { return c.consult_call() == call; });
  return it == consults_.end() ? nullptr : &*it;
}

KDPhone::TConsults* KDPhone::ConsultByConference(HCALL call) {
  if (call == 0) return nullptr;
  auto it = std::find_if(consults_.begin(), consults_.end(),
                         [call](const TConsults& c) { return c.conference_call() == call; });
  return it == consults_.end() ? nullptr : &*it;
}

KDPhone::TConsults* KDPhone::ConsultByCell(std::intptr_t cell) {
  auto it = std::find_if(consults_.begin(), consults_.end(), [cell](const TConsults& c) {
    return reinterpret_cast<std::intptr_t>(c.consult_cell.get()) == cell;
  });
  return it == consults_.end() ? nullptr : &*it;
}

void KDPhone::ForgetConsult(const TConsults& c) {
  consults_.erase(consults_.begin() + (&c - consults_.data()));
}

std::optional<TConsultCallState> KDPhone::ConsultState() const {
  for (const TConsults& c : consults_)
    if (c.primary == current_call_) return c.state;
  return std::nullopt;
}

int KDPhone::ConsultCallDialNumber(bool transfer, const std::string& number) {
  if (!IsConnected()) return err::kAlreadyDisconnected;
  if (HasPending(current_call_)) return err::kRequestInProgress;
  TConsults entry;
  entry.consult_cell = std::make_unique<HCALL>(0);
  entry.transfer = transfer;
  if (!transfer) entry.conference_cell = std::make_unique<HCALL>(0);
  const LONG r = transfer ? api_.lineSetupTransfer(current_call_, entry.consult_cell.get(), nullptr)
                          : api_.lineSetupConference(current_call_, line_,
                                                     entry.conference_cell.get(),
                                                     entry.consult_cell.get(), kConferenceParties,
                                                     nullptr);
  if (r <= 0) {
    // The entry and its cells never join the list.
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    return r == LINEERR_INVALMEDIAMODE ? err::kMediaModeIncompatible : err::kFailed;
  }
  entry.primary = current_call_;
  entry.number = number;
  const auto cell = reinterpret_cast<std::intptr_t>(entry.consult_cell.get());
  consults_.push_back(std::move(entry));
  return EnterCallRequest(r, current_call_, RequestKind::ConsultSetup, cell);
}

int KDPhone::ConsultCallComplete() {
  if (state_ != LineState::Open) return err::kLineNotActive;
  TConsults* c = ConsultOf(current_call_);
  if (!c || c->consult_call() == 0) return err::kNoConsultationCall;
  const HCALL consult = c->consult_call();
  if (HasPending(consult)) return err::kRequestInProgress;
  LONG r;
  if (c->transfer) {
    r = api_.lineCompleteTransfer(c->primary, consult, nullptr, kTransferModeTransfer);
  } else {
    if (c->conference_call() == 0) return err::kFailed;
    r = api_.lineAddToConference(c->conference_call(), consult);
  }
  if (r <= 0) return TransferRefusal(r);
  c->completed = true;
  const HCALL primary = c->primary;
  const bool transfer = c->transfer;
  EnterCallRequest(r, consult, RequestKind::ConsultFinish);
  if (transfer) MarkTransferred(primary, true);
  return 0;
}

int KDPhone::ConsultCallCancel() {
  TConsults* c = ConsultOf(current_call_);
  if (!c || c->consult_call() == 0) return err::kNoConsultationCall;
  if (c->state == ccsError || c->state == ccsDisconnected) return err::kNoConsultationCall;
  const HCALL consult = c->consult_call();
  const LONG r = api_.lineDrop(consult, nullptr, 0);
  if (r <= 0) return err::kFailed;
  return EnterCallRequest(r, consult, RequestKind::ConsultFinish);
}

// --- dispatch ---

bool KDPhone::DispatchConsultation(HCALL call, DWORD state, DWORD mode) {
  TConsults* c = ConsultByCall(call);
  if (!c) return false;
  std::optional<TConsultCallState> result;
  switch (state) {
    case LINECALLSTATE_IDLE: result = ccsDisconnected; break;
    case LINECALLSTATE_DIALTONE: result = ccsDialTone; break;
    case LINECALLSTATE_DIALING: result = ccsDialing; break;
    case LINECALLSTATE_RINGBACK: result = ccsRingBack; break;
    case LINECALLSTATE_BUSY: result = ccsBusy; break;
    case LINECALLSTATE_PROCEEDING: result = ccsProceeding; break;
    case LINECALLSTATE_CONNECTED:
      StartMonitoring(call);
      result = ccsConnected;
      break;
    case LINECALLSTATE_CONFERENCED:
      c->state = ccsDisconnected;
      if (OnConsultCallState) {
        c->dropping = true;
        RaiseConsultState(ccsDisconnected, 0, call, c->primary);
      }
      return true;
    case LINECALLSTATE_DISCONNECTED:
      if (mode == LINEDISCONNECTMODE_BUSY) result = ccsBusy;
      else if (mode == LINEDISCONNECTMODE_NODIALTONE) result = ccsNoDialTone;
      else if (!c->completed && !c->dropping) result = ccsRemotePartyDisconnected;
      break;
    default: break;
  }
  if (result) ReportConsultState(call, *result);
  return true;
}

void KDPhone::ReportConsultState(HCALL call, TConsultCallState state) {
  TConsults* c = ConsultByCall(call);
  if (!c) return;
  const HCALL primary = c->primary;
  c->state = state;
  if (state == ccsWaitingDisconnection) c->completed = true;
  if (state != ccsDisconnected || !c->dropping) RaiseConsultState(state, 0, call, primary);
  // The handler may have changed the list: look the entry up again.
  if (state == ccsDisconnected) {
    ReleaseCall(call);
  } else if (state == ccsDialTone) {
    DialConsultation(call);
  } else if ((state == ccsRemotePartyDisconnected || state == ccsBusy || state == ccsNoDialTone) &&
             AutoDisconnect && ConsultByCall(call)) {
    const HCALL previous = current_call_;
    current_call_ = primary;
    const int r = ConsultCallCancel();
    current_call_ = previous;
    if (r != 0) RaiseConsultState(ccsError, r, call, primary);
  }
}

void KDPhone::DialConsultation(HCALL call) {
  TConsults* c = ConsultByCall(call);
  if (!c) return;
  const HCALL primary = c->primary;
  const std::string dial = WaitForDialTone ? "W" + c->number : c->number;
  const LONG r = api_.lineDial(call, dial.c_str(), 0);
  if (r <= 0) {
    if (TConsults* again = ConsultByCall(call)) again->state = ccsError;
    RaiseConsultState(ccsError, ConsultDialError(r), call, primary);
    return;
  }
  EnterCallRequest(r, call, RequestKind::ConsultDial);
}

void KDPhone::RaiseConsultState(TConsultCallState state, int p1, HCALL consult, HCALL primary) {
  if (OnConsultCallState && !destroying_)
    OnConsultCallState(*this, state, p1, static_cast<int>(consult), static_cast<int>(primary));
}

bool KDPhone::DispatchConference(HCALL call, DWORD state, DWORD mode) {
  TConsults* c = ConsultByConference(call);
  if (!c) return false;
  if (state == LINECALLSTATE_IDLE) {
    ReleaseCall(call);
    return true;
  }
  if (state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_ONHOLDPENDCONF) return true;
  const HCALL primary = c->primary;
  std::optional<TCallState> result;
  switch (state) {
    case LINECALLSTATE_DIALTONE: result = csDialTone; break;
    case LINECALLSTATE_DIALING: result = csDialing; break;
    case LINECALLSTATE_RINGBACK: result = csRingBack; break;
    case LINECALLSTATE_BUSY: result = csBusy; break;
    case LINECALLSTATE_PROCEEDING: result = csProceeding; break;
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDTRANSFER: result = csOnHold; break;
    case LINECALLSTATE_CONFERENCED: result = csInConference; break;
    case LINECALLSTATE_DISCONNECTED:
      if (mode == LINEDISCONNECTMODE_BUSY) result = csBusy;
      else if (mode == LINEDISCONNECTMODE_NODIALTONE) result = csNoDialTone;
      // Looked up under the conference handle itself, which is normally not in the call list.
      else if (const CallEntry* e = FindCall(call); e && !e->dropping)
        result = csRemotePartyDisconnected;
      break;
    default: break;
  }
  if (result) ReportCallState(primary, *result);
  return true;
}

void KDPhone::ReleaseConsultHandles(HCALL call) {
  if (call == 0) return;
  // Only entries this release emptied go; one still waiting for its set-up reply stays.
  for (std::size_t i = consults_.size(); i-- > 0;) {
    TConsults& c = consults_[i];
    bool touched = false;
    if (c.consult_call() == call) touched = (*c.consult_cell = 0, true);
    if (c.conference_call() == call) touched = (*c.conference_cell = 0, true);
    if (touched && c.consult_call() == 0 && c.conference_call() == 0)
      consults_.erase(consults_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void KDPhone::CompleteConsultReply(PendingRequest& r, LONG result) {
  const bool ok = result >= 0;
  const int code = result == LINEERR_OPERATIONUNAVAIL ? err::kLineSetup : err::kFailed;
  if (r.kind() == RequestKind::ConsultDial) {
    if (TConsults* c = ConsultByCall(r.call()); c && !ok) {
      c->state = ccsError;
      RaiseConsultState(ccsError, ReplyDialError(result), r.call(), c->primary);
    }
    return;
  }
  if (r.kind() == RequestKind::ConsultFinish) {
    if (ok) return;
    TransferFailed(r);
    const TConsults* c = ConsultByCall(r.call());
    RaiseConsultState(ccsError, code, r.call(), c ? c->primary : 0);
    return;
  }
  // The set-up.
  TConsults* c = ConsultByCell(r.param());
  if (!c) return;
  const HCALL consult = c->consult_call(), primary = c->primary;
  if (!ok) {
    // A refused set-up leaves no entry behind.
    ForgetConsult(*c);
    RaiseConsultState(ccsError, code, consult, primary);
    return;
  }
  c->state = ccsStarted;
  RaiseConsultState(ccsStarted, 0, consult, primary);
}

void KDPhone::ConsultSetupTimedOut(PendingRequest& r) {
  TConsults* c = ConsultByCell(r.param());
  if (!c) return;
  // The service may still write a late reply into the cells while the line stays open.
  if (state_ == LineState::Open && r.line() == line_) {
    orphan_cells_.emplace(r.id(), std::move(c->consult_cell));
    if (c->conference_cell) orphan_cells_.emplace(r.id(), std::move(c->conference_cell));
  }
  ForgetConsult(*c);
}

}  // namespace orvexa::components
