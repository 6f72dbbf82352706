// Initialisation, devices, capabilities, opening and closing, identifiers and configuration.
#include "platform/telephony/line_service.h"

#include <cstring>
#include <string_view>

#include "platform/host/utf.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {

namespace {

constexpr messaging::UINT kDeliverMessage = messaging::WM_USER + 1;

bool same_class(const char* a, std::string_view b) { return a && std::string_view(a) == b; }

LONG write_word(VARSTRING* id, DWORD value) {
  clear_fixed(id);
  id->dwStringFormat = STRINGFORMAT_BINARY;
  VarWriter writer(id, sizeof(VARSTRING));
  std::uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  auto [size, offset] = writer.append(bytes);
  id->dwStringSize = offset ? size : 0;
  id->dwStringOffset = offset;
  writer.finish();
  return 0;
}

}  // namespace

LineService::LineService(messaging::Loop& loop)
    : loop_(loop),
      window_(loop, [this](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
        if (m == kDeliverMessage) deliver_next();
        return messaging::LRESULT{0};
      }) {}

LineService::~LineService() {
  for (auto& [handle, line] : lines_) {
    const Device& d = devices_[line.device];
    bool last = true;
    for (auto& [other, l] : lines_)
      if (other != handle && l.device == line.device) last = false;
    if (last) d.provider->close(d.index);
  }
}

void LineService::add_provider(LineProvider& provider) {
  for (std::size_t i = 0; i < provider.device_count(); ++i) {
    if (PhoneDevice* phone = provider.phone(i))
      phones_.push_back({static_cast<DWORD>(devices_.size()), phone});
    devices_.push_back({&provider, i});
  }
}

std::optional<std::pair<LineProvider*, std::size_t>> LineService::provider_of(DWORD device) const {
  if (device >= devices_.size()) return std::nullopt;
  return std::make_pair(devices_[device].provider, devices_[device].index);
}

const LineDeviceDescription* LineService::description(DWORD device) const {
  if (device >= devices_.size()) return nullptr;
  return &devices_[device].provider->device(devices_[device].index);
}

std::optional<DWORD> LineService::device_of(const LineProvider& provider, std::size_t index) const {
  for (DWORD d = 0; d < devices_.size(); ++d)
    if (devices_[d].provider == &provider && devices_[d].index == index) return d;
  return std::nullopt;
}

LONG LineService::lineInitializeExW(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                                    DWORD* api_version, LINEINITIALIZEEXPARAMS* params) {
  if (!app || !num_devs || !api_version) return LINEERR_INVALPOINTER;
  if (params && params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
    return LINEERR_STRUCTURETOOSMALL;
  if (*api_version < kApiVersion20002) return LINEERR_INCOMPATIBLEAPIVERSION;
  if (!callback) return LINEERR_INVALPOINTER;
  *app = next_app_++;
  line_apps_[*app] = std::move(callback);
  *num_devs = static_cast<DWORD>(devices_.size());
  *api_version = kApiVersion20002;
  return 0;
}

LONG LineService::lineInitialize(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs) {
  DWORD version = kApiVersion20002;
  return lineInitializeExW(app, std::move(callback), num_devs, &version, nullptr);
}

LONG LineService::lineShutdown(HLINEAPP app) {
  if (!line_apps_.contains(app)) return LINEERR_INVALAPPHANDLE;
  std::vector<HLINE> mine;
  for (auto& [handle, line] : lines_)
    if (line.app == app) mine.push_back(handle);
  for (HLINE l : mine) lineClose(l);
  line_apps_.erase(app);
  return 0;
}

LONG LineService::lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high,
                                          DWORD* version, LINEEXTENSIONID* extension) {
  if (!line_apps_.contains(app)) return LINEERR_INVALAPPHANDLE;
  if (device >= devices_.size()) return LINEERR_BADDEVICEID;
  if (!version || !extension) return LINEERR_INVALPOINTER;
  return agree_version(low, high, *version, *extension) ? 0 : LINEERR_INCOMPATIBLEAPIVERSION;
}

bool LineService::agree_version(DWORD low, DWORD high, DWORD& version, LINEEXTENSIONID& extension) {
  if (high < kApiVersion10003 || low > kApiVersion20002 || low > high) return false;
  version = high < kApiVersion20002 ? high : kApiVersion20002;
  extension = {};
  return true;
}

