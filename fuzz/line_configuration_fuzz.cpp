// orvexa.toml through the assembly's reading: every input is read or refused with messages.
#include <cstddef>
#include <cstdint>

#include "line_configuration_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!orvexa::fuzz::read_line_configuration_text(text)) __builtin_trap();
  return 0;
}
