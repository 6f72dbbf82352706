// One registration attempt for a line, waited for: what `orvexa sip check` runs.
//
//   RegistrationStatus s = check_registration(line, std::chrono::seconds(40));
#pragma once

#include <chrono>

#include "platform/sip/registration.h"
#include "platform/sip/sip_config.h"

namespace orvexa::sip {

// Starts a SIP thread, registers once and returns the first final outcome (or a failure that
// says nothing came within `limit`). Un-registers nothing: the binding simply expires.
RegistrationStatus check_registration(const SipLineConfig& line, std::chrono::seconds limit);

}  // namespace orvexa::sip
