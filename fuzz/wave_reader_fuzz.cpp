// WAVE files as anyone might hand them over: read, refused or played within their data.
#include <cstddef>
#include <cstdint>

#include "wave_reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return 0;
  static orvexa::fuzzing::WaveReaderHarness harness;
  if (!harness.check(data, size)) __builtin_trap();
  return 0;
}
