// orvexa.toml's calling hours and retries: every input is read or refused with a message.
#include <cstddef>
#include <cstdint>

#include "schedule_config_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!orvexa::fuzz::read_schedule_text(text)) __builtin_trap();
  return 0;
}