LONG LineService::lineGetDevCaps(HLINEAPP app, DWORD device, DWORD, DWORD, LINEDEVCAPS* caps) {
  if (!line_apps_.contains(app)) return LINEERR_INVALAPPHANDLE;
  const LineDeviceDescription* d = description(device);
  if (!d) return LINEERR_BADDEVICEID;
  if (!caps) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
  clear_fixed(caps);
  VarWriter writer(caps, sizeof(LINEDEVCAPS));
  std::tie(caps->dwProviderInfoSize, caps->dwProviderInfoOffset) =
      writer.append_text(host::to_utf16(devices_[device].provider->name()), true);
  std::tie(caps->dwLineNameSize, caps->dwLineNameOffset) =
      writer.append_text(host::to_utf16(d->name), true);
  caps->dwPermanentLineID = device + 1;
  caps->dwStringFormat = STRINGFORMAT_UNICODE;
  caps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
  caps->dwNumAddresses = 1;
  caps->dwBearerModes = d->bearer_modes;
  caps->dwMaxRate = d->max_rate;
  caps->dwMediaModes = d->media_modes;
  caps->dwGenerateDigitModes = d->generate_digit_modes;
  caps->dwMonitorToneMaxNumFreq = 3;
  caps->dwMonitorToneMaxNumEntries = kMaxMonitoredTones;
  caps->dwMonitorDigitModes = d->monitor_digit_modes;
  writer.finish();
  return 0;
}

LONG LineService::lineGetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD, DWORD,
                                     LINEADDRESSCAPS* caps) {
  if (!line_apps_.contains(app)) return LINEERR_INVALAPPHANDLE;
  const LineDeviceDescription* d = description(device);
  if (!d) return LINEERR_BADDEVICEID;
  if (address != 0) return LINEERR_INVALADDRESSID;
  if (!caps) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEADDRESSCAPS)) return LINEERR_STRUCTURETOOSMALL;
  clear_fixed(caps);
  VarWriter writer(caps, sizeof(LINEADDRESSCAPS));
  std::tie(caps->dwAddressSize, caps->dwAddressOffset) =
      writer.append_text(host::to_utf16(d->address), true);
  caps->dwLineDeviceID = device;
  caps->dwCallerIDFlags = d->caller_id_flags;
  caps->dwCalledIDFlags = d->called_id_flags;
  caps->dwCallInfoStates = LINECALLINFOSTATE_CALLERID | LINECALLINFOSTATE_CALLEDID;
  caps->dwMaxNumActiveCalls = d->channels;
  writer.finish();
  return 0;
}

LONG LineService::lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD,
                           DWORD_PTR instance, DWORD privileges, DWORD media_modes,
                           const LINECALLPARAMS*) {
  if (!line_apps_.contains(app)) return LINEERR_INVALAPPHANDLE;
  const LineDeviceDescription* d = description(device);
  if (!d) return LINEERR_BADDEVICEID;
  if (!line) return LINEERR_INVALPOINTER;
  if (version < kApiVersion10003 || version > kApiVersion20002)
    return LINEERR_INCOMPATIBLEAPIVERSION;
  if ((media_modes & ~d->media_modes) != 0) return LINEERR_INVALMEDIAMODE;
  bool first = true;
  for (auto& [h, l] : lines_)
    if (l.device == device) first = false;
  if (first) {
    const LONG opened = devices_[device].provider->open(devices_[device].index, *this);
    if (opened != 0) return opened;
  }
  *line = next_line_++;
  lines_[*line] = {app, device, instance, privileges};
  return 0;
}

LONG LineService::lineClose(HLINE line) {
  auto it = lines_.find(line);
  if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
  const DWORD device = it->second.device;
  lines_.erase(it);
  forget_requests_of(line);
  // Calls of a closed line end at the service; the application hears nothing more of them.
  std::vector<HCALL> ended;
  for (auto& [h, c] : calls_)
    if (c.line == line) ended.push_back(h);
  const Device& d = devices_[device];
  for (HCALL h : ended) {
    stop_tone_monitor(h, false);
    d.provider->deallocate(h);
    calls_.erase(h);
  }
  bool last = true;
  for (auto& [h, l] : lines_)
    if (l.device == device) last = false;
  if (last) d.provider->close(d.index);
  return 0;
}

LONG LineService::lineSetStatusMessages(HLINE line, DWORD, DWORD) {
  return lines_.contains(line) ? 0 : LINEERR_INVALLINEHANDLE;
}

