// The SIP provider's inner records, shared by its two source files.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_call.h"
#include "platform/sip/sip_line_channels.h"
#include "platform/sip/sip_provider.h"

namespace orvexa::sip {

using telephony::CallDetails;
using telephony::DWORD;
using telephony::LineDeviceDescription;
using telephony::ProviderEvents;

struct SipProvider::Line {
  SipLineConfig config;
  mutable LineDeviceDescription description;
  ProviderEvents* events = nullptr;
  RegistrationStatus registration;
  // One per call the line carries at once; the first holds the line's own wave devices.
  std::unique_ptr<SipLineChannels> channels;
};

struct SipProvider::SipSide {
  std::vector<std::unique_ptr<SipAccount>> accounts;  // by device; null while closed
  std::map<CallId, std::unique_ptr<SipCall>> calls;
};

struct SipProvider::Call {
  CallId id = 0;
  std::size_t device = 0;
  CallDetails details;
  DWORD state = 0;
  DWORD digit_modes = 0;
  std::size_t channel = 0;  // of its line, held from the dial or the offer until it ends
  bool receiving = false;   // the service takes what the call receives
  telephony::RequestId pending = 0;  // the hold, unhold or transfer under way
  bool ended = false;
};

}  // namespace orvexa::sip
