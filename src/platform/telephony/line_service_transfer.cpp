// Consultation calls, transfer of two calls and conferences. The new calls get their handles
// here; the caller's cells receive them when the reply is delivered, as for lineMakeCall.
#include "platform/telephony/line_service.h"

namespace orvexa::telephony {

namespace {

bool is_held(DWORD state) {
  return state == LINECALLSTATE_ONHOLD || state == LINECALLSTATE_ONHOLDPENDTRANSFER ||
         state == LINECALLSTATE_ONHOLDPENDCONF;
}

bool can_hand_over(DWORD state) { return state == LINECALLSTATE_CONNECTED || is_held(state); }

constexpr DWORD kMaxConferenceParties = 32;

}  // namespace

LONG LineService::lineSetupTransfer(HCALL call, HCALL* consult_call, const LINECALLPARAMS*) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (!consult_call) return LINEERR_INVALPOINTER;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  const Call primary = *c;
  const HCALL consult = new_call_handle({primary.line, primary.device});
  const RequestId request = new_request(primary.line, consult_call, consult);
  LineProvider& provider = *devices_[primary.device].provider;
  return start(consult, provider.setup_transfer(call, consult, request), request);
}

LONG LineService::lineSetupConference(HCALL call, HLINE line, HCALL* conference_call,
                                      HCALL* consult_call, DWORD parties, const LINECALLPARAMS*) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->line != line && line != 0) return LINEERR_INVALLINEHANDLE;
  if (!conference_call || !consult_call || conference_call == consult_call)
    return LINEERR_INVALPOINTER;
  if (parties < 2 || parties > kMaxConferenceParties) return LINEERR_INVALPARAM;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  const Call primary = *c;
  const HCALL conference = new_call_handle({primary.line, primary.device});
  const HCALL consult = new_call_handle({primary.line, primary.device});
  const RequestId request = new_request(primary.line, conference_call, conference);
  requests_[request].cell2 = consult_call;
  requests_[request].new_call2 = consult;
  LineProvider& provider = *devices_[primary.device].provider;
  return start(conference, provider.setup_conference(call, conference, consult, request), request);
}

LONG LineService::lineCompleteTransfer(HCALL call, HCALL consult_call, HCALL* conference_call,
                                       DWORD transfer_mode) {
  Call* a = find_call(call);
  Call* b = find_call(consult_call);
  if (!a || !b || call == consult_call) return LINEERR_INVALCALLHANDLE;
  if (a->device != b->device) return LINEERR_INVALCALLHANDLE;
  if (transfer_mode != LINETRANSFERMODE_TRANSFER && transfer_mode != LINETRANSFERMODE_CONFERENCE)
    return LINEERR_INVALPARAM;
  if (transfer_mode == LINETRANSFERMODE_CONFERENCE && !conference_call)
    return LINEERR_INVALPOINTER;
  if (!can_hand_over(a->state) || !can_hand_over(b->state)) return LINEERR_INVALCALLSTATE;
  const Call first = *a;
  HCALL conference = 0;
  RequestId request = 0;
  if (transfer_mode == LINETRANSFERMODE_CONFERENCE) {
    conference = new_call_handle({first.line, first.device});
    request = new_request(first.line, conference_call, conference);
  } else {
    request = new_request(first.line);
  }
  LineProvider& provider = *devices_[first.device].provider;
  return start(conference,
               provider.complete_transfer(call, consult_call, conference, transfer_mode, request),
               request);
}

LONG LineService::lineAddToConference(HCALL conference_call, HCALL consult_call) {
  Call* conference = find_call(conference_call);
  Call* consult = find_call(consult_call);
  if (!conference || !consult || conference_call == consult_call) return LINEERR_INVALCALLHANDLE;
  if (conference->device != consult->device) return LINEERR_INVALCALLHANDLE;
  if (!can_hand_over(consult->state)) return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(conference->line);
  LineProvider& provider = *devices_[conference->device].provider;
  return start(consult_call, provider.add_to_conference(conference_call, consult_call, request),
               request);
}

}  // namespace orvexa::telephony
