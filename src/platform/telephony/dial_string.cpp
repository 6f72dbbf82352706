#include "platform/telephony/dial_string.h"

namespace orvexa::telephony {

bool is_plausible_dial_string(std::string_view dial) {
  if (dial.size() > kMaxDialStringLength) return false;
  for (char c : dial) {
    const bool ok = (c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#' || c == ',' ||
                    c == 'w' || c == 'W' || c == 'p' || c == 'P' || c == '!' || c == ' ';
    if (!ok) return false;
  }
  return true;
}

}  // namespace orvexa::telephony
