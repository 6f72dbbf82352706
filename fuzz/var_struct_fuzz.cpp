// Structures as a service might return them: every part named in the header of a call
// information structure is read or refused, never read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/telephony/var_struct.h"

using namespace orvexa::telephony;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  // The caller's buffer: at least the fixed part, exactly as large as the service was told.
  std::vector<std::uint8_t> buffer(std::max(size, sizeof(LINECALLINFO)), 0);
  std::memcpy(buffer.data(), data, size);
  const DWORD total = static_cast<DWORD>(buffer.size());
  if (size >= 1 && (data[0] & 1)) std::memcpy(buffer.data(), &total, 4);
  LINECALLINFO info;
  std::memcpy(&info, buffer.data(), sizeof info);
  const std::pair<DWORD, DWORD> parts[] = {
      {info.dwCallerIDSize, info.dwCallerIDOffset}, {info.dwCallerIDNameSize, info.dwCallerIDNameOffset},
      {info.dwCalledIDSize, info.dwCalledIDOffset}, {info.dwCalledIDNameSize, info.dwCalledIDNameOffset},
      {info.dwDisplaySize, info.dwDisplayOffset},   {info.dwUserUserInfoSize, info.dwUserUserInfoOffset}};
  for (const auto& [part_size, offset] : parts) {
    for (bool wide : {false, true}) {
      auto text = read_text(buffer, sizeof(LINECALLINFO), part_size, offset, wide);
      if (text && text->size() > buffer.size()) __builtin_trap();
    }
  }
  return 0;
}
