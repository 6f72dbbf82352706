// Anything a SIP far end can send that our own code reads: descriptions, caller ID, RTP
// payload types and sources, key events, G.711.
#include <cstddef>
#include <cstdint>

#include "sip_input_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 20000) return 0;
  static const orvexa::fuzzing::SipInputHarness harness;
  if (!harness.check(data, size)) __builtin_trap();
  return 0;
}
