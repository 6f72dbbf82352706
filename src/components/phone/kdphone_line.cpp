// The telephony service's initialisation, the gathering of line information (the device probe),
// and the opening and closing of the line.
#include <cstring>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"

namespace orvexa::components {

using namespace telephony;

namespace {

int NegotiateError(LONG r) {
  if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
  if (r == LINEERR_NOMEM) return err::kNoMemory;
  if (r == LINEERR_RESOURCEUNAVAIL) return err::kLineAllocated;
  return err::kNegotiateVersion;
}

int CapsError(LONG r) {
  if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
  if (r == LINEERR_NODEVICE) return err::kNoLineDevice;
  if (r == LINEERR_NOMEM) return err::kNoMemory;
  return err::kFailed;
}

DWORD DigitModesToMonitor(DWORD can) {
  const bool pulse = can & LINEDIGITMODE_PULSE, dtmf = can & LINEDIGITMODE_DTMF,
             end = can & LINEDIGITMODE_DTMFEND;
  if (pulse && dtmf) return 3;
  if (pulse && end) return 5;
  if (pulse) return 1;
  if (dtmf) return 2;
  if (end) return 4;
  return 0;
}

}  // namespace

int KDPhone::Initialise() {
  line_count_ = 0;
  auto line_callback = [this](DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
                              DWORD_PTR p2, DWORD_PTR p3) {
    // Only our own relay record is written: an instance we did not give is ignored.
    if (instance != reinterpret_cast<DWORD_PTR>(&line_relay_)) return;
    line_relay_ = {device, message, p1, p2, p3};
    Window().send(kLineRelayMessage, 0, 0);
  };
  auto phone_callback = [this](DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
                               DWORD_PTR p2, DWORD_PTR p3) {
    if (instance != reinterpret_cast<DWORD_PTR>(&phone_relay_)) return;
    phone_relay_ = {device, message, p1, p2, p3};
    Window().send(kPhoneRelayMessage, 0, 0);
  };
  DWORD devices = 0, version = kApiVersion20002;
  LINEINITIALIZEEXPARAMS params{24, 24, 24, LINEINITIALIZEEXOPTION_USEHIDDENWINDOW, 0, 0};
  LONG r = api_.lineInitializeExW(&line_app_, line_callback, &devices, &version, &params);
  if (r != 0) r = api_.lineInitialize(&line_app_, line_callback, &devices);
  if (r != 0) return r == LINEERR_NOMEM ? err::kNoMemory : err::kTapiInit;
  line_count_ = static_cast<int>(devices);
  DWORD phones = 0;
  version = kApiVersion20002;
  r = api_.phoneInitializeExW(&phone_app_, phone_callback, &phones, &version, &params);
  if (r != 0) r = api_.phoneInitialize(&phone_app_, phone_callback, &phones);
  if (r != 0) {
    api_.lineShutdown(line_app_);
    return r == PHONEERR_NOMEM ? err::kNoMemory : err::kTapiInit;
  }
  state_ = LineState::Closed;
  return 0;
}

int KDPhone::EnsureInitialised() {
  return state_ == LineState::Uninitialised ? Initialise() : 0;
}

int KDPhone::NumberOfLines() {
  if (state_ == LineState::Uninitialised) {
    const int r = Initialise();
    if (r != 0) {
      RaiseLineState(lsError, r);
      return 0;
    }
  }
  return line_count_;
}

int KDPhone::GetLineCaps(int device, int& word) { return Gather(device, word); }

int KDPhone::Gather(int device, int& word) {
  if (int r = EnsureInitialised(); r != 0) return r;
  const bool is_line = device == line_id_;
  if (is_line && line_info_.valid && line_info_.caps_device == device) {
    word = line_info_.caps_word;
    return 0;
  }
  if (is_line) {
    line_info_.valid = false;
    line_info_.wave_in = line_info_.wave_out = line_info_.phone = -2;
  }
  if (probe_info_.valid && probe_info_.caps_device == device) {
    word = probe_info_.caps_word;
    if (is_line) {
      line_info_ = probe_info_;
      line_info_.device = line_id_;
      wave_rec_id_ = line_info_.wave_in;
      wave_play_id_ = line_info_.wave_out;
    }
    return 0;
  }
  probe_info_ = LineInfo{};
  word = 0;
  LineInfo probe;
  probe.device = device;
  if (int r = ProbeDevice(device, probe, is_line); r != 0) return r;
  probe.valid = true;
  probe.caps_device = device;
  probe_info_ = probe;
  if (is_line) line_info_ = probe;
  word = probe.caps_word;
  return 0;
}

int KDPhone::ProbeDevice(int device, LineInfo& probe, bool is_line) {
  const DWORD dev = static_cast<DWORD>(device);
  LINEEXTENSIONID ext{};
  if (LONG r = api_.lineNegotiateAPIVersion(line_app_, dev, kApiVersion10003, kApiVersion20002,
                                            &probe.line_version, &ext);
      r != 0)
    return NegotiateError(r);
  auto caps = read_variable<LINEDEVCAPS>(sizeof(LINEDEVCAPS), [&](LINEDEVCAPS* c) {
    return api_.lineGetDevCaps(line_app_, dev, probe.line_version, 0, c);
  });
  if (!caps.ok()) return caps.refusal ? CapsError(caps.refusal) : caps.error;
  const LINEDEVCAPS& c = *caps.buffer->get();
  probe.wide = c.dwStringFormat == STRINGFORMAT_DBCS || c.dwStringFormat == STRINGFORMAT_UNICODE;
  if (c.dwMonitorDigitModes & LINEDIGITMODE_PULSE) probe.caps_word |= 0x10;
  if (c.dwMonitorDigitModes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND)) probe.caps_word |= 0x20;
  probe.monitor_digits = DigitModesToMonitor(c.dwMonitorDigitModes);
  probe.media_modes = c.dwMediaModes & (LINEMEDIAMODE_G3FAX | LINEMEDIAMODE_G4FAX |
                                        LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_AUTOMATEDVOICE |
                                        LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_UNKNOWN);
  probe.monitor_media = c.dwMediaModes & (LINEMEDIAMODE_G3FAX | LINEMEDIAMODE_G4FAX);
  const bool automated_voice = c.dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE;

