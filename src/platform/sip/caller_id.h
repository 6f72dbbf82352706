// Caller ID from an incoming INVITE's From header: the display name (UTF-8, Persian included)
// and the user part of the URI, cleaned so that nothing a caller sends can break a screen or a
// log line.
#pragma once

#include <string>
#include <string_view>

namespace orvexa::sip {

struct CallerId {
  std::string number;  // user part, percent-decoded, printable ASCII only
  std::string name;    // display name, unquoted, valid UTF-8 without control characters
};

inline constexpr std::size_t kMaxCallerNumber = 64;
inline constexpr std::size_t kMaxCallerName = 128;  // bytes, cut at a character boundary

// `display` is the raw display name as it stood in the header (quoted or not), `user` the raw
// user part of the URI.
CallerId caller_id_from(std::string_view display, std::string_view user);

}  // namespace orvexa::sip
