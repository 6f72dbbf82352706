#include "platform/sip/sip_status.h"

#include <cerrno>
#include <cstring>

extern "C" {
#include <re.h>
}

namespace orvexa::sip {

std::string reason_phrase(const ::sip_msg& msg) {
  std::string r(msg.reason.p, msg.reason.l);
  if (r.size() > 80) r.resize(80);
  for (char& c : r)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return r;
}

std::string status_line(const ::sip_msg& msg) {
  const std::string phrase = reason_phrase(msg);
  std::string line = std::to_string(msg.scode);
  return phrase.empty() ? line : line + " " + phrase;
}

std::string network_failure(int err) {
  if (err == ETIMEDOUT) return "no answer from the network (transaction timed out)";
  return std::strerror(err);
}

}  // namespace orvexa::sip