  auto address = read_variable<LINEADDRESSCAPS>(sizeof(LINEADDRESSCAPS), [&](LINEADDRESSCAPS* a) {
    return api_.lineGetAddressCaps(line_app_, dev, 0, probe.line_version, 0, a);
  });
  if (!address.ok()) return address.error == err::kNoMemory ? err::kNoMemory : err::kFailed;
  const LINEADDRESSCAPS& a = *address.buffer->get();
  if (a.dwCallerIDFlags & (LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS)) probe.caps_word |= 0x4;
  if (a.dwCalledIDFlags & (LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS)) probe.caps_word |= 0x8;

  HLINE temporary = 0;
  const LONG opened = api_.lineOpen(line_app_, dev, &temporary, probe.line_version, 0, 0,
                                    LINECALLPRIVILEGE_MONITOR, 0, nullptr);
  if (opened != 0) {
    if (opened == LINEERR_ALLOCATED) return err::kLineAllocated;
    return opened == LINEERR_NOMEM ? err::kNoMemory : err::kLineOpen;
  }
  const int result = ProbeOpened(temporary, probe, automated_voice, is_line);
  api_.lineClose(temporary);
  Loop().process_pending();
  return result;
}

int KDPhone::ProbeOpened(HLINE line, LineInfo& probe, bool automated_voice, bool is_line) {
  int id = -2;
  if (automated_voice) {
    int in = -2, out = -2;
    if (int r = DeviceIdentifier(line, 0, 0, LINECALLSELECT_LINE, "wave/in", in); r != 0) return r;
    if (int r = DeviceIdentifier(line, 0, 0, LINECALLSELECT_LINE, "wave/out", out); r != 0)
      return r;
    if (in >= 0 || out >= 0) probe.caps_word |= 0x1;
    probe.wave_in = in;
    probe.wave_out = out;
    if (is_line) {
      wave_rec_id_ = in;
      wave_play_id_ = out;
    }
  }
  if (int r = DeviceIdentifier(line, 0, 0, LINECALLSELECT_LINE, "comm/datamodem", id); r != 0)
    return r;
  if (id >= 0) probe.caps_word |= 0x2;
  if (int r = DeviceIdentifier(line, 0, 0, LINECALLSELECT_LINE, "tapi/phone", id); r != 0) return r;
  if (id < 0) return 0;
  probe.phone = id;
  return ProbePhone(id, probe, probe.caps_word);
}

