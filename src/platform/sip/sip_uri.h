// The URIs a sip line sends, built from its checked settings and a checked dial string.
#pragma once

#include <string>
#include <string_view>

#include "platform/sip/sip_config.h"

namespace orvexa::sip {

// "host" or "[v6]", with ":port" when set.
std::string host_text(const HostPort& hp);
// Where REGISTER goes: "sip:registrar[;transport=tcp]".
std::string registrar_uri(const SipLineConfig& line);
// The line's own address of record: "sip:user@domain".
std::string address_of_record(const SipLineConfig& line);
// The outbound proxy as a loose route, empty when there is none.
std::string proxy_route(const SipLineConfig& line);

struct DialParts {
  std::string number;     // what is called: digits, '+', '*', '#'
  std::string after;      // what follows the first pause, sent as digits after the answer
};
// Splits a dial string at its first pause character (',', 'w', 'p', '!'); blanks are dropped.
DialParts split_dial_string(std::string_view dial);
// "sip:NUMBER@domain" with '#' escaped; empty when the number is empty.
std::string call_uri(std::string_view number, const SipLineConfig& line);

}  // namespace orvexa::sip
