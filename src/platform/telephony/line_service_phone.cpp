// The phone side: phone devices that providers put beside their lines, opened by handle, with
// set requests answered by PHONE_REPLY and changes reported by PHONE_STATE (as far as the
// handle's status-message mask asks for them).
#include "platform/host/utf.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {

namespace {

constexpr DWORD kHookDevices = PHONEHOOKSWITCHDEV_HANDSET | PHONEHOOKSWITCHDEV_SPEAKER;
constexpr DWORD kAllHookModes = PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MIC |
                                PHONEHOOKSWITCHMODE_SPEAKER | PHONEHOOKSWITCHMODE_MICSPEAKER;
constexpr DWORD kPhoneStates = PHONESTATE_DISPLAY | PHONESTATE_LAMP | PHONESTATE_RINGMODE |
                               PHONESTATE_RINGVOLUME | PHONESTATE_HANDSETHOOKSWITCH |
                               PHONESTATE_HANDSETVOLUME | PHONESTATE_HANDSETGAIN |
                               PHONESTATE_SPEAKERHOOKSWITCH | PHONESTATE_SPEAKERVOLUME |
                               PHONESTATE_SPEAKERGAIN;

}  // namespace

PhoneDevice* LineService::phone_of_line(DWORD device) const {
  for (const PhoneSlot& slot : phones_)
    if (slot.line_device == device) return slot.device;
  return nullptr;
}

LineService::OpenPhone* LineService::open_phone(HPHONE phone) {
  auto it = open_phones_.find(phone);
  return it == open_phones_.end() ? nullptr : &it->second;
}

LONG LineService::phoneInitializeExW(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                                     DWORD* api_version, LINEINITIALIZEEXPARAMS* params) {
  if (!app || !num_devs || !api_version || !callback) return PHONEERR_INVALPOINTER;
  if (params && params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
    return PHONEERR_STRUCTURETOOSMALL;
  *app = next_app_++;
  phone_apps_[*app] = std::move(callback);
  *num_devs = static_cast<DWORD>(phones_.size());
  *api_version = kApiVersion20002;
  return 0;
}

LONG LineService::phoneInitialize(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs) {
  DWORD version = kApiVersion20002;
  return phoneInitializeExW(app, std::move(callback), num_devs, &version, nullptr);
}

LONG LineService::phoneShutdown(HPHONEAPP app) {
  if (!phone_apps_.erase(app)) return PHONEERR_INVALAPPHANDLE;
  std::erase_if(open_phones_, [app](const auto& entry) { return entry.second.app == app; });
  return 0;
}

LONG LineService::phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                           DWORD* version, LINEEXTENSIONID* extension) {
  if (!phone_apps_.contains(app)) return PHONEERR_INVALAPPHANDLE;
  if (device >= phones_.size()) return PHONEERR_BADDEVICEID;
  if (!version || !extension) return PHONEERR_INVALPOINTER;
  return agree_version(low, high, *version, *extension) ? 0 : PHONEERR_INVALPARAM;
}

LONG LineService::phoneGetDevCaps(HPHONEAPP app, DWORD device, DWORD, DWORD, PHONECAPS* caps) {
  if (!phone_apps_.contains(app)) return PHONEERR_INVALAPPHANDLE;
  if (device >= phones_.size()) return PHONEERR_BADDEVICEID;
  if (!caps) return PHONEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(PHONECAPS)) return PHONEERR_STRUCTURETOOSMALL;
  const PhoneDevice& phone = *phones_[device].device;
  clear_fixed(caps);
  VarWriter writer(caps, sizeof(PHONECAPS));
  const Device& line = devices_[phones_[device].line_device];
  std::tie(caps->dwProviderInfoSize, caps->dwProviderInfoOffset) =
      writer.append_text(host::to_utf16(line.provider->name()), true);
  std::tie(caps->dwPhoneNameSize, caps->dwPhoneNameOffset) =
      writer.append_text(host::to_utf16(phone.name()), true);
  caps->dwPermanentPhoneID = device + 1;
  caps->dwStringFormat = STRINGFORMAT_UNICODE;
  caps->dwPhoneStates = kPhoneStates;
  caps->dwHookSwitchDevs = kHookDevices;
  caps->dwHandsetHookSwitchModes = caps->dwSpeakerHookSwitchModes = kAllHookModes;
  caps->dwVolumeFlags = caps->dwGainFlags = kHookDevices;
  caps->dwDisplayNumRows = phone.counts().rows;
  caps->dwDisplayNumColumns = phone.counts().columns;
  caps->dwNumRingModes = phone.counts().ring_modes;
  caps->dwNumButtonLamps = phone.counts().lamps;
  writer.finish();
  return 0;
}

