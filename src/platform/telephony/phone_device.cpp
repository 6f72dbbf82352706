#include "platform/telephony/phone_device.h"

#include <algorithm>
#include <bit>

#include "platform/host/utf.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {

namespace {

constexpr DWORD kLampModes = PHONELAMPMODE_OFF | PHONELAMPMODE_STEADY | PHONELAMPMODE_WINK |
                             PHONELAMPMODE_FLASH | PHONELAMPMODE_FLUTTER;
constexpr DWORD kHookModes = PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MIC |
                             PHONEHOOKSWITCHMODE_SPEAKER | PHONEHOOKSWITCHMODE_MICSPEAKER;
constexpr DWORD kHookDevices = PHONEHOOKSWITCHDEV_HANDSET | PHONEHOOKSWITCHDEV_SPEAKER;
constexpr DWORD kMaxLevel = 0xFFFF;

std::string_view hook_mode_name(DWORD mode) {
  switch (mode) {
    case PHONEHOOKSWITCHMODE_ONHOOK: return "on-hook";
    case PHONEHOOKSWITCHMODE_MIC: return "mic";
    case PHONEHOOKSWITCHMODE_SPEAKER: return "speaker";
    case PHONEHOOKSWITCHMODE_MICSPEAKER: return "mic+speaker";
    default: return "?";
  }
}

}  // namespace

PhoneDevice::PhoneDevice(std::string name) : PhoneDevice(std::move(name), Counts{}) {}

PhoneDevice::PhoneDevice(std::string name, Counts counts)
    : name_(std::move(name)),
      counts_(counts),
      lamps_(counts.lamps, PHONELAMPMODE_OFF),
      display_(std::size_t{counts.rows} * counts.columns, u' ') {}

LONG PhoneDevice::set_ring(DWORD mode, DWORD volume, DWORD& changed) {
  if (mode > counts_.ring_modes) return PHONEERR_INVALRINGMODE;
  if (volume > kMaxLevel) return PHONEERR_INVALPARAM;
  if (mode != ring_mode_) changed |= PHONESTATE_RINGMODE;
  if (volume != ring_volume_) changed |= PHONESTATE_RINGVOLUME;
  ring_mode_ = mode;
  ring_volume_ = volume;
  return 0;
}

LONG PhoneDevice::set_lamp(DWORD lamp, DWORD mode, DWORD& changed) {
  if (lamp >= lamps_.size()) return PHONEERR_INVALBUTTONLAMPID;
  if (!std::has_single_bit(mode) || !(mode & kLampModes)) return PHONEERR_INVALLAMPMODE;
  if (lamps_[lamp] != mode) changed |= PHONESTATE_LAMP;
  lamps_[lamp] = mode;
  return 0;
}

LONG PhoneDevice::set_display(DWORD row, DWORD column, std::u16string_view text, DWORD& changed) {
  if (row >= counts_.rows || column >= counts_.columns) return PHONEERR_INVALPARAM;
  const std::size_t start = std::size_t{row} * counts_.columns + column;
  const std::size_t room = display_.size() - start;
  const std::u16string_view shown = text.substr(0, std::min(text.size(), room));
  if (display_.compare(start, shown.size(), shown) != 0) changed |= PHONESTATE_DISPLAY;
  std::copy(shown.begin(), shown.end(), display_.begin() + static_cast<std::ptrdiff_t>(start));
  return 0;
}

PhoneDevice::HookDevice* PhoneDevice::hook_device(DWORD device) {
  if (device == PHONEHOOKSWITCHDEV_HANDSET) return &handset_;
  if (device == PHONEHOOKSWITCHDEV_SPEAKER) return &speaker_;
  return nullptr;
}

LONG PhoneDevice::set_hook_switch(DWORD devices, DWORD mode, DWORD& changed) {
  if (devices == 0 || (devices & ~kHookDevices)) return PHONEERR_INVALHOOKSWITCHDEV;
  if (!std::has_single_bit(mode) || !(mode & kHookModes)) return PHONEERR_INVALHOOKSWITCHMODE;
  if ((devices & PHONEHOOKSWITCHDEV_HANDSET) && handset_.mode != mode) {
    handset_.mode = mode;
    changed |= PHONESTATE_HANDSETHOOKSWITCH;
  }
  if ((devices & PHONEHOOKSWITCHDEV_SPEAKER) && speaker_.mode != mode) {
    speaker_.mode = mode;
    changed |= PHONESTATE_SPEAKERHOOKSWITCH;
  }
  return 0;
}

LONG PhoneDevice::set_volume(DWORD device, DWORD volume, DWORD& changed) {
  return set_level(device, volume, changed, false);
}

LONG PhoneDevice::set_gain(DWORD device, DWORD gain, DWORD& changed) {
  return set_level(device, gain, changed, true);
}

LONG PhoneDevice::set_level(DWORD device, DWORD value, DWORD& changed, bool gain) {
  HookDevice* d = hook_device(device);
  if (!d) return PHONEERR_INVALHOOKSWITCHDEV;
  if (value > kMaxLevel) return PHONEERR_INVALPARAM;
  DWORD& level = gain ? d->gain : d->volume;
  if (level != value) {
    const bool handset = d == &handset_;
    changed |= gain ? (handset ? PHONESTATE_HANDSETGAIN : PHONESTATE_SPEAKERGAIN)
                    : (handset ? PHONESTATE_HANDSETVOLUME : PHONESTATE_SPEAKERVOLUME);
  }
  level = value;
  return 0;
}

std::u16string PhoneDevice::display_row(DWORD row) const {
  if (row >= counts_.rows) return {};
  return display_.substr(std::size_t{row} * counts_.columns, counts_.columns);
}

std::string_view lamp_mode_name(DWORD mode) {
  switch (mode) {
    case PHONELAMPMODE_OFF: return "off";
    case PHONELAMPMODE_STEADY: return "steady";
    case PHONELAMPMODE_WINK: return "wink";
    case PHONELAMPMODE_FLASH: return "flash";
    case PHONELAMPMODE_FLUTTER: return "flutter";
    default: return "?";
  }
}

std::string describe_phone(const PhoneDevice& phone) {
  std::string out = "ring " + std::to_string(phone.ring_mode()) + "/" +
                    std::to_string(phone.counts().ring_modes) + " volume " +
                    std::to_string(phone.ring_volume()) + "; lamps";
  for (DWORD mode : phone.lamps()) out += " " + std::string(lamp_mode_name(mode));
  auto hook = [&](const char* name, const PhoneDevice::HookDevice& d) {
    out += std::string("; ") + name + " " + std::string(hook_mode_name(d.mode)) + " volume " +
           std::to_string(d.volume) + " gain " + std::to_string(d.gain);
  };
  hook("handset", phone.handset());
  hook("speaker", phone.speaker());
  for (DWORD row = 0; row < phone.counts().rows; ++row)
    out += "; display " + std::to_string(row) + " \"" + host::to_utf8(phone.display_row(row)) +
           "\"";
  return out;
}

}  // namespace orvexa::telephony
