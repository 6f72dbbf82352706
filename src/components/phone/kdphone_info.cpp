// Call information events, device information, wave devices, the data-modem port and the saved
// line configuration.
#include <algorithm>
#include <cstring>
#include <string>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"
#include "platform/host/utf.h"

namespace orvexa::components {

using namespace telephony;

namespace {

std::string RootName(std::uint32_t root) {
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  return "HKEY_" + std::to_string(root);
}

std::string SettingsKey(std::uint32_t root, const std::string& path, const std::string& name) {
  return "Registry/" + RootName(root) + "/" + path + "/" + name;
}

constexpr std::size_t kSavedStructure = 1024;

}  // namespace

// --- call information ---

void KDPhone::DispatchCallInfo(HCALL call, DWORD bits) {
  if ((bits & LINECALLINFOSTATE_CALLERID) && OnCallerID) DispatchIdentification(call, true);
  if ((bits & LINECALLINFOSTATE_CALLEDID) && OnCalledID) DispatchIdentification(call, false);
  struct Kind {
    DWORD bit;
    TTypeOfInfo type;
  };
  static constexpr Kind kKinds[] = {{LINECALLINFOSTATE_DISPLAY, tiDisplayInfo},
                                    {LINECALLINFOSTATE_USERUSERINFO, tiUserInfo},
                                    {LINECALLINFOSTATE_ORIGIN, tiOrigin},
                                    {LINECALLINFOSTATE_REASON, tiReason}};
  for (const Kind& k : kKinds) {
    if (!(bits & k.bit) || !OnCallInfo) continue;
    int error = 0;
    auto info = ReadCallInfo(call, error);
    if (!info) {
      RaiseCallState(csError, error, 0, call);
      continue;
    }
    const LINECALLINFO& i = *info->get();
    if (k.type == tiOrigin || k.type == tiReason) {
      OnCallInfo(*this, k.type, u"", static_cast<int>(k.type == tiOrigin ? i.dwOrigin : i.dwReason),
                 static_cast<int>(call));
      continue;
    }
    const DWORD size = k.type == tiDisplayInfo ? i.dwDisplaySize : i.dwUserUserInfoSize;
    const DWORD offset = k.type == tiDisplayInfo ? i.dwDisplayOffset : i.dwUserUserInfoOffset;
    if (size == 0 || offset == 0) continue;
    auto text = read_text(info->bytes(), sizeof(LINECALLINFO), size, offset, line_info_.wide);
    if (!text) {
      RaiseCallState(csError, err::kFailed, 0, call);
      continue;
    }
    OnCallInfo(*this, k.type, *text, 0, static_cast<int>(call));
  }
}

void KDPhone::DispatchIdentification(HCALL call, bool caller) {
  TCallerIDEvent& event = caller ? OnCallerID : OnCalledID;
  const int handle = static_cast<int>(call);
  int error = 0;
  auto info = ReadCallInfo(call, error);
  if (!info) {
    event(*this, error, u"", u"", handle);
    return;
  }
  const LINECALLINFO& i = *info->get();
  const DWORD flags = caller ? i.dwCallerIDFlags : i.dwCalledIDFlags;
  if (flags == LINECALLPARTYID_BLOCKED || flags == LINECALLPARTYID_OUTOFAREA ||
      flags == LINECALLPARTYID_UNKNOWN) {
    event(*this, err::kCallerIdUnavailable, u"", u"", handle);
    return;
  }
  if (flags == LINECALLPARTYID_UNAVAIL) {
    event(*this, err::kCallerIdNotSupported, u"", u"", handle);
    return;
  }
  auto part = [&](DWORD size, DWORD offset) -> std::optional<std::u16string> {
    if (size == 0 || offset == 0) return std::u16string();
    return read_text(info->bytes(), sizeof(LINECALLINFO), size, offset, line_info_.wide);
  };
  auto number = caller ? part(i.dwCallerIDSize, i.dwCallerIDOffset)
                       : part(i.dwCalledIDSize, i.dwCalledIDOffset);
  auto name = caller ? part(i.dwCallerIDNameSize, i.dwCallerIDNameOffset)
                     : part(i.dwCalledIDNameSize, i.dwCalledIDNameOffset);
  if (!number || !name) {
    // A part outside the structure: the service's data cannot be trusted.
    event(*this, err::kFailed, u"", u"", handle);
    return;
  }
  std::u16string key = host::to_utf16(std::to_string(call)) + *number + *name;
  std::u16string& last = caller ? last_caller_key_ : last_called_key_;
  if (key == last) return;
  last = key;
  if (number->empty() && name->empty()) {
    event(*this, err::kCallerIdUnavailable, u"", u"", handle);
  } else {
    event(*this, 0, *number, *name, handle);
  }
}

// --- device information ---

int KDPhone::GetLineName(int device, std::u16string& name) {
  name.clear();
  if (int r = EnsureInitialised(); r != 0) return r;
  DWORD version = 0;
  LINEEXTENSIONID ext{};
  const DWORD dev = static_cast<DWORD>(device);
  if (LONG r = api_.lineNegotiateAPIVersion(line_app_, dev, kApiVersion10003, kApiVersion20002,
                                            &version, &ext);
      r != 0) {
    if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
    if (r == LINEERR_NOMEM) return err::kNoMemory;
    return r == LINEERR_RESOURCEUNAVAIL ? err::kLineAllocated : err::kNegotiateVersion;
  }
  auto caps = read_variable<LINEDEVCAPS>(sizeof(LINEDEVCAPS), [&](LINEDEVCAPS* c) {
    return api_.lineGetDevCaps(line_app_, dev, version, 0, c);
  });
  if (!caps.ok()) {
    if (caps.error) return caps.error;
    if (caps.refusal == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
    if (caps.refusal == LINEERR_NODEVICE) return err::kNoLineDevice;
    return caps.refusal == LINEERR_NOMEM ? err::kNoMemory : err::kFailed;
  }
  const LINEDEVCAPS& c = *caps.buffer->get();
  if (c.dwLineNameSize == 0 || c.dwLineNameOffset == 0) return err::kDeviceNameUnavailable;
  const bool wide = c.dwStringFormat == STRINGFORMAT_DBCS || c.dwStringFormat == STRINGFORMAT_UNICODE;
  auto text = read_text(caps.buffer->bytes(), sizeof(LINEDEVCAPS), c.dwLineNameSize,
                        c.dwLineNameOffset, wide);
  if (!text) return err::kFailed;
  name = *text;
  return 0;
}

int KDPhone::GetNumberOfAddresses(int device, int& count) {
  if (int r = EnsureInitialised(); r != 0) return r;
  DWORD version = 0;
  LINEEXTENSIONID ext{};
  const DWORD dev = static_cast<DWORD>(device);
  if (LONG r = api_.lineNegotiateAPIVersion(line_app_, dev, kApiVersion10003, kApiVersion20002,
                                            &version, &ext);
      r != 0)
    return r == LINEERR_BADDEVICEID ? err::kBadLineDeviceId : err::kNegotiateVersion;
  auto caps = read_variable<LINEDEVCAPS>(sizeof(LINEDEVCAPS), [&](LINEDEVCAPS* c) {
    return api_.lineGetDevCaps(line_app_, dev, version, 0, c);
  });
  if (!caps.ok()) {
    if (caps.error) return caps.error;
    return caps.refusal == LINEERR_BADDEVICEID ? err::kBadLineDeviceId : err::kFailed;
  }
  count = static_cast<int>((*caps.buffer)->dwNumAddresses);
  return 0;
}

int KDPhone::ReadAddressCaps(int device, int address, AddressCaps& caps) {
  if (int r = EnsureInitialised(); r != 0) return r;
  DWORD version = 0;
  LINEEXTENSIONID ext{};
  const DWORD dev = static_cast<DWORD>(device);
  if (LONG r = api_.lineNegotiateAPIVersion(line_app_, dev, kApiVersion10003, kApiVersion20002,
                                            &version, &ext);
      r != 0)
    return r == LINEERR_BADDEVICEID ? err::kBadLineDeviceId : err::kNegotiateVersion;
  auto read = read_variable<LINEADDRESSCAPS>(sizeof(LINEADDRESSCAPS), [&](LINEADDRESSCAPS* a) {
    return api_.lineGetAddressCaps(line_app_, dev, static_cast<DWORD>(address), version, 0, a);
  });
  if (!read.ok()) {
    if (read.error) return read.error;
    if (read.refusal == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
    if (read.refusal == LINEERR_NODEVICE) return err::kNoLineDevice;
    return read.refusal == LINEERR_NOMEM ? err::kNoMemory : err::kFailed;
  }
  caps = std::move(read.buffer);
  return 0;
}

int KDPhone::GetAddressName(int device, int address, std::u16string& name) {
  name.clear();
  AddressCaps caps;
  if (int r = ReadAddressCaps(device, address, caps); r != 0) return r;
  const LINEADDRESSCAPS& a = *caps->get();
  if (a.dwAddressSize == 0 || a.dwAddressOffset == 0) return err::kDeviceNameUnavailable;
  auto text = read_text(caps->bytes(), sizeof(LINEADDRESSCAPS), a.dwAddressSize,
                        a.dwAddressOffset, line_info_.wide);
  if (!text) return err::kFailed;
  name = *text;
  return 0;
}

int KDPhone::GetMaxActiveCalls(int device, int& calls) {
  calls = 0;
  AddressCaps caps;
  if (int r = ReadAddressCaps(device, 0, caps); r != 0) return r;
  // A line that does not say carries one call.
  calls = std::max<int>(1, static_cast<int>((*caps)->dwMaxNumActiveCalls));
  return 0;
}

int KDPhone::GetAddressID(int call, int& address) {
  auto read = read_variable<LINECALLINFO>(sizeof(LINECALLINFO), [&](LINECALLINFO* info) {
    return api_.lineGetCallInfo(static_cast<HCALL>(call), info);
  });
  if (!read.ok()) {
    if (read.error) return read.error;
    const LONG r = read.refusal;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_NOMEM) return err::kNoMemory;
    if (r == LINEERR_ALLOCATED || r == LINEERR_RESOURCEUNAVAIL) return err::kLineAllocated;
    return err::kFailed;
  }
  address = static_cast<int>((*read.buffer)->dwAddressID);
  return 0;
}

int KDPhone::GetWaveRecIDFrom(bool from_address, int value, int& device) {
  device = -2;
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (from_address && value < 0) return err::kAddressIdRange;
  return from_address ? DeviceIdentifier(line_, static_cast<DWORD>(value), 0,
                                         LINECALLSELECT_ADDRESS, "wave/in", device)
                      : DeviceIdentifier(line_, 0, static_cast<HCALL>(value), LINECALLSELECT_CALL,
                                         "wave/in", device);
}

int KDPhone::GetWavePlayIDFrom(bool from_address, int value, int& device) {
  device = -2;
  if (state_ != LineState::Open) return err::kLineNotActive;
  if (from_address && value < 0) return err::kAddressIdRange;
  return from_address ? DeviceIdentifier(line_, static_cast<DWORD>(value), 0,
                                         LINECALLSELECT_ADDRESS, "wave/out", device)
                      : DeviceIdentifier(line_, 0, static_cast<HCALL>(value), LINECALLSELECT_CALL,
                                         "wave/out", device);
}

int KDPhone::GetCommHandle(std::uint32_t& handle) {
  handle = 0;
  if (!IsConnected()) return err::kAlreadyDisconnected;
  if (comm_handle_ && comm_call_ == current_call_) {
    handle = comm_handle_;
    return 0;
  }
  auto read = read_variable<VARSTRING>(
      sizeof(VARSTRING),
      [&](VARSTRING* v) {
        return api_.lineGetID(line_, 0, current_call_, LINECALLSELECT_CALL, v, "comm/datamodem");
      },
      1);
  if (!read.ok()) return read.error == err::kNoMemory ? err::kNoMemory : err::kFailed;
  const VARSTRING& v = *read.buffer->get();
  auto part = checked_part(read.buffer->bytes(), sizeof(VARSTRING), v.dwStringSize, v.dwStringOffset);
  if (!part || part->size() < 4) return err::kFailed;
  std::memcpy(&handle, part->data(), 4);
  comm_handle_ = handle;
  comm_call_ = current_call_;
  return 0;
}

// --- configuration ---

int KDPhone::LineConfigDialog(std::uintptr_t owner, int device) {
  for (const CallEntry& e : calls_)
    if (e.state == csOffering || e.state == csRing) return err::kOfferingInProgress;
  for (const CallEntry& e : calls_)
    if (e.state != csDisconnected) return err::kCallInProgress;
  if (int r = EnsureInitialised(); r != 0) return r;
  const LONG r = api_.lineConfigDialog(static_cast<DWORD>(device), owner, nullptr);
  if (r == 0) return 0;
  if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
  if (r == LINEERR_INVALPARAM) return err::kInvalidArgument;
  if (r == LINEERR_NODEVICE) return err::kNoLineDevice;
  return r == LINEERR_NOMEM ? err::kNoMemory : err::kFailed;
}

int KDPhone::LineConfigDialogSave(std::uintptr_t owner, std::uint32_t root_key,
                                  const std::string& key_path, const std::string& value_name,
                                  int device) {
  if (int r = LineConfigDialog(owner, device); r != 0) return r;
  if (root_key == 0 && key_path.empty() && value_name.empty()) return err::kInvalidArgument;
  VarBuffer<VARSTRING> config(kSavedStructure);
  config->dwStringFormat = STRINGFORMAT_BINARY;
  const LONG r = api_.lineGetDevConfig(static_cast<DWORD>(device), config.get(), "comm/datamodem");
  if (r != 0) {
    if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
    if (r == LINEERR_NODEVICE) return err::kNoLineDevice;
    return r == LINEERR_NOMEM ? err::kNoMemory : err::kFailed;
  }
  // Only what lies inside the structure is saved.
  const DWORD needed = config->dwNeededSize;
  if (needed > kSavedStructure || needed < sizeof(VARSTRING) ||
      !header_is_sound(config.bytes(), sizeof(VARSTRING)))
    return err::kFailed;
  if (!services_.settings) return err::kFailed;
  settings::Bytes value(needed + 1);
  value[0] = static_cast<std::uint8_t>(device & 0xFF);
  std::memcpy(value.data() + 1, config.bytes().data(), needed);
  services_.settings->set_bytes(SettingsKey(root_key, key_path, value_name), std::move(value));
  return services_.settings->save() ? err::kFailed : 0;
}

int KDPhone::LineConfigLoad(std::uint32_t root_key, const std::string& key_path,
                            const std::string& value_name, int device) {
  for (const CallEntry& e : calls_)
    if (e.state == csOffering || e.state == csRing) return err::kOfferingInProgress;
  for (const CallEntry& e : calls_)
    if (e.state != csDisconnected) return err::kCallInProgress;
  if (!pending_.empty()) return err::kRequestInProgress;
  if (int r = EnsureInitialised(); r != 0) return r;
  if (!services_.settings) return err::kConfigKeyNotFound;
  auto value = services_.settings->get_bytes(SettingsKey(root_key, key_path, value_name));
  if (!value) return err::kConfigKeyNotFound;
  const settings::Bytes& v = *value;
  if (v.empty()) return err::kFailed;
  if (v[0] != static_cast<std::uint8_t>(device & 0xFF)) return err::kLineSetup;
  // The stored structure is checked before anything is read out of it.
  if (v.size() < 1 + sizeof(VARSTRING) || v.size() > 1 + kSavedStructure) return err::kFailed;
  VARSTRING header{};
  std::memcpy(&header, v.data() + 1, sizeof header);
  if (header.dwTotalSize > kSavedStructure) return err::kFailed;
  const std::uint64_t end = std::uint64_t{header.dwStringOffset} + header.dwStringSize;
  if (header.dwStringOffset < sizeof(VARSTRING) || end > v.size() - 1) return err::kFailed;
  const LONG r = api_.lineSetDevConfig(static_cast<DWORD>(device), v.data() + 1 + header.dwStringOffset,
                                       header.dwStringSize, "comm/datamodem");
  return r == 0 ? 0 : err::kFailed;
}

}  // namespace orvexa::components