LONG LineService::lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id,
                            const char* device_class) {
  DWORD device = 0;
  std::int32_t call_wave_in = -1, call_wave_out = -1;
  if (select == LINECALLSELECT_CALL) {
    Call* c = find_call(call);
    if (!c) return LINEERR_INVALCALLHANDLE;
    device = c->device;
    const CallDetails details = devices_[device].provider->details(call);
    call_wave_in = details.wave_in;
    call_wave_out = details.wave_out;
  } else if (select == LINECALLSELECT_LINE || select == LINECALLSELECT_ADDRESS) {
    auto it = lines_.find(line);
    if (it == lines_.end()) return LINEERR_INVALLINEHANDLE;
    if (select == LINECALLSELECT_ADDRESS && address != 0) return LINEERR_INVALADDRESSID;
    device = it->second.device;
  } else {
    return LINEERR_INVALPARAM;
  }
  if (!id || !device_class) return LINEERR_INVALPOINTER;
  if (id->dwTotalSize < sizeof(VARSTRING)) return LINEERR_STRUCTURETOOSMALL;
  const LineDeviceDescription* d = description(device);
  if (same_class(device_class, "wave/in") || same_class(device_class, "wave/out")) {
    const bool in = same_class(device_class, "wave/in");
    // A call on a line with channels has devices of its own.
    const std::int32_t own = in ? call_wave_in : call_wave_out;
    const std::int32_t wave = own >= 0 ? own : in ? d->wave_in : d->wave_out;
    if (wave < 0) return LINEERR_NODEVICE;
    return write_word(id, static_cast<DWORD>(wave));
  }
  if (same_class(device_class, "tapi/line")) return write_word(id, device);
  if (same_class(device_class, "tapi/phone")) {
    for (DWORD p = 0; p < phones_.size(); ++p)
      if (phones_[p].line_device == device) return write_word(id, p);
    return LINEERR_NODEVICE;
  }
  if (same_class(device_class, "comm/datamodem")) return LINEERR_NODEVICE;
  return LINEERR_INVALDEVICECLASS;
}

LONG LineService::lineGetDevConfig(DWORD device, VARSTRING* config, const char* device_class) {
  if (device >= devices_.size()) return LINEERR_BADDEVICEID;
  if (!config) return LINEERR_INVALPOINTER;
  if (!same_class(device_class, "comm/datamodem")) return LINEERR_INVALDEVICECLASS;
  if (config->dwTotalSize < sizeof(VARSTRING)) return LINEERR_STRUCTURETOOSMALL;
  const std::vector<std::uint8_t> blob = devices_[device].provider->device_config(
      devices_[device].index);
  clear_fixed(config);
  config->dwStringFormat = STRINGFORMAT_BINARY;
  VarWriter writer(config, sizeof(VARSTRING));
  std::tie(config->dwStringSize, config->dwStringOffset) = writer.append(blob);
  if (config->dwStringOffset == 0) config->dwStringSize = 0;
  writer.finish();
  return 0;
}

LONG LineService::lineSetDevConfig(DWORD device, const void* config, DWORD size,
                                   const char* device_class) {
  if (device >= devices_.size()) return LINEERR_BADDEVICEID;
  if (!same_class(device_class, "comm/datamodem")) return LINEERR_INVALDEVICECLASS;
  if (!config && size != 0) return LINEERR_INVALPOINTER;
  const auto* bytes = static_cast<const std::uint8_t*>(config);
  return devices_[device].provider->set_device_config(
      devices_[device].index, std::vector<std::uint8_t>(bytes, bytes + size));
}

LONG LineService::lineConfigDialog(DWORD device, DWORD_PTR, const char*) {
  if (device >= devices_.size()) return LINEERR_BADDEVICEID;
  return devices_[device].provider->config_dialog(devices_[device].index);
}

// --- delivery ---

void LineService::enqueue(Notification n) {
  queue_.push_back(n);
  window_.post(kDeliverMessage);
}

void LineService::deliver_next() {
  if (queue_.empty()) return;
  Notification n = queue_.front();
  queue_.pop_front();
  if (n.phone) {
    deliver_phone(n);
    return;
  }
  auto line = lines_.find(n.line);
  if (line == lines_.end()) return;
  if (n.message == LINE_REPLY) {
    auto req = requests_.find(n.request);
    if (req == requests_.end()) return;
    const Request r = req->second;
    requests_.erase(req);
    if (static_cast<LONG>(n.p2) == 0 && r.cell && r.new_call) *r.cell = r.new_call;
    if (static_cast<LONG>(n.p2) == 0 && r.cell2 && r.new_call2) *r.cell2 = r.new_call2;
  }
  auto app = line_apps_.find(line->second.app);
  if (app == line_apps_.end()) return;
  // Copy: the callback may shut the application down and erase its entry.
  LINECALLBACK callback = app->second;
  callback(n.device_handle, n.message, line->second.instance, n.p1, n.p2, n.p3);
}

void LineService::forget_requests_of(HLINE line) {
  for (auto it = requests_.begin(); it != requests_.end();)
    it = it->second.line == line ? requests_.erase(it) : std::next(it);
}

}  // namespace orvexa::telephony
