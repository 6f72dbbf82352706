// The phone device of the line: ringer, lamps, display, and the handset and speaker with their
// hook switch, volume and gain.
#include <algorithm>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"

namespace orvexa::components {

using namespace telephony;

namespace {

constexpr std::size_t kDisplayHeader = 24;

// v / 10 * 65535, halves to the even neighbour.
constexpr DWORD kScaled[11] = {0,     6554,  13107, 19660, 26214, 32768,
                               39321, 45874, 52428, 58982, 65535};
constexpr DWORD kHookModes[4] = {PHONEHOOKSWITCHMODE_ONHOOK, PHONEHOOKSWITCHMODE_MIC,
                                 PHONEHOOKSWITCHMODE_SPEAKER, PHONEHOOKSWITCHMODE_MICSPEAKER};

std::uint8_t StateOfMode(DWORD mode) {
  for (std::uint8_t s = 3; s > 0; --s)
    if (mode & kHookModes[s]) return s;
  return 0;
}

}  // namespace

int KDPhone::EnterPhoneRequest(LONG r, RequestKind kind) {
  return EnterCallRequest(r, current_call_, kind, 0);
}

int KDPhone::ExtPhoneSetRing(int ring_mode, int volume) {
  if (!IsActive()) return err::kLineNotActive;
  if (line_info_.ring_modes == 0) return err::kExtDeviceUnavailable;
  if (ring_mode < 0 || static_cast<DWORD>(ring_mode) > line_info_.ring_modes || volume < 0 ||
      volume > 65535)
    return err::kInvalidArgument;
  const LONG r = api_.phoneSetRing(phone_, static_cast<DWORD>(ring_mode), static_cast<DWORD>(volume));
  if (r <= 0) return err::kExtDeviceUnavailable;
  return EnterPhoneRequest(r, RequestKind::PhoneSetting);
}

int KDPhone::ExtPhoneSetLamp(int lamp, int lamp_mode) {
  if (!IsActive()) return err::kLineNotActive;
  if (line_info_.lamps == 0) return err::kExtDeviceUnavailable;
  if (lamp < 0 || static_cast<DWORD>(lamp) >= line_info_.lamps) return err::kInvalidArgument;
  const LONG r = api_.phoneSetLamp(phone_, static_cast<DWORD>(lamp), static_cast<DWORD>(lamp_mode));
  if (r <= 0) return err::kExtDeviceUnavailable;
  return EnterPhoneRequest(r, RequestKind::PhoneSetting);
}

int KDPhone::ExtPhoneSetDisplay(int row, int column, const std::u16string& text) {
  if (!IsActive()) return err::kLineNotActive;
  const DWORD rows = line_info_.rows, cols = line_info_.cols;
  if (rows == 0 && cols == 0) return err::kExtDeviceUnavailable;
  if (row < 0 || column < 0 || static_cast<DWORD>(row) > rows || static_cast<DWORD>(column) > cols)
    return err::kInvalidArgument;
  // Never more text than fits from the starting place to the end of the display.
  const std::size_t size = rows && cols ? std::size_t{rows} * cols : std::max(rows, cols);
  const std::size_t start = std::size_t{std::min<DWORD>(row, rows ? rows - 1 : 0)} * cols +
                            std::min<DWORD>(column, cols);
  const std::u16string shown = text.substr(0, start < size ? size - start : 0);
  display_text_.clear();
  if (line_info_.wide) {
    for (char16_t c : shown) {
      display_text_.push_back(static_cast<char>(c & 0xFF));
      display_text_.push_back(static_cast<char>(c >> 8));
    }
  } else {
    for (char16_t c : shown) display_text_.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  }
  const LONG r = api_.phoneSetDisplay(phone_, static_cast<DWORD>(row), static_cast<DWORD>(column),
                                      display_text_.data(), static_cast<DWORD>(display_text_.size()));
  if (r <= 0) return err::kExtDeviceUnavailable;
  return EnterPhoneRequest(r, RequestKind::PhoneSetting);
}

int KDPhone::ExtPhoneGetRing(int& ring_mode, int& volume) {
  if (!IsActive()) return err::kLineNotActive;
  DWORD mode = 0, level = 0;
  const LONG r = api_.phoneGetRing(phone_, &mode, &level);
  if (r < 0) return err::kExtDeviceUnavailable;
  ring_mode = static_cast<int>(mode);
  volume = static_cast<int>(level);
  return static_cast<int>(r);
}

int KDPhone::ExtPhoneGetLamp(int lamp, int& lamp_mode) {
  if (!IsActive()) return err::kLineNotActive;
  DWORD mode = 0;
  const LONG r = api_.phoneGetLamp(phone_, static_cast<DWORD>(lamp), &mode);
  if (r < 0) return err::kExtDeviceUnavailable;
  lamp_mode = static_cast<int>(mode);
  return static_cast<int>(r);
}

int KDPhone::ExtPhoneGetDisplay(std::u16string& text) {
  if (!IsActive()) return err::kLineNotActive;
  const DWORD rows = line_info_.rows, cols = line_info_.cols;
  if (rows == 0 && cols == 0) return err::kExtDeviceUnavailable;
  const std::size_t first = (rows && cols ? std::size_t{rows} * cols : std::max(rows, cols)) +
                            kDisplayHeader;
  auto read = read_variable<VARSTRING>(
      first, [&](VARSTRING* v) { return api_.phoneGetDisplay(phone_, v); }, 0,
      PHONEERR_STRUCTURETOOSMALL);
  if (!read.ok()) return read.refusal ? err::kExtDeviceUnavailable : read.error;
  const VARSTRING& v = *read.buffer->get();
  auto shown = read_text(read.buffer->bytes(), sizeof(VARSTRING), v.dwStringSize,
                         v.dwStringOffset, line_info_.wide);
  if (!shown) return err::kFailed;
  text = *shown;
  return 0;
}

void KDPhone::ApplyPhoneSettings() {
  for (const TExtDev* dev : {handset_.get(), aux_.get()}) {
    const DWORD device = static_cast<DWORD>(dev->HookSwitchDevice());
    api_.phoneSetHookSwitch(phone_, device, kHookModes[dev->RequestedState() & 3]);
    api_.phoneSetVolume(phone_, device, kScaled[dev->SpeakerVolume()]);
    api_.phoneSetGain(phone_, device, kScaled[dev->MicGain()]);
  }
}

void KDPhone::RaiseHookState() {
  if (!OnHookState) return;
  std::uint8_t state = 0;
  if (const int r = handset_->GetMicSpeakerState(state); r != 0) {
    RaiseLineState(lsError, r);
    return;
  }
  const bool on_hook = state == 0;
  if (reported_on_hook_ == on_hook) return;
  reported_on_hook_ = on_hook;
  OnHookState(*this, on_hook);
}

// --- TExtDev ---

int TExtDev::GetMicSpeakerState(std::uint8_t& state) const {
  int word = 0;
  if (const int r = owner_.GetLineCaps(owner_.line_id_, word); r != 0) return r;
  if (device_ == 1 && !(word & 0x2000)) return err::kHandsetNotSupported;
  if (device_ == 2 && !(word & 0x40)) return err::kAuxNotSupported;
  if (owner_.phone_ == 0) return err::kFailed;
  VarBuffer<PHONESTATUS> status(sizeof(PHONESTATUS));
  if (owner_.api_.phoneGetStatus(owner_.phone_, status.get()) != 0) return err::kMicSpeakerState;
  state = StateOfMode(device_ == 1 ? status->dwHandsetHookSwitchMode
                                   : status->dwSpeakerHookSwitchMode);
  return 0;
}

int TExtDev::SetMicSpeakerState(std::uint8_t state) {
  // Only 0 to 3 have a hook-switch mode; nothing past the table is looked up or sent.
  if (state > 3) return err::kInvalidArgument;
  if (owner_.HasPending(owner_.current_call_)) return err::kRequestInProgress;
  std::uint8_t present = 0;
  if (const int r = GetMicSpeakerState(present); r != 0) return r;
  if (present == state) return 0;
  requested_ = state;
  const LONG r = owner_.api_.phoneSetHookSwitch(owner_.phone_, static_cast<DWORD>(device_),
                                                kHookModes[state]);
  if (r <= 0) return err::kMicSpeakerState;
  return owner_.EnterPhoneRequest(r, RequestKind::HookSwitch);
}

void TExtDev::SetMicGain(int value) { SetLevel(value, mic_gain_, true); }
void TExtDev::SetSpeakerVolume(int value) { SetLevel(value, speaker_volume_, false); }

void TExtDev::SetLevel(int value, int& field, bool gain) {
  if (value == field) return;
  if (value < 0 || value > 10) {
    if (owner_.services_.message_box)
      owner_.services_.message_box->show(
          gain ? "MicGain property must be set to a value ranging from 0 to 10"
               : "SpeakerVolume property must be set to a value ranging from 0 to 10");
    return;
  }
  field = value;
  if (owner_.phone_ == 0) return;
  const DWORD device = static_cast<DWORD>(device_);
  if (gain) owner_.api_.phoneSetGain(owner_.phone_, device, kScaled[value]);
  else owner_.api_.phoneSetVolume(owner_.phone_, device, kScaled[value]);
}

}  // namespace orvexa::components
