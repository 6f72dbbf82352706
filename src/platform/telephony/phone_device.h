// The phone device beside a line: a ringer with a few ring modes, a few lamps, a small display,
// and a handset and a speaker each with a hook switch, a volume and a gain. Every argument is
// checked against the device's counts; nothing is ever written past the display.
//
//   PhoneDevice phone("Simulated line 1 phone");      // 3 ring modes, 4 lamps, 2 x 40
//   DWORD changed = 0;
//   phone.set_lamp(1, PHONELAMPMODE_FLASH, changed);  // 0, changed == PHONESTATE_LAMP
//   phone.display_row(0);                             // 40 characters
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/tapi.h"

namespace orvexa::telephony {

class PhoneDevice {
 public:
  struct Counts {
    DWORD ring_modes = 3;  // 1..ring_modes ring; 0 is silence
    DWORD lamps = 4;
    DWORD rows = 2, columns = 40;
  };
  struct HookDevice {
    DWORD mode = PHONEHOOKSWITCHMODE_ONHOOK;
    DWORD volume = 0, gain = 0;  // 0..0xFFFF
  };

  explicit PhoneDevice(std::string name);
  PhoneDevice(std::string name, Counts counts);

  // Each returns 0 or a PHONEERR_* value and adds the PHONESTATE_* bits of what changed.
  LONG set_ring(DWORD mode, DWORD volume, DWORD& changed);
  LONG set_lamp(DWORD lamp, DWORD mode, DWORD& changed);
  // Writes from (row, column) onward, row after row, and stops at the end of the display.
  LONG set_display(DWORD row, DWORD column, std::u16string_view text, DWORD& changed);
  // `devices`: PHONEHOOKSWITCHDEV_* bits; `mode`: exactly one PHONEHOOKSWITCHMODE_* value.
  LONG set_hook_switch(DWORD devices, DWORD mode, DWORD& changed);
  LONG set_volume(DWORD device, DWORD volume, DWORD& changed);
  LONG set_gain(DWORD device, DWORD gain, DWORD& changed);

  const std::string& name() const { return name_; }
  const Counts& counts() const { return counts_; }
  DWORD ring_mode() const { return ring_mode_; }
  DWORD ring_volume() const { return ring_volume_; }
  const std::vector<DWORD>& lamps() const { return lamps_; }
  const std::u16string& display() const { return display_; }  // rows x columns, blank-filled
  std::u16string display_row(DWORD row) const;
  const HookDevice& handset() const { return handset_; }
  const HookDevice& speaker() const { return speaker_; }

  // When false, requests are accepted and never answered.
  bool answers = true;

 private:
  HookDevice* hook_device(DWORD device);
  LONG set_level(DWORD device, DWORD value, DWORD& changed, bool gain);

  std::string name_;
  Counts counts_;
  DWORD ring_mode_ = 0, ring_volume_ = 0;
  std::vector<DWORD> lamps_;
  std::u16string display_;
  HookDevice handset_, speaker_;
};

// "off", "steady", "wink", "flash", "flutter"; "?" for anything else.
std::string_view lamp_mode_name(DWORD mode);
// One line of text for tools: ring, lamps, hook switches and the display rows.
std::string describe_phone(const PhoneDevice& phone);

}  // namespace orvexa::telephony