LONG LineService::phoneOpen(HPHONEAPP app, DWORD device, HPHONE* phone, DWORD version, DWORD,
                            DWORD_PTR instance, DWORD privilege) {
  if (!phone_apps_.contains(app)) return PHONEERR_INVALAPPHANDLE;
  if (device >= phones_.size()) return PHONEERR_BADDEVICEID;
  if (!phone) return PHONEERR_INVALPOINTER;
  if (version < kApiVersion10003 || version > kApiVersion20002) return PHONEERR_INVALPARAM;
  if (privilege != PHONEPRIVILEGE_MONITOR && privilege != PHONEPRIVILEGE_OWNER)
    return PHONEERR_INVALPRIVILEGE;
  *phone = next_phone_++;
  open_phones_[*phone] = {app, device, instance, 0};
  return 0;
}

LONG LineService::phoneClose(HPHONE phone) {
  return open_phones_.erase(phone) ? 0 : PHONEERR_INVALPHONEHANDLE;
}

LONG LineService::phoneSetStatusMessages(HPHONE phone, DWORD phone_states, DWORD, DWORD) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  if (phone_states & ~kPhoneStates) return PHONEERR_INVALPARAM;
  p->mask = phone_states;
  return 0;
}

template <class Apply>
LONG LineService::phone_request(HPHONE phone, Apply apply) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  PhoneDevice& device = *phones_[p->id].device;
  const RequestId request = next_request_number();
  // A device that never answers takes the request and does nothing with it.
  if (!device.answers) return request;
  DWORD changed = 0;
  if (const LONG refused = apply(device, changed); refused != 0) return refused;
  enqueue({0, phone, PHONE_REPLY, static_cast<DWORD_PTR>(request), 0, 0, request, phone});
  for (auto& [handle, open] : open_phones_)
    if (open.id == p->id && (open.mask & changed))
      enqueue({0, handle, PHONE_STATE, open.mask & changed, 0, 0, 0, handle});
  return request;
}

LONG LineService::phoneSetRing(HPHONE phone, DWORD ring_mode, DWORD volume) {
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_ring(ring_mode, volume, changed);
  });
}

LONG LineService::phoneSetLamp(HPHONE phone, DWORD lamp, DWORD mode) {
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_lamp(lamp, mode, changed);
  });
}

LONG LineService::phoneSetDisplay(HPHONE phone, DWORD row, DWORD column, const char* text,
                                  DWORD size) {
  if (size > 0 && !text) return PHONEERR_INVALPOINTER;
  // The device's strings are UTF-16: two bytes a character, an odd last byte is ignored.
  std::u16string chars;
  for (DWORD i = 0; i + 1 < size; i += 2) {
    const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(text[i]) |
                                             static_cast<unsigned char>(text[i + 1]) << 8);
    if (c == 0) break;
    chars.push_back(c);
  }
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_display(row, column, chars, changed);
  });
}

LONG LineService::phoneSetHookSwitch(HPHONE phone, DWORD devices, DWORD mode) {
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_hook_switch(devices, mode, changed);
  });
}

