// Which dial strings may reach a provider: a plausible telephone number and nothing else, so no
// provider (the SIP one in particular) sees URIs, header lines or control characters.
#pragma once

#include <cstddef>
#include <string_view>

namespace orvexa::telephony {

inline constexpr std::size_t kMaxDialStringLength = 64;

// Digits, "+", "*", "#", ",", "w"/"W", "p"/"P", "!" and blanks, at most 64 characters.
// An empty string is allowed (taking the line off hook without a number).
bool is_plausible_dial_string(std::string_view dial);

}  // namespace orvexa::telephony
