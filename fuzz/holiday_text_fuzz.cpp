// Holiday import files as an operator hands them over: any bytes.
#include <cstddef>
#include <cstdint>

#include "holiday_text_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  if (!orvexa::fuzzing::check_holiday_text(data, size)) __builtin_trap();
  return 0;
}