int KDPhone::ProbePhone(int phone, LineInfo& probe, int& word) {
  LINEEXTENSIONID ext{};
  const DWORD dev = static_cast<DWORD>(phone);
  if (LONG r = api_.phoneNegotiateAPIVersion(phone_app_, dev, kApiVersion10003, kApiVersion20002,
                                             &probe.phone_version, &ext);
      r != 0) {
    if (r == PHONEERR_BADDEVICEID) return err::kBadLineDeviceId;
    if (r == PHONEERR_NOMEM) return err::kNoMemory;
    return r == PHONEERR_RESOURCEUNAVAIL ? err::kLineAllocated : err::kNegotiateVersion;
  }
  bool first = true, no_device = false;
  auto caps = read_variable<PHONECAPS>(
      sizeof(PHONECAPS),
      [&](PHONECAPS* c) {
        const LONG r = api_.phoneGetDevCaps(phone_app_, dev, probe.phone_version, 0, c);
        if (first && r == PHONEERR_NODEVICE) no_device = true;
        first = false;
        return r;
      },
      0, PHONEERR_STRUCTURETOOSMALL);
  if (no_device) return 0;
  if (!caps.ok()) return caps.refusal ? err::kLineSetup : caps.error;
  const PHONECAPS& c = *caps.buffer->get();
  probe.ring_modes = c.dwNumRingModes;
  probe.lamps = c.dwNumButtonLamps;
  probe.rows = c.dwDisplayNumRows;
  probe.cols = c.dwDisplayNumColumns;
  auto modes = [&](DWORD m, int base) {
    for (int bit = 0; bit < 4; ++bit)
      if (m & (1u << bit)) word |= base << bit;
  };
  if (c.dwHookSwitchDevs & PHONEHOOKSWITCHDEV_SPEAKER) {
    word |= 0x40;
    modes(c.dwSpeakerHookSwitchModes, 0x80);
    if (c.dwGainFlags & PHONEHOOKSWITCHDEV_SPEAKER) word |= 0x800;
    if (c.dwVolumeFlags & PHONEHOOKSWITCHDEV_SPEAKER) word |= 0x1000;
  }
  if (c.dwHookSwitchDevs & PHONEHOOKSWITCHDEV_HANDSET) {
    word |= 0x2000;
    modes(c.dwHandsetHookSwitchModes, 0x4000);
    if (c.dwGainFlags & PHONEHOOKSWITCHDEV_HANDSET) word |= 0x40000;
    if (c.dwVolumeFlags & PHONEHOOKSWITCHDEV_HANDSET) word |= 0x80000;
  }
  return 0;
}

int KDPhone::DeviceIdentifier(HLINE line, DWORD address, HCALL call, DWORD select,
                              const char* device_class, int& id, std::vector<std::uint8_t>* data) {
  id = -2;
  auto read = read_variable<VARSTRING>(
      sizeof(VARSTRING),
      [&](VARSTRING* v) { return api_.lineGetID(line, address, call, select, v, device_class); },
      1);
  if (!read.ok()) {
    if (read.error) return read.error;
    const LONG r = read.refusal;
    if (r == LINEERR_INVALCALLHANDLE) return err::kInvalidCallHandle;
    if (r == LINEERR_ALLOCATED || r == LINEERR_RESOURCEUNAVAIL) return err::kLineAllocated;
    if (r == LINEERR_CALLUNAVAIL) return err::kLineUnavailable;
    if (r == LINEERR_INVALADDRESS) return err::kInvalidDialNumber;
    if (r == LINEERR_INVALADDRESSID) return err::kAddressIdRange;
    if (r == LINEERR_INVALMEDIAMODE) return err::kMediaModeIncompatible;
    return 0;  // the class has no device there
  }
  const VARSTRING& v = *read.buffer->get();
  auto part = checked_part(read.buffer->bytes(), sizeof(VARSTRING), v.dwStringSize, v.dwStringOffset);
  if (!part) return err::kFailed;
  if (part->size() < 4) return 0;
  std::int32_t value = 0;
  std::memcpy(&value, part->data(), 4);
  id = value;
  if (data) data->assign(part->begin(), part->end());
  return 0;
}

}  // namespace orvexa::components
