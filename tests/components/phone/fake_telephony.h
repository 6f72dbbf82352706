// A telephony service the test drives by hand: it records every call, refuses on request,
// answers structures too small a chosen number of times, can lie in its structures, and replies
// only when the test says so.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/telephony/telephony_api.h"
#include "platform/host/utf.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::components::testing {

using namespace telephony;

struct FakeDevice {
  std::string name = "Fake modem";
  DWORD string_format = STRINGFORMAT_UNICODE;
  DWORD media_modes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                      LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_G3FAX;
  DWORD digit_modes = LINEDIGITMODE_DTMF;
  DWORD caller_id_flags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
  int wave_in = 3, wave_out = 4, phone = -1, comm = -1;
  std::vector<std::uint8_t> config = std::vector<std::uint8_t>(100, 0);
};

struct FakeCallInfo {
  DWORD caller_flags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
  std::u16string caller_number, caller_name;
  DWORD bearer_mode = LINEBEARERMODE_VOICE;
  DWORD address_id = 0;
};

struct FakeCallStatus {
  DWORD state = LINECALLSTATE_IDLE, mode = 0;
  std::string ended;  // the device-specific part, without its final zero
};

class FakeTelephony final : public TelephonyApi {
 public:
  std::vector<FakeDevice> devices{FakeDevice{}};
  std::map<HCALL, FakeCallInfo> call_info;
  std::map<HCALL, FakeCallStatus> call_status;
  std::vector<std::string> log;  // "lineDrop 17", "lineMakeCall W123", ...
  // The next result of a function by name (one use each), e.g. refuse["lineDrop"] = ...
  std::map<std::string, std::vector<LONG>> refuse;
  // Structures: answer too small this many times; then claim this needed size (0: exact).
  int too_small_answers = 0;
  DWORD claimed_needed = 0;
  bool lie_about_offsets = false;  // string parts point outside the structure
  bool lie_about_used = false;     // used size beyond the total size
  std::vector<DWORD> devcaps_sizes;  // the total size of each lineGetDevCaps call
  std::vector<std::uint8_t> last_set_config;

  LINECALLBACK line_callback;
  DWORD_PTR line_instance = 0;
  HLINE open_line = 0;
  std::map<LONG, HCALL*> cells;  // request -> the caller's cell
  LONG next_request = 100;
  int lines_open = 0;

