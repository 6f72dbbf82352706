// What a provider of line devices (simulated lines, SIP accounts) gives the line service, and
// how it reports back. The service owns handles and request numbers, checks every argument and
// builds the structures; a provider only runs calls.
//
//   class MyProvider : public LineProvider { ... };
//   service.add_provider(my_provider);   // its devices join the numbering
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/phone_device.h"
#include "platform/telephony/tapi.h"

namespace orvexa::telephony {

struct LineDeviceDescription {
  std::string name;           // "Simulated line 1"
  std::string address;        // the line's own number, address 0
  DWORD media_modes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                      LINEMEDIAMODE_AUTOMATEDVOICE;
  DWORD bearer_modes = LINEBEARERMODE_VOICE;
  DWORD monitor_digit_modes = LINEDIGITMODE_DTMF;
  DWORD generate_digit_modes = LINEDIGITMODE_DTMF;
  DWORD caller_id_flags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
  DWORD called_id_flags = 0;
  DWORD max_rate = 64000;
  // Audio-service device numbers of the line's wave input and output; -1 when it has none.
  std::int32_t wave_in = -1;
  std::int32_t wave_out = -1;
  // Calls the line carries at once, each with its own audio (see CallDetails::wave_in). A
  // call beyond them is refused with LINEERR_RESOURCEUNAVAIL.
  DWORD channels = 1;
};

// What the service knows about a call to fill in its call information.
struct CallDetails {
  DWORD origin = LINECALLORIGIN_OUTBOUND;
  DWORD reason = LINECALLREASON_DIRECT;
  DWORD caller_id_flags = LINECALLPARTYID_UNKNOWN;
  std::string caller_number, caller_name;
  DWORD called_id_flags = LINECALLPARTYID_UNKNOWN;
  std::string called_number, called_name;
  // How the call ended, in the provider's words: the far end's final answer ("486 Busy Here")
  // or why nothing answered. Empty while the call lasts and when there is nothing to say.
  std::string end_status;
  // The call's own audio devices on a line with several channels; -1: the line's.
  std::int32_t wave_in = -1;
  std::int32_t wave_out = -1;
};

using RequestId = LONG;

// Implemented by the service. Calls name the service's handles; `device` is the provider's own
// index of the line. Everything is delivered to the application on the loop, in order.
class ProviderEvents {
 public:
  virtual ~ProviderEvents() = default;
  virtual void reply(RequestId request, LONG result) = 0;
  virtual void call_state(HCALL call, DWORD state, DWORD mode) = 0;
  // A call offered on one of the provider's open lines; 0 when the line is not open.
  virtual HCALL incoming_call(const class LineProvider& provider, std::size_t device,
                              const CallDetails& details) = 0;
  virtual void ringing(const class LineProvider& provider, std::size_t device) = 0;
  virtual void call_info_changed(HCALL call, DWORD states) = 0;
  virtual void digit(HCALL call, char digit, DWORD mode) = 0;
  virtual void media(HCALL call, DWORD media_mode) = 0;
  // What the call received from its far end since the last report, in order: 8 kHz 16-bit
  // mono, the sound its line's wave input carries. Reported only while asked for (see
  // LineProvider::receive_audio); the service runs the call's tone monitor over it.
  virtual void received_audio(HCALL call, std::span<const std::int16_t> samples) = 0;
};

class LineProvider {
 public:
  virtual ~LineProvider() = default;
  virtual std::string_view name() const = 0;
  virtual std::size_t device_count() const = 0;
  virtual const LineDeviceDescription& device(std::size_t index) const = 0;

  virtual LONG open(std::size_t device, ProviderEvents& events) = 0;
  virtual void close(std::size_t device) = 0;

  // Asynchronous requests: 0 when accepted (the provider replies later through `events`),
  // a LINEERR_* value otherwise. The dial string has already been checked.
  virtual LONG make_call(std::size_t device, HCALL call, RequestId request,
                         std::string_view number) = 0;
  virtual LONG dial(HCALL call, RequestId request, std::string_view number) = 0;
  virtual LONG answer(HCALL call, RequestId request) = 0;
  virtual LONG drop(HCALL call, RequestId request) = 0;
  virtual LONG set_call_params(HCALL call, RequestId request, DWORD bearer_mode) = 0;
  // Hold and blind transfer; a provider without them refuses.
  virtual LONG hold(HCALL /*call*/, RequestId /*request*/, bool /*on_hold*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG blind_transfer(HCALL /*call*/, RequestId /*request*/, std::string_view /*number*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  // Consultation and conference. The service has already given the new calls (`consult`,
  // `conference`) their handles; the provider reports their states after its reply. Transfer
  // mode LINETRANSFERMODE_TRANSFER joins the two far ends and ends both calls on the line;
  // LINETRANSFERMODE_CONFERENCE makes `conference` a conference of the two.
  virtual LONG setup_transfer(HCALL /*call*/, HCALL /*consult*/, RequestId /*request*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG setup_conference(HCALL /*call*/, HCALL /*conference*/, HCALL /*consult*/,
                                RequestId /*request*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG complete_transfer(HCALL /*call*/, HCALL /*consult*/, HCALL /*conference*/,
                                 DWORD /*mode*/, RequestId /*request*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  virtual LONG add_to_conference(HCALL /*conference*/, HCALL /*consult*/, RequestId /*request*/) {
    return LINEERR_OPERATIONUNAVAIL;
  }
  // The phone device beside line `device`; the service answers its requests. None by default.
  virtual PhoneDevice* phone(std::size_t /*device*/) { return nullptr; }

  // The call is forgotten by the service; no further events for it.
  virtual void deallocate(HCALL call) = 0;

  // Synchronous.
  virtual CallDetails details(HCALL call) const = 0;
  virtual void monitor_digits(HCALL call, DWORD modes) = 0;
  virtual void monitor_media(HCALL call, DWORD modes) = 0;
  // Starts or stops reporting the call's received audio to ProviderEvents::received_audio.
  // LINEERR_OPERATIONUNAVAIL when the call has no audio path (a line without a wave input).
  virtual LONG receive_audio(HCALL call, bool on) = 0;
  virtual LONG generate_digits(HCALL call, std::string_view digits) = 0;

  // The device configuration of class "comm/datamodem".
  virtual std::vector<std::uint8_t> device_config(std::size_t device) const = 0;
  virtual LONG set_device_config(std::size_t device, std::vector<std::uint8_t> config) = 0;
  virtual LONG config_dialog(std::size_t device) = 0;
};

}  // namespace orvexa::telephony
