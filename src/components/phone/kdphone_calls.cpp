// Placing, answering and ending calls; digits, tones and passthrough.
#include <algorithm>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"

namespace orvexa::components {

using namespace telephony;

namespace {

int CommonToneError(LONG r) {
  if (r == LINEERR_ALLOCATED || r == LINEERR_INUSE || r == LINEERR_RESOURCEUNAVAIL)
    return err::kLineAllocated;
  if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
  if (r == LINEERR_NODEVICE) return err::kNoLineDevice;
  return r == LINEERR_NOMEM ? err::kNoMemory : err::kFailed;
}

}  // namespace

int KDPhone::MakeCall(const std::string& number, int user_value, bool pick_up) {
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (AddressID < 0) return err::kAddressIdRange;
  call_params_ = LINECALLPARAMS{};
  call_params_.dwTotalSize = sizeof(LINECALLPARAMS);
  call_params_.dwBearerMode = current_media_mode_ == mmFax ? LINEBEARERMODE_PASSTHROUGH
                                                           : LINEBEARERMODE_VOICE;
  call_params_.dwMinRate = 28800;
  call_params_.dwMaxRate = 57600;
  if (current_media_mode_ == mmVoice) {
    DWORD media = line_info_.media_modes & LINEMEDIAMODE_UNKNOWN;
    media |= (line_info_.media_modes & LINEMEDIAMODE_AUTOMATEDVOICE)
                 ? LINEMEDIAMODE_AUTOMATEDVOICE
                 : LINEMEDIAMODE_INTERACTIVEVOICE;
    call_params_.dwMediaMode = media;
    bearer_mode_ = LINEBEARERMODE_VOICE;
    passthrough_ = false;
  } else {
    call_params_.dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    bearer_mode_ = current_media_mode_ == mmFax ? LINEBEARERMODE_PASSTHROUGH : LINEBEARERMODE_DATA;
    passthrough_ = current_media_mode_ == mmFax;
  }
  call_params_.dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
  call_params_.dwAddressMode = LINEADDRESSMODE_ADDRESSID;
  call_params_.dwAddressID = static_cast<DWORD>(AddressID);
  call_params_.DialParams.dwWaitForDialtone = WaitForDialTone ? 4 : 0;

  std::string dial = pick_up ? std::string() : (WaitForDialTone ? "W" + number : number);
  if (current_media_mode_ == mmFax) {
    fax_dial_command_ = "ATD" + dial + "\r";
    dial.clear();
  }
  auto cell = std::make_unique<HCALL>(0);
  const LONG r = api_.lineMakeCall(line_, cell.get(), dial.c_str(), 0, &call_params_);
  if (r <= 0) {
    if (r == LINEERR_ALLOCATED || r == LINEERR_RESOURCEUNAVAIL) return err::kLineAllocated;
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_INVALADDRESS) return err::kInvalidDialNumber;
    if (r == LINEERR_INVALADDRESSID) return err::kAddressIdRange;
    if (r == LINEERR_INVALMEDIAMODE) return err::kMediaModeIncompatible;
    return err::kCallOperation;
  }
  EnterRequest(PendingRequest::NewCall(pick_up ? RequestKind::PickUp : RequestKind::MakeCall, r,
                                       std::move(cell), user_value, Origin()));
  return 0;
}

int KDPhone::DialNumber(const std::string& number, int user_value) {
  return MakeCall(number, user_value, false);
}

int KDPhone::PickUp(int user_value) {
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (IsConnected()) return err::kCallInProgress;
  if (HasPending(current_call_)) return err::kRequestInProgress;
  if (const CallEntry* e = FindCall(current_call_); e && (e->state == csOffering || e->state == csRing))
    return Answer(user_value);
  if (int r = MakeCall("", user_value, true); r != 0) return r;
  Loop().process_pending();
  return 0;
}

int KDPhone::Answer(int user_value) {
  if (state_ != LineState::Open) return err::kLineNotActive;
  const CallEntry* e = FindCall(current_call_);
  if (!e || (e->state != csOffering && e->state != csRing)) return err::kNotOffering;
  if (HasPending(current_call_)) return err::kRequestInProgress;
  int info_error = 0;
  auto info = ReadCallInfo(current_call_, info_error);
  if (!info) return err::kFailed;
  bearer_mode_ = (*info)->dwBearerMode;
  LONG r;
  if (current_media_mode_ == mmFax) {
    passthrough_ = true;
    bearer_mode_ = LINEBEARERMODE_PASSTHROUGH;
    r = api_.lineSetCallParams(current_call_, LINEBEARERMODE_PASSTHROUGH, 19200, 19200, nullptr);
  } else {
    passthrough_ = false;
    r = api_.lineAnswer(current_call_, nullptr, 0);
  }
  if (r <= 0) {
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    if (r == LINEERR_NOTOWNER) return err::kNotOwner;
    return err::kAnswerOperation;
  }
  EnsureCall(current_call_).user_value = user_value;
  // A data call's modems need their time to agree before the answer counts.
  EnterRequest(PendingRequest(RequestKind::Answer, r, current_call_, 0,
                              Origin(current_media_mode_ == mmData ? 40000 : 0)));
  return 0;
}

