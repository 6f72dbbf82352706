// Calls: making, answering, dropping, call information and status, monitoring, and the
// providers' reports.
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/host/utf.h"
#include "platform/telephony/dial_string.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {

namespace {

// What the service lets an owner do in a state; the provider may still refuse hold and transfer.
DWORD features_in(DWORD state) {
  switch (state) {
    case LINECALLSTATE_IDLE: return 0;
    case LINECALLSTATE_OFFERING:
    case LINECALLSTATE_ACCEPTED: return LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP;
    case LINECALLSTATE_DIALTONE: return LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
    case LINECALLSTATE_CONNECTED:
      return LINECALLFEATURE_DROP | LINECALLFEATURE_DIAL | LINECALLFEATURE_GENERATEDIGITS |
             LINECALLFEATURE_MONITORDIGITS | LINECALLFEATURE_MONITORMEDIA |
             LINECALLFEATURE_MONITORTONES | LINECALLFEATURE_HOLD | LINECALLFEATURE_BLINDTRANSFER;
    case LINECALLSTATE_ONHOLD:
      return LINECALLFEATURE_DROP | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_BLINDTRANSFER;
    default: return LINECALLFEATURE_DROP;
  }
}

SYSTEMTIME utc_system_time(messaging::WallTime t) {
  using namespace std::chrono;
  const auto day = floor<days>(t);
  const year_month_day date(day);
  const hh_mm_ss time(floor<milliseconds>(t - day));
  SYSTEMTIME s{};
  s.wYear = static_cast<WORD>(static_cast<int>(date.year()));
  s.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
  s.wDayOfWeek = static_cast<WORD>(weekday(day).c_encoding());
  s.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
  s.wHour = static_cast<WORD>(time.hours().count());
  s.wMinute = static_cast<WORD>(time.minutes().count());
  s.wSecond = static_cast<WORD>(time.seconds().count());
  s.wMilliseconds = static_cast<WORD>(time.subseconds().count());
  return s;
}

}  // namespace

LineService::Call* LineService::find_call(HCALL call) {
  auto it = calls_.find(call);
  return it == calls_.end() ? nullptr : &it->second;
}

HLINE LineService::owner_line(DWORD device) const {
  HLINE any = 0;
  for (auto& [handle, line] : lines_) {
    if (line.device != device) continue;
    if (line.privileges & LINECALLPRIVILEGE_OWNER) return handle;
    if (!any) any = handle;
  }
  return any;
}

RequestId LineService::next_request_number() {
  const RequestId id = next_request_;
  next_request_ = next_request_ == INT32_MAX ? 1 : next_request_ + 1;
  return id;
}

RequestId LineService::new_request(HLINE line, HCALL* cell, HCALL new_call) {
  const RequestId id = next_request_number();
  requests_[id] = {line, cell, new_call};
  return id;
}

HCALL LineService::new_call_handle(const Call& record) {
  const HCALL handle = next_call_++;
  if (next_call_ == 0) next_call_ = 0x100;
  calls_[handle] = record;
  return handle;
}

// A provider's synchronous answer to an asynchronous request: keep the request on success,
// forget it (and the calls made for it) on refusal.
LONG LineService::start(HCALL, LONG accepted, RequestId request) {
  if (accepted == 0) return request;
  const Request r = requests_[request];
  requests_.erase(request);
  calls_.erase(r.new_call);
  calls_.erase(r.new_call2);
  return accepted;
}

// The application never learns calls whose making failed.
void LineService::forget_new_calls(const Request& r) {
  for (HCALL dead : {r.new_call, r.new_call2}) {
    if (Call* c = dead ? find_call(dead) : nullptr) {
      stop_tone_monitor(dead, false);
      devices_[c->device].provider->deallocate(dead);
      calls_.erase(dead);
    }
  }
}

LONG LineService::lineMakeCall(HLINE line, HCALL* call, const char* dest, DWORD,
                               const LINECALLPARAMS* params) {
  auto it = lines_.find(line);
  if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
  if (!call) return LINEERR_INVALPOINTER;
  const std::string_view number = dest ? std::string_view(dest) : std::string_view();
  if (!is_plausible_dial_string(number)) return LINEERR_INVALADDRESS;
  const LineDeviceDescription& d =
      devices_[it->second.device].provider->device(devices_[it->second.device].index);
  Call record{line, it->second.device};
  if (params) {
    if (params->dwTotalSize < sizeof(LINECALLPARAMS)) return LINEERR_STRUCTURETOOSMALL;
    if (params->dwAddressMode == LINEADDRESSMODE_ADDRESSID && params->dwAddressID != 0)
      return LINEERR_INVALADDRESSID;
    if (params->dwMediaMode && (params->dwMediaMode & ~d.media_modes)) return LINEERR_INVALMEDIAMODE;
    if (params->dwMediaMode) record.media_mode = params->dwMediaMode;
    if (params->dwBearerMode) record.bearer_mode = params->dwBearerMode;
  }
  const HCALL handle = new_call_handle(record);
  const RequestId request = new_request(line, call, handle);
  const Device& dev = devices_[it->second.device];
  return start(handle, dev.provider->make_call(dev.index, handle, request, number), request);
}