  LONG Take(const std::string& name) {
    auto it = refuse.find(name);
    if (it == refuse.end() || it->second.empty()) return 0;
    const LONG r = it->second.front();
    it->second.erase(it->second.begin());
    return r;
  }
  LONG NewRequest() { return next_request++; }
  bool Called(const std::string& entry) const {
    for (const std::string& l : log)
      if (l == entry) return true;
    return false;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& l : log) n += l.rfind(prefix, 0) == 0;
    return n;
  }

  // --- what the test makes the service say ---
  void Notify(DWORD device, DWORD message, DWORD_PTR p1 = 0, DWORD_PTR p2 = 0, DWORD_PTR p3 = 0) {
    if (line_callback) line_callback(device, message, line_instance, p1, p2, p3);
  }
  void State(HCALL call, DWORD state, DWORD mode = 0) { Notify(call, LINE_CALLSTATE, state, mode); }
  void Reply(LONG request, LONG result, HCALL new_call = 0) {
    auto it = cells.find(request);
    if (it != cells.end()) {
      if (result == 0 && new_call) *it->second = new_call;  // ASan sees a freed cell here
      cells.erase(it);
    }
    Notify(0, LINE_REPLY, static_cast<DWORD_PTR>(request),
           static_cast<DWORD_PTR>(static_cast<DWORD>(result)));
  }

  // --- the service ---
  LONG lineInitializeExW(HLINEAPP* app, LINECALLBACK cb, DWORD* n, DWORD* v,
                         LINEINITIALIZEEXPARAMS*) override {
    log.push_back("lineInitializeExW");
    if (LONG r = Take("lineInitializeExW")) return r;
    *app = 1;
    *n = static_cast<DWORD>(devices.size());
    *v = kApiVersion20002;
    line_callback = std::move(cb);
    return 0;
  }
  LONG lineInitialize(HLINEAPP* app, LINECALLBACK cb, DWORD* n) override {
    log.push_back("lineInitialize");
    if (LONG r = Take("lineInitialize")) return r;
    *app = 1;
    *n = static_cast<DWORD>(devices.size());
    line_callback = std::move(cb);
    return 0;
  }
  LONG lineShutdown(HLINEAPP) override {
    log.push_back("lineShutdown");
    return 0;
  }
  LONG lineNegotiateAPIVersion(HLINEAPP, DWORD d, DWORD, DWORD, DWORD* v,
                               LINEEXTENSIONID*) override {
    if (LONG r = Take("lineNegotiateAPIVersion")) return r;
    if (d >= devices.size()) return LINEERR_BADDEVICEID;
    *v = kApiVersion20002;
    return 0;
  }
  template <class T>
  bool Sized(T* s) {
    if (too_small_answers > 0) {
      --too_small_answers;
      return false;
    }
    (void)s;
    return true;
  }
  template <class T>
  void Finish(T* s, VarWriter& w) {
    w.finish();
    if (claimed_needed) s->dwNeededSize = claimed_needed;
    if (lie_about_used) s->dwUsedSize = s->dwTotalSize + 100;
  }
  LONG lineGetDevCaps(HLINEAPP, DWORD d, DWORD, DWORD, LINEDEVCAPS* c) override {
    devcaps_sizes.push_back(c->dwTotalSize);
    if (LONG r = Take("lineGetDevCaps")) return r;
    if (d >= devices.size()) return LINEERR_BADDEVICEID;
    if (!Sized(c)) return LINEERR_STRUCTURETOOSMALL;
    const FakeDevice& dev = devices[d];
    VarWriter w(c, sizeof(LINEDEVCAPS));
    std::tie(c->dwLineNameSize, c->dwLineNameOffset) =
        w.append_text(host::to_utf16(dev.name), dev.string_format == STRINGFORMAT_UNICODE);
    if (lie_about_offsets) c->dwLineNameOffset = c->dwTotalSize - 2;
    c->dwStringFormat = dev.string_format;
    c->dwNumAddresses = 1;
    c->dwMediaModes = dev.media_modes;
    c->dwMonitorDigitModes = dev.digit_modes;
    Finish(c, w);
    return 0;
  }
  LONG lineGetAddressCaps(HLINEAPP, DWORD d, DWORD a, DWORD, DWORD, LINEADDRESSCAPS* c) override {
    if (LONG r = Take("lineGetAddressCaps")) return r;
    if (d >= devices.size()) return LINEERR_BADDEVICEID;
    if (a != 0) return LINEERR_INVALADDRESSID;
    VarWriter w(c, sizeof(LINEADDRESSCAPS));
    std::tie(c->dwAddressSize, c->dwAddressOffset) = w.append_text(u"201", true);
    c->dwCallerIDFlags = devices[d].caller_id_flags;
    w.finish();
    return 0;
  }
  LONG lineOpen(HLINEAPP, DWORD d, HLINE* line, DWORD, DWORD, DWORD_PTR instance, DWORD privileges,
                DWORD media, const LINECALLPARAMS*) override {
    log.push_back("lineOpen " + std::to_string(d) + " " + std::to_string(privileges) + " " +
                  std::to_string(media));
    if (LONG r = Take("lineOpen")) return r;
    *line = 50 + d;
    if (instance) {
      line_instance = instance;
      open_line = *line;
    }
    ++lines_open;
    return 0;
  }
  LONG lineClose(HLINE line) override {
    log.push_back("lineClose " + std::to_string(line));
    if (LONG r = Take("lineClose")) return r;
    if (line == open_line) {
      line_instance = 0;
      open_line = 0;
      cells.clear();  // a closed line writes no more replies
    }
    --lines_open;
    return 0;
  }
  LONG lineSetStatusMessages(HLINE, DWORD, DWORD) override { return Take("lineSetStatusMessages"); }
  LONG lineMakeCall(HLINE, HCALL* call, const char* dest, DWORD, const LINECALLPARAMS* p) override {
    log.push_back("lineMakeCall " + std::string(dest ? dest : "") + " media " +
                  std::to_string(p ? p->dwMediaMode : 0));
    if (LONG r = Take("lineMakeCall")) return r;
    const LONG id = NewRequest();
    cells[id] = call;
    return id;
  }
  LONG lineDial(HCALL call, const char* dest, DWORD) override {
    log.push_back("lineDial " + std::to_string(call) + " " + (dest ? dest : ""));
    if (LONG r = Take("lineDial")) return r;
    return NewRequest();
  }
  LONG lineAnswer(HCALL call, const char*, DWORD) override {
    log.push_back("lineAnswer " + std::to_string(call));
    if (LONG r = Take("lineAnswer")) return r;
    return NewRequest();
  }
  LONG lineDrop(HCALL call, const char*, DWORD) override {
    log.push_back("lineDrop " + std::to_string(call));
    if (LONG r = Take("lineDrop")) return r;
    return NewRequest();
  }
  // Hold, transfer and conference: each accepted request is logged and waits for Reply.
  LONG Request(const std::string& entry, const std::string& name, HCALL* cell = nullptr) {
    log.push_back(entry);
    if (LONG r = Take(name)) return r;
    const LONG request = NewRequest();
    if (cell) cells[request] = cell;
    return request;
  }
  LONG lineHold(HCALL call) override { return Request("lineHold " + std::to_string(call), "lineHold"); }
  LONG lineUnhold(HCALL call) override {
    return Request("lineUnhold " + std::to_string(call), "lineUnhold");
  }
  LONG lineBlindTransfer(HCALL call, const char* to, DWORD) override {
    return Request("lineBlindTransfer " + std::to_string(call) + " " + to, "lineBlindTransfer");
  }
  LONG lineCompleteTransfer(HCALL a, HCALL b, HCALL* conference, DWORD mode) override {
    return Request("lineCompleteTransfer " + std::to_string(a) + " " + std::to_string(b) + " " +
                       std::to_string(mode),
                   "lineCompleteTransfer", conference);
  }
  LONG lineSetupTransfer(HCALL call, HCALL* consult, const LINECALLPARAMS*) override {
    return Request("lineSetupTransfer " + std::to_string(call), "lineSetupTransfer", consult);
  }
  LONG lineSetupConference(HCALL call, HLINE, HCALL* conference, HCALL* consult, DWORD parties,
                           const LINECALLPARAMS*) override {
    const LONG r = Request("lineSetupConference " + std::to_string(call) + " " +
                               std::to_string(parties),
                           "lineSetupConference", consult);
    if (r > 0) conference_cells[r] = conference;
    return r;
  }
  LONG lineAddToConference(HCALL conference, HCALL consult) override {
    return Request("lineAddToConference " + std::to_string(conference) + " " +
                       std::to_string(consult),
                   "lineAddToConference");
  }
  std::map<LONG, HCALL*> conference_cells;
  // A conference set-up's reply writes both cells.
  void ReplyConference(LONG request, HCALL consult, HCALL conference) {
    if (auto it = conference_cells.find(request); it != conference_cells.end()) {
      *it->second = conference;
      conference_cells.erase(it);
    }
    Reply(request, 0, consult);
  }
  LONG lineDeallocateCall(HCALL call) override {
    log.push_back("lineDeallocateCall " + std::to_string(call));
    return 0;
  }
  LONG lineGetCallInfo(HCALL call, LINECALLINFO* info) override {
    if (LONG r = Take("lineGetCallInfo")) return r;
    const FakeCallInfo& ci = call_info[call];
    VarWriter w(info, sizeof(LINECALLINFO));
    info->dwBearerMode = ci.bearer_mode;
    info->dwAddressID = ci.address_id;
    info->dwCallerIDFlags = ci.caller_flags;
    if (!ci.caller_number.empty())
      std::tie(info->dwCallerIDSize, info->dwCallerIDOffset) = w.append_text(ci.caller_number, true);
    if (!ci.caller_name.empty())
      std::tie(info->dwCallerIDNameSize, info->dwCallerIDNameOffset) =
          w.append_text(ci.caller_name, true);
    if (lie_about_offsets) info->dwCallerIDOffset = 0xFFFFFFF0u;
    Finish(info, w);
    return 0;
  }
  LONG lineGetCallStatus(HCALL call, LINECALLSTATUS* status) override {
    log.push_back("lineGetCallStatus " + std::to_string(call));
    if (LONG r = Take("lineGetCallStatus")) return r;
    if (!Sized(status)) return LINEERR_STRUCTURETOOSMALL;
    const FakeCallStatus& cs = call_status[call];
    VarWriter w(status, sizeof(LINECALLSTATUS));
    status->dwCallState = cs.state;
    status->dwCallStateMode = cs.mode;
    if (!cs.ended.empty()) {
      std::vector<std::uint8_t> bytes(cs.ended.begin(), cs.ended.end());
      bytes.push_back(0);
      std::tie(status->dwDevSpecificSize, status->dwDevSpecificOffset) = w.append(bytes);
    }
    if (lie_about_offsets) status->dwDevSpecificOffset = 0xFFFFFFF0u;
    Finish(status, w);
    return 0;
  }
  LONG lineGetID(HLINE, DWORD, HCALL, DWORD, VARSTRING* id, const char* cls) override {
    if (LONG r = Take("lineGetID")) return r;
    const FakeDevice& dev = devices[0];
    const std::string c = cls;
    const int value = c == "wave/in" ? dev.wave_in : c == "wave/out" ? dev.wave_out
                      : c == "tapi/phone" ? dev.phone : c == "comm/datamodem" ? dev.comm : -1;
    if (value < 0) return LINEERR_NODEVICE;
    VarWriter w(id, sizeof(VARSTRING));
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    std::tie(id->dwStringSize, id->dwStringOffset) = w.append(bytes);
    w.finish();
    return 0;
  }
  LONG lineMonitorDigits(HCALL call, DWORD modes) override {
    log.push_back("lineMonitorDigits " + std::to_string(call) + " " + std::to_string(modes));
    return 0;
  }
  LONG lineMonitorMedia(HCALL, DWORD) override { return 0; }
  LONG lineMonitorTones(HCALL, const LINEMONITORTONE*, DWORD count) override {
    log.push_back("lineMonitorTones " + std::to_string(count));
    return Take("lineMonitorTones");
  }
  LONG lineGenerateDigits(HCALL, DWORD, const char* digits, DWORD) override {
    log.push_back(std::string("lineGenerateDigits ") + digits);
    return Take("lineGenerateDigits");
  }
  LONG lineSetCallParams(HCALL call, DWORD bearer, DWORD, DWORD, const LINEDIALPARAMS*) override {
    log.push_back("lineSetCallParams " + std::to_string(call) + " " + std::to_string(bearer));
    if (LONG r = Take("lineSetCallParams")) return r;
    return NewRequest();
  }
  LONG lineGetDevConfig(DWORD d, VARSTRING* config, const char*) override {
    if (LONG r = Take("lineGetDevConfig")) return r;
    if (d >= devices.size()) return LINEERR_BADDEVICEID;
    VarWriter w(config, sizeof(VARSTRING));
    std::tie(config->dwStringSize, config->dwStringOffset) = w.append(devices[d].config);
    Finish(config, w);
    return 0;
  }
  LONG lineSetDevConfig(DWORD, const void* data, DWORD size, const char*) override {
    log.push_back("lineSetDevConfig " + std::to_string(size));
    const auto* b = static_cast<const std::uint8_t*>(data);
    last_set_config.assign(b, b + size);
    return Take("lineSetDevConfig");
  }
  LONG lineConfigDialog(DWORD d, DWORD_PTR, const char*) override {
    log.push_back("lineConfigDialog " + std::to_string(d));
    if (LONG r = Take("lineConfigDialog")) return r;
    return d < devices.size() ? 0 : LINEERR_BADDEVICEID;
  }
  void closeCommHandle(DWORD handle) override {
    log.push_back("closeCommHandle " + std::to_string(handle));
  }
  LINECALLBACK phone_callback;
  DWORD_PTR phone_instance = 0;
  void NotifyPhone(DWORD device, DWORD message, DWORD_PTR p1 = 0, DWORD_PTR p2 = 0) {
    if (phone_callback) phone_callback(device, message, phone_instance, p1, p2, 0);
  }
  LONG phoneInitializeExW(HPHONEAPP* app, LINECALLBACK cb, DWORD* n, DWORD* v,
                          LINEINITIALIZEEXPARAMS*) override {
    if (LONG r = Take("phoneInitializeExW")) return r;
    phone_callback = std::move(cb);
    *app = 2;
    *n = 1;
    *v = kApiVersion20002;
    return 0;
  }
  LONG phoneInitialize(HPHONEAPP* app, LINECALLBACK, DWORD* n) override {
    if (LONG r = Take("phoneInitialize")) return r;
    *app = 2;
    *n = 1;
    return 0;
  }
  LONG phoneShutdown(HPHONEAPP) override { return 0; }
  LONG phoneNegotiateAPIVersion(HPHONEAPP, DWORD, DWORD, DWORD, DWORD* v,
                                LINEEXTENSIONID*) override {
    *v = kApiVersion20002;
    return 0;
  }
  LONG phoneGetDevCaps(HPHONEAPP, DWORD, DWORD, DWORD, PHONECAPS* c) override {
    VarWriter w(c, sizeof(PHONECAPS));
    c->dwHookSwitchDevs = phone_hook_devs;
    c->dwHandsetHookSwitchModes = 0x1 | 0x8;
    c->dwNumRingModes = phone_ring_modes;
    c->dwNumButtonLamps = phone_lamps;
    c->dwDisplayNumRows = phone_rows;
    c->dwDisplayNumColumns = phone_cols;
    w.finish();
    return 0;
  }
  LONG phoneOpen(HPHONEAPP, DWORD, HPHONE* phone, DWORD, DWORD, DWORD_PTR instance,
                 DWORD) override {
    log.push_back("phoneOpen");
    if (LONG r = Take("phoneOpen")) return r;
    phone_instance = instance;
    *phone = 77;
    return 0;
  }
  LONG phoneClose(HPHONE phone) override {
    log.push_back("phoneClose " + std::to_string(phone));
    return 0;
  }
  LONG phoneSetStatusMessages(HPHONE, DWORD, DWORD, DWORD) override { return 0; }

  // The phone device: its counts, and what the set functions were given.
  DWORD phone_hook_devs = PHONEHOOKSWITCHDEV_HANDSET, phone_ring_modes = 2, phone_lamps = 0;
  DWORD phone_rows = 0, phone_cols = 0;
  DWORD handset_mode = PHONEHOOKSWITCHMODE_ONHOOK, speaker_mode = PHONEHOOKSWITCHMODE_ONHOOK;
  std::string display;  // the bytes of the last phoneSetDisplay
  std::u16string shown = u"HELLO";  // what phoneGetDisplay answers
  LONG phoneSetRing(HPHONE, DWORD mode, DWORD volume) override {
    return Request("phoneSetRing " + std::to_string(mode) + " " + std::to_string(volume),
                   "phoneSetRing");
  }
  LONG phoneSetLamp(HPHONE, DWORD lamp, DWORD mode) override {
    return Request("phoneSetLamp " + std::to_string(lamp) + " " + std::to_string(mode),
                   "phoneSetLamp");
  }
  LONG phoneSetDisplay(HPHONE, DWORD row, DWORD col, const char* text, DWORD size) override {
    display.assign(text, size);
    return Request("phoneSetDisplay " + std::to_string(row) + " " + std::to_string(col) + " " +
                       std::to_string(size),
                   "phoneSetDisplay");
  }
  LONG phoneGetRing(HPHONE, DWORD* mode, DWORD* volume) override {
    if (LONG r = Take("phoneGetRing")) return r;
    *mode = 1;
    *volume = 3000;
    return 0;
  }
  LONG phoneGetDisplay(HPHONE, VARSTRING* v) override {
    if (LONG r = Take("phoneGetDisplay")) return r;
    if (!Sized(v)) return PHONEERR_STRUCTURETOOSMALL;
    VarWriter w(v, sizeof(VARSTRING));
    std::tie(v->dwStringSize, v->dwStringOffset) = w.append_text(shown, true);
    Finish(v, w);
    return 0;
  }
  LONG phoneSetHookSwitch(HPHONE, DWORD devices, DWORD mode) override {
    return Request("phoneSetHookSwitch " + std::to_string(devices) + " " + std::to_string(mode),
                   "phoneSetHookSwitch");
  }
  LONG phoneSetVolume(HPHONE, DWORD device, DWORD volume) override {
    log.push_back("phoneSetVolume " + std::to_string(device) + " " + std::to_string(volume));
    return 0;
  }
  LONG phoneSetGain(HPHONE, DWORD device, DWORD gain) override {
    log.push_back("phoneSetGain " + std::to_string(device) + " " + std::to_string(gain));
    return 0;
  }
  LONG phoneGetStatus(HPHONE, PHONESTATUS* status) override {
    if (LONG r = Take("phoneGetStatus")) return r;
    status->dwHandsetHookSwitchMode = handset_mode;
    status->dwSpeakerHookSwitchMode = speaker_mode;
    return 0;
  }
};

}  // namespace orvexa::components::testing