LONG LineService::phoneSetVolume(HPHONE phone, DWORD device, DWORD volume) {
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_volume(device, volume, changed);
  });
}

LONG LineService::phoneSetGain(HPHONE phone, DWORD device, DWORD gain) {
  return phone_request(phone, [&](PhoneDevice& d, DWORD& changed) {
    return d.set_gain(device, gain, changed);
  });
}

LONG LineService::phoneGetRing(HPHONE phone, DWORD* ring_mode, DWORD* volume) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  if (!ring_mode || !volume) return PHONEERR_INVALPOINTER;
  *ring_mode = phones_[p->id].device->ring_mode();
  *volume = phones_[p->id].device->ring_volume();
  return 0;
}

LONG LineService::phoneGetLamp(HPHONE phone, DWORD lamp, DWORD* mode) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  if (!mode) return PHONEERR_INVALPOINTER;
  const std::vector<DWORD>& lamps = phones_[p->id].device->lamps();
  if (lamp >= lamps.size()) return PHONEERR_INVALBUTTONLAMPID;
  *mode = lamps[lamp];
  return 0;
}

LONG LineService::phoneGetDisplay(HPHONE phone, VARSTRING* display) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  if (!display) return PHONEERR_INVALPOINTER;
  if (display->dwTotalSize < sizeof(VARSTRING)) return PHONEERR_STRUCTURETOOSMALL;
  clear_fixed(display);
  display->dwStringFormat = STRINGFORMAT_UNICODE;
  VarWriter writer(display, sizeof(VARSTRING));
  std::tie(display->dwStringSize, display->dwStringOffset) =
      writer.append_text(phones_[p->id].device->display(), true);
  if (display->dwStringOffset == 0) display->dwStringSize = 0;
  writer.finish();
  return 0;
}

LONG LineService::phoneGetStatus(HPHONE phone, PHONESTATUS* status) {
  OpenPhone* p = open_phone(phone);
  if (!p) return PHONEERR_INVALPHONEHANDLE;
  if (!status) return PHONEERR_INVALPOINTER;
  if (status->dwTotalSize < sizeof(PHONESTATUS)) return PHONEERR_STRUCTURETOOSMALL;
  const PhoneDevice& d = *phones_[p->id].device;
  clear_fixed(status);
  status->dwNumOwners = 1;
  status->dwRingMode = d.ring_mode();
  status->dwRingVolume = d.ring_volume();
  status->dwHandsetHookSwitchMode = d.handset().mode;
  status->dwHandsetVolume = d.handset().volume;
  status->dwHandsetGain = d.handset().gain;
  status->dwSpeakerHookSwitchMode = d.speaker().mode;
  status->dwSpeakerVolume = d.speaker().volume;
  status->dwSpeakerGain = d.speaker().gain;
  VarWriter writer(status, sizeof(PHONESTATUS));
  std::tie(status->dwDisplaySize, status->dwDisplayOffset) = writer.append_text(d.display(), true);
  const std::vector<DWORD>& lamps = d.lamps();
  std::tie(status->dwLampModesSize, status->dwLampModesOffset) = writer.append(
      {reinterpret_cast<const std::uint8_t*>(lamps.data()), lamps.size() * sizeof(DWORD)});
  if (status->dwDisplayOffset == 0) status->dwDisplaySize = 0;
  if (status->dwLampModesOffset == 0) status->dwLampModesSize = 0;
  writer.finish();
  return 0;
}

void LineService::deliver_phone(const Notification& n) {
  auto open = open_phones_.find(n.phone);
  if (open == open_phones_.end()) return;
  auto app = phone_apps_.find(open->second.app);
  if (app == phone_apps_.end()) return;
  LINECALLBACK callback = app->second;
  callback(n.device_handle, n.message, open->second.instance, n.p1, n.p2, n.p3);
}

}  // namespace orvexa::telephony
