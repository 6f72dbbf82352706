// The line and far-end description: any text is read or refused with a message.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/telephony/sim_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const orvexa::telephony::SimConfigResult r = orvexa::telephony::parse_sim_config(text);
  if (r.config.has_value() == !r.error.empty()) __builtin_trap();
  return 0;
}
