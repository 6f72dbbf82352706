// Hold, blind transfer, and transfer or conference of two calls the component already has.
#include <algorithm>

#include "components/phone/kdphone.h"

namespace orvexa::components {

using namespace telephony;

namespace {

constexpr DWORD kTransferModeTransfer = 1;
constexpr DWORD kTransferModeConference = 2;

}  // namespace

int KDPhone::TransferRefusal(LONG r) {
  if (r == LINEERR_INVALADDRESS) return err::kInvalidDialNumber;
  if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
  if (r == LINEERR_INVALMEDIAMODE) return err::kMediaModeIncompatible;
  return err::kCallOperation;
}

void KDPhone::MarkTransferred(HCALL call, bool transferred) {
  if (CallEntry* e = FindCall(call)) {
    // A drop under way keeps its own mark.
    if (transferred || e->state != csWaitingDisconnection) e->dropping = transferred;
  }
  for (TConsults& c : consults_)
    if (c.consult_call() == call && c.consult_call() != 0) c.completed = transferred;
}

int KDPhone::EnterCallRequest(LONG r, HCALL call, RequestKind kind, std::intptr_t param) {
  EnterRequest(PendingRequest(kind, r, call, param, Origin()));
  return 0;
}

int KDPhone::HoldChecks() const {
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (!IsConnected()) return err::kAlreadyDisconnected;
  if (HasPending(current_call_)) return err::kRequestInProgress;
  return 0;
}

int KDPhone::Hold() { return HoldOrUnhold(true); }
int KDPhone::Unhold() { return HoldOrUnhold(false); }

int KDPhone::HoldOrUnhold(bool hold) {
  if (int check = HoldChecks(); check != 0) return check;
  const LONG r = hold ? api_.lineHold(current_call_) : api_.lineUnhold(current_call_);
  if (r <= 0) {
    if (r == LINEERR_ALLOCATED || r == LINEERR_RESOURCEUNAVAIL) return err::kLineAllocated;
    return TransferRefusal(r);
  }
  return EnterCallRequest(r, current_call_, RequestKind::HoldOrUnhold);
}

int KDPhone::Transfer(const std::string& number) {
  if (int check = HoldChecks(); check != 0) return check;
  const LONG r = api_.lineBlindTransfer(current_call_, number.c_str(), 0);
  if (r <= 0) return TransferRefusal(r);
  EnterCallRequest(r, current_call_, RequestKind::BlindTransfer);
  MarkTransferred(current_call_, true);
  return 0;
}

int KDPhone::TwoCallChecks(int a, int b) const {
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (!IsCallConnected(a) || !IsCallConnected(b)) return err::kAlreadyDisconnected;
  if (HasPending(static_cast<HCALL>(a)) || HasPending(static_cast<HCALL>(b)))
    return err::kRequestInProgress;
  return 0;
}

int KDPhone::TransferAToB(int a, int b) {
  if (int check = TwoCallChecks(a, b); check != 0) return check;
  const HCALL call_a = static_cast<HCALL>(a), call_b = static_cast<HCALL>(b);
  const LONG r = api_.lineCompleteTransfer(call_a, call_b, nullptr, kTransferModeTransfer);
  if (r <= 0) return TransferRefusal(r);
  // B rides along as the parameter, so a refusal can take both marks back.
  EnterCallRequest(r, call_a, RequestKind::TransferAToB, static_cast<std::intptr_t>(call_b));
  MarkTransferred(call_a, true);
  MarkTransferred(call_b, true);
  return 0;
}

int KDPhone::CreateConferenceCall(int a, int b, int user_value) {
  if (int check = TwoCallChecks(a, b); check != 0) return check;
  auto cell = std::make_unique<HCALL>(0);
  const LONG r = api_.lineCompleteTransfer(static_cast<HCALL>(a), static_cast<HCALL>(b),
                                           cell.get(), kTransferModeConference);
  if (r <= 0) return TransferRefusal(r);
  EnterRequest(PendingRequest::NewCall(RequestKind::Conference, r, std::move(cell), user_value,
                                       Origin()));
  return 0;
}

void KDPhone::TransferFailed(const PendingRequest& r) {
  const RequestKind kind = r.kind();
  if (kind == RequestKind::ConsultFinish) {
    if (TConsults* c = ConsultByCall(r.call())) {
      c->completed = false;
      if (c->transfer) MarkTransferred(c->primary, false);
    }
  }
  if (kind == RequestKind::BlindTransfer || kind == RequestKind::TransferAToB)
    MarkTransferred(r.call(), false);
  if (kind == RequestKind::TransferAToB) MarkTransferred(static_cast<HCALL>(r.param()), false);
}

}  // namespace orvexa::components