int KDPhone::Hangup() {
  fax_dial_command_.clear();
  const CallEntry* e = FindCall(current_call_);
  const TCallState state = e ? e->state : csError;
  if (state == csDisconnected || state == csWaitingDisconnection) return 0;
  const TConsults* consult = ConsultByCall(current_call_);
  if (!consult && !e) return err::kAlreadyDisconnected;
  if (consult && (consult->state == ccsWaitingDisconnection || consult->state == ccsDisconnected))
    return 0;
  return DropCall(current_call_);
}

int KDPhone::DropCall(HCALL call) {
  // A primary call goes last: its conference call, or else its consultation call, first.
  HCALL target = call;
  std::intptr_t chain = 0;
  bool consultation = false;
  if (const TConsults* c = ConsultOf(call); c && (c->consult_call() || c->conference_call())) {
    chain = c->conference_call() ? 2 : 1;
    target = c->conference_call() ? c->conference_call() : c->consult_call();
  } else {
    consultation = ConsultByCall(call) != nullptr;
  }
  RaiseBeforeDisconnect(call);
  int result = 0;
  if (passthrough_ && chain == 0) {
    const LONG p = api_.lineSetCallParams(call, bearer_mode_, 0, 111000, nullptr);
    if (p > 0) {
      EnterCallRequest(p, call, RequestKind::Drop, 1);
      ReportCallState(call, csWaitingDisconnection);
      return 0;
    }
    result = err::kFailed;
  }
  const LONG r = api_.lineDrop(target, nullptr, 0);
  if (r <= 0) {
    if (r == LINEERR_ALLOCATED || r == LINEERR_INUSE || r == LINEERR_RESOURCEUNAVAIL)
      return err::kLineAllocated;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    if (r == LINEERR_NODEVICE) return err::kNoLineDevice;
    if (r == LINEERR_NOMEM) return err::kNoMemory;
    return r == LINEERR_NOTOWNER ? err::kNotOwner : err::kHangupOperation;
  }
  EnterCallRequest(r, call, RequestKind::Drop, chain);
  if (TConsults* c = consultation ? ConsultByCall(call) : nullptr) {
    c->state = ccsWaitingDisconnection;
    c->completed = true;
    RaiseConsultState(ccsWaitingDisconnection, static_cast<int>(r), call, c->primary);
  } else {
    ReportCallState(call, csWaitingDisconnection);
  }
  Loop().process_pending();
  return result;
}

std::optional<VarBuffer<LINECALLINFO>> KDPhone::ReadCallInfo(HCALL call, int& error) {
  auto read = read_variable<LINECALLINFO>(sizeof(LINECALLINFO), [&](LINECALLINFO* info) {
    return api_.lineGetCallInfo(call, info);
  });
  if (!read.ok()) {
    error = read.error == err::kNoMemory ? err::kNoMemory : err::kFailed;
    return std::nullopt;
  }
  error = 0;
  return std::move(read.buffer);
}

// --- digits and tones ---

int KDPhone::MonitorTones(int ref_num, int duration, int f1, int f2, int f3) {
  if (!IsConnected()) return err::kAlreadyDisconnected;
  LINEMONITORTONE tone{static_cast<DWORD_PTR>(ref_num), static_cast<DWORD>(duration),
                       static_cast<DWORD>(f1), static_cast<DWORD>(f2), static_cast<DWORD>(f3)};
  const LONG r = api_.lineMonitorTones(current_call_, &tone, 1);
  return r == 0 ? 0 : CommonToneError(r);
}

int KDPhone::MonitorTonesCancel() {
  if (!IsConnected()) return err::kAlreadyDisconnected;
  const LONG r = api_.lineMonitorTones(current_call_, nullptr, 0);
  return r == 0 ? 0 : CommonToneError(r);
}

int KDPhone::GenerateDTMFDigits(const std::string& digits) {
  if (!IsConnected()) return err::kAlreadyDisconnected;
  const LONG r = api_.lineGenerateDigits(current_call_, LINEDIGITMODE_DTMF, digits.c_str(), 0);
  return r >= 0 ? 0 : CommonToneError(r);
}

int KDPhone::Passthrough(bool enable) { return SwitchPassthrough(enable, false, messaging::kNoWindow); }

int KDPhone::SwitchPassthrough(bool enable, bool fax_rates, messaging::WindowHandle notify) {
  if (!IsConnected()) return err::kAlreadyDisconnected;
  if (HasPending(current_call_)) return err::kRequestInProgress;
  if (enable == passthrough_ || bearer_mode_ == LINEBEARERMODE_PASSTHROUGH) {
    if (notify != messaging::kNoWindow) Loop().post(notify, kPassthroughMessage, 0, 0);
    return 0;
  }
  const LONG r = enable ? api_.lineSetCallParams(current_call_, LINEBEARERMODE_PASSTHROUGH,
                                                 fax_rates ? 19200 : 28800,
                                                 fax_rates ? 19200 : 57600, nullptr)
                        : api_.lineSetCallParams(current_call_, bearer_mode_, 28800, 57600, nullptr);
  if (r <= 0) {
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    return r == LINEERR_INVALMEDIAMODE ? err::kMediaModeIncompatible : err::kFailed;
  }
  EnterRequest(PendingRequest::Passthrough(r, current_call_, enable, notify, Origin()));
  return 0;
}

}  // namespace orvexa::components
