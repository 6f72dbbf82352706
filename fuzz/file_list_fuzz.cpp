// File-list texts with any separators, counts and wildcards: parsed or refused, never an
// unbounded list, never a directory in it.
#include <cstddef>
#include <cstdint>

#include "file_list_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 512) return 0;
  static orvexa::fuzzing::FileListHarness harness;
  if (!harness.check(data, size)) __builtin_trap();
  return 0;
}
