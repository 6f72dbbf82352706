// Status log files as loaded from disk: any bytes, in code page 1256 or UTF-8.
#include <cstddef>
#include <cstdint>

#include "log_file_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  if (!orvexa::fuzzing::check_log_file(data, size)) __builtin_trap();
  return 0;
}