LONG LineService::lineDial(HCALL call, const char* dest, DWORD) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  const std::string_view number = dest ? std::string_view(dest) : std::string_view();
  if (!is_plausible_dial_string(number)) return LINEERR_INVALADDRESS;
  const RequestId request = new_request(c->line);
  const Device& dev = devices_[c->device];
  return start(call, dev.provider->dial(call, request, number), request);
}

LONG LineService::lineAnswer(HCALL call, const char*, DWORD) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_OFFERING && c->state != LINECALLSTATE_ACCEPTED)
    return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(c->line);
  const Device& dev = devices_[c->device];
  return start(call, dev.provider->answer(call, request), request);
}

LONG LineService::lineDrop(HCALL call, const char*, DWORD) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->state == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(c->line);
  const Device& dev = devices_[c->device];
  return start(call, dev.provider->drop(call, request), request);
}

LONG LineService::lineHold(HCALL call) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(c->line);
  return start(call, devices_[c->device].provider->hold(call, request, true), request);
}

LONG LineService::lineUnhold(HCALL call) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_ONHOLD) return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(c->line);
  return start(call, devices_[c->device].provider->hold(call, request, false), request);
}

LONG LineService::lineBlindTransfer(HCALL call, const char* dest, DWORD) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  // The target is a dial string like any other.
  const std::string_view number = dest ? std::string_view(dest) : std::string_view();
  if (number.empty() || !is_plausible_dial_string(number)) return LINEERR_INVALADDRESS;
  if (c->state != LINECALLSTATE_CONNECTED && c->state != LINECALLSTATE_ONHOLD)
    return LINEERR_INVALCALLSTATE;
  const RequestId request = new_request(c->line);
  return start(call, devices_[c->device].provider->blind_transfer(call, request, number), request);
}

LONG LineService::lineDeallocateCall(HCALL call) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  stop_tone_monitor(call, false);
  devices_[c->device].provider->deallocate(call);
  calls_.erase(call);
  return 0;
}

LONG LineService::lineGetCallInfo(HCALL call, LINECALLINFO* info) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (!info) return LINEERR_INVALPOINTER;
  if (info->dwTotalSize < sizeof(LINECALLINFO)) return LINEERR_STRUCTURETOOSMALL;
  const CallDetails details = devices_[c->device].provider->details(call);
  const DWORD total = info->dwTotalSize;
  std::memset(static_cast<void*>(info), 0, sizeof(LINECALLINFO));
  info->dwTotalSize = total;
  info->hLine = c->line;
  info->dwLineDeviceID = c->device;
  info->dwBearerMode = c->bearer_mode;
  info->dwMediaMode = c->media_mode;
  info->dwCallID = call;
  info->dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_DIALING |
                       LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY |
                       LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
  info->dwOrigin = details.origin;
  info->dwReason = details.reason;
  info->dwNumOwners = 1;
  info->dwCallerIDFlags = details.caller_id_flags;
  info->dwCalledIDFlags = details.called_id_flags;
  VarWriter writer(info, sizeof(LINECALLINFO));
  auto text = [&](const std::string& s, DWORD& size, DWORD& offset) {
    if (s.empty()) return;
    std::tie(size, offset) = writer.append_text(host::to_utf16(s), true);
  };
  text(details.caller_number, info->dwCallerIDSize, info->dwCallerIDOffset);
  text(details.caller_name, info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
  text(details.called_number, info->dwCalledIDSize, info->dwCalledIDOffset);
  text(details.called_name, info->dwCalledIDNameSize, info->dwCalledIDNameOffset);
  writer.finish();
  return 0;
}

