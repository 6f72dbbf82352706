// The telephony functions the line component calls. LineService implements them over its
// providers; tests put a fake in its place.
//
//   HLINEAPP app; DWORD devices = 0, version = kApiVersion20002;
//   api.lineInitializeExW(&app, callback, &devices, &version, &params);
//   LONG request = api.lineMakeCall(line, &cell, "09121234567", 0, &call_params);  // > 0: wait
//
// Asynchronous functions return a positive request number and answer later with LINE_REPLY;
// a negative value is an immediate refusal. Buffers passed in must hold dwTotalSize bytes.
#pragma once

#include "platform/telephony/tapi.h"

namespace orvexa::telephony {

class TelephonyApi {
 public:
  virtual ~TelephonyApi() = default;

  // --- line side ---
  virtual LONG lineInitializeExW(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                                 DWORD* api_version, LINEINITIALIZEEXPARAMS* params) = 0;
  virtual LONG lineInitialize(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs) = 0;
  virtual LONG lineShutdown(HLINEAPP app) = 0;
  virtual LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high,
                                       DWORD* version, LINEEXTENSIONID* extension) = 0;
  virtual LONG lineGetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD ext_version,
                              LINEDEVCAPS* caps) = 0;
  virtual LONG lineGetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                                  DWORD ext_version, LINEADDRESSCAPS* caps) = 0;
  virtual LONG lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD ext_version,
                        DWORD_PTR instance, DWORD privileges, DWORD media_modes,
                        const LINECALLPARAMS* params) = 0;
  virtual LONG lineClose(HLINE line) = 0;
  virtual LONG lineSetStatusMessages(HLINE line, DWORD line_states, DWORD address_states) = 0;
  // The service writes the new call's handle into *call when it replies (not before), so the
  // cell must live until the reply or until the line is closed.
  virtual LONG lineMakeCall(HLINE line, HCALL* call, const char* dest_address,
                            DWORD country_code, const LINECALLPARAMS* params) = 0;
  virtual LONG lineDial(HCALL call, const char* dest_address, DWORD country_code) = 0;
  virtual LONG lineAnswer(HCALL call, const char* user_user_info, DWORD size) = 0;
  virtual LONG lineDrop(HCALL call, const char* user_user_info, DWORD size) = 0;
  virtual LONG lineDeallocateCall(HCALL call) = 0;
  virtual LONG lineGetCallInfo(HCALL call, LINECALLINFO* info) = 0;
  // The call's present state and mode; its device-specific part says how the call ended.
  virtual LONG lineGetCallStatus(HCALL call, LINECALLSTATUS* status) = 0;
  virtual LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id,
                         const char* device_class) = 0;
  virtual LONG lineMonitorDigits(HCALL call, DWORD digit_modes) = 0;
  virtual LONG lineMonitorMedia(HCALL call, DWORD media_modes) = 0;
  virtual LONG lineMonitorTones(HCALL call, const LINEMONITORTONE* list, DWORD count) = 0;
  virtual LONG lineGenerateDigits(HCALL call, DWORD digit_mode, const char* digits,
                                  DWORD duration) = 0;
  virtual LONG lineSetCallParams(HCALL call, DWORD bearer_mode, DWORD min_rate, DWORD max_rate,
                                 const LINEDIALPARAMS* dial_params) = 0;
  virtual LONG lineGetDevConfig(DWORD device, VARSTRING* config, const char* device_class) = 0;
  virtual LONG lineSetDevConfig(DWORD device, const void* config, DWORD size,
                                const char* device_class) = 0;
  virtual LONG lineConfigDialog(DWORD device, DWORD_PTR owner, const char* device_class) = 0;
  // The handle lineGetID gives for "comm/datamodem" on a call belongs to the caller.
  virtual void closeCommHandle(DWORD handle) = 0;

  // --- hold, transfer and conference: a service without them refuses every request ---
  virtual LONG lineHold(HCALL) { return LINEERR_OPERATIONUNAVAIL; }
  virtual LONG lineUnhold(HCALL) { return LINEERR_OPERATIONUNAVAIL; }
  virtual LONG lineBlindTransfer(HCALL, const char* /*dest_address*/, DWORD /*country_code*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  // Like lineMakeCall, the service writes *conference_call when it replies.
  virtual LONG lineCompleteTransfer(HCALL /*call*/, HCALL /*consult_call*/,
                                    HCALL* /*conference_call*/, DWORD /*transfer_mode*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG lineSetupTransfer(HCALL, HCALL* /*consult_call*/, const LINECALLPARAMS*) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG lineSetupConference(HCALL, HLINE, HCALL* /*conference_call*/,
                                   HCALL* /*consult_call*/, DWORD /*parties*/,
                                   const LINECALLPARAMS*) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG lineAddToConference(HCALL /*conference_call*/, HCALL /*consult_call*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }

  // --- phone side ---
  virtual LONG phoneInitializeExW(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                                  DWORD* api_version, LINEINITIALIZEEXPARAMS* params) = 0;
  virtual LONG phoneInitialize(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs) = 0;
  virtual LONG phoneShutdown(HPHONEAPP app) = 0;
  virtual LONG phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                        DWORD* version, LINEEXTENSIONID* extension) = 0;
  virtual LONG phoneGetDevCaps(HPHONEAPP app, DWORD device, DWORD version, DWORD ext_version,
                               PHONECAPS* caps) = 0;
  virtual LONG phoneOpen(HPHONEAPP app, DWORD device, HPHONE* phone, DWORD version,
                         DWORD ext_version, DWORD_PTR instance, DWORD privilege) = 0;
  virtual LONG phoneClose(HPHONE phone) = 0;
  virtual LONG phoneSetStatusMessages(HPHONE phone, DWORD phone_states, DWORD button_modes,
                                      DWORD button_states) = 0;

  // Ringer, lamps, display, hook switch, volume and gain: the set functions answer later with
  // PHONE_REPLY; a service without a phone device refuses.
  virtual LONG phoneSetRing(HPHONE, DWORD /*ring_mode*/, DWORD /*volume*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneGetRing(HPHONE, DWORD* /*ring_mode*/, DWORD* /*volume*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneSetLamp(HPHONE, DWORD /*lamp*/, DWORD /*mode*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneGetLamp(HPHONE, DWORD /*lamp*/, DWORD* /*mode*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  // The service copies size bytes of text at the call; row and column are where it starts.
  virtual LONG phoneSetDisplay(HPHONE, DWORD /*row*/, DWORD /*column*/, const char* /*text*/,
                               DWORD /*size*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneGetDisplay(HPHONE, VARSTRING*) { return PHONEERR_OPERATIONUNAVAIL; }
  virtual LONG phoneSetHookSwitch(HPHONE, DWORD /*devices*/, DWORD /*mode*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneSetVolume(HPHONE, DWORD /*device*/, DWORD /*volume*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneSetGain(HPHONE, DWORD /*device*/, DWORD /*gain*/) {
    return PHONEERR_OPERATIONUNAVAIL;
  }
  virtual LONG phoneGetStatus(HPHONE, PHONESTATUS*) { return PHONEERR_OPERATIONUNAVAIL; }
};

}  // namespace orvexa::telephony