LONG LineService::lineGetCallStatus(HCALL call, LINECALLSTATUS* status) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (!status) return LINEERR_INVALPOINTER;
  if (status->dwTotalSize < sizeof(LINECALLSTATUS)) return LINEERR_STRUCTURETOOSMALL;
  clear_fixed(status);
  // A call whose first state has not come yet is in no state the application has heard of.
  status->dwCallState = c->state ? c->state : LINECALLSTATE_UNKNOWN;
  status->dwCallStateMode = c->mode;
  status->dwCallPrivilege = LINECALLPRIVILEGE_OWNER;
  status->dwCallFeatures = features_in(c->state);
  status->tStateEntryTime = utc_system_time(c->entered);
  VarWriter writer(status, sizeof(LINECALLSTATUS));
  const std::string ended = devices_[c->device].provider->details(call).end_status;
  if (!ended.empty()) {
    std::vector<std::uint8_t> bytes(ended.begin(), ended.end());
    bytes.push_back(0);
    const auto [size, offset] = writer.append(bytes);
    // Left out when it did not fit: the needed size tells the caller how much to offer.
    status->dwDevSpecificSize = offset ? size : 0;
    status->dwDevSpecificOffset = offset;
  }
  writer.finish();
  return 0;
}

LONG LineService::lineMonitorDigits(HCALL call, DWORD digit_modes) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  const LineDeviceDescription& d = *description(c->device);
  if (digit_modes & ~d.monitor_digit_modes) return LINEERR_INVALDIGITMODE;
  devices_[c->device].provider->monitor_digits(call, digit_modes);
  return 0;
}

LONG LineService::lineMonitorMedia(HCALL call, DWORD media_modes) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (media_modes & ~description(c->device)->media_modes) return LINEERR_INVALMEDIAMODE;
  devices_[c->device].provider->monitor_media(call, media_modes);
  return 0;
}

LONG LineService::lineGenerateDigits(HCALL call, DWORD digit_mode, const char* digits, DWORD) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (digit_mode != LINEDIGITMODE_DTMF && digit_mode != LINEDIGITMODE_PULSE)
    return LINEERR_INVALDIGITMODE;
  const std::string_view keys = digits ? std::string_view(digits) : std::string_view();
  if (!is_plausible_dial_string(keys)) return LINEERR_INVALPARAM;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  return devices_[c->device].provider->generate_digits(call, keys);
}

LONG LineService::lineSetCallParams(HCALL call, DWORD bearer_mode, DWORD, DWORD,
                                    const LINEDIALPARAMS*) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if ((bearer_mode & ~description(c->device)->bearer_modes) != 0) return LINEERR_INVALMEDIAMODE;
  const RequestId request = new_request(c->line);
  const LONG accepted = devices_[c->device].provider->set_call_params(call, request, bearer_mode);
  if (accepted == 0) c->bearer_mode = bearer_mode;
  return start(call, accepted, request);
}

// --- provider reports ---

void LineService::reply(RequestId request, LONG result) {
  auto it = requests_.find(request);
  if (it == requests_.end()) return;
  if (result != 0) {
    forget_new_calls(it->second);
    it->second.new_call = it->second.new_call2 = 0;
  }
  enqueue({it->second.line, 0, LINE_REPLY, static_cast<DWORD_PTR>(request),
           static_cast<DWORD_PTR>(static_cast<DWORD>(result)), 0, request});
}

void LineService::call_state(HCALL call, DWORD state, DWORD mode) {
  Call* c = find_call(call);
  if (!c) return;
  c->state = state;
  c->mode = mode;
  c->entered = loop_.clock().wall_now();
  if (state == LINECALLSTATE_IDLE) stop_tone_monitor(call, true);
  const DWORD privilege = c->announced ? 0 : LINECALLPRIVILEGE_OWNER;
  c->announced = true;
  enqueue({c->line, call, LINE_CALLSTATE, state, mode, privilege});
}

HCALL LineService::incoming_call(const LineProvider& provider, std::size_t device,
                                 const CallDetails&) {
  const auto d = device_of(provider, device);
  if (!d) return 0;
  const HLINE line = owner_line(*d);
  if (!line) return 0;
  Call record{line, *d};
  record.media_mode = LINEMEDIAMODE_INTERACTIVEVOICE;
  return new_call_handle(record);
}

void LineService::ringing(const LineProvider& provider, std::size_t device) {
  const auto d = device_of(provider, device);
  if (!d) return;
  for (auto& [handle, line] : lines_)
    if (line.device == *d) enqueue({handle, handle, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0, 0});
}

void LineService::call_info_changed(HCALL call, DWORD states) {
  if (Call* c = find_call(call)) enqueue({c->line, call, LINE_CALLINFO, states, 0, 0});
}

void LineService::digit(HCALL call, char digit, DWORD mode) {
  if (Call* c = find_call(call))
    enqueue({c->line, call, LINE_MONITORDIGITS, static_cast<unsigned char>(digit), mode, 0});
}

void LineService::media(HCALL call, DWORD media_mode) {
  if (Call* c = find_call(call)) enqueue({c->line, call, LINE_MONITORMEDIA, media_mode, 0, 0});
}

}  // namespace orvexa::telephony
