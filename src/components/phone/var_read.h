// Reading a variable-size structure from the telephony service: start with the fixed size,
// read again while the service needs more (at most 10 more times), and refuse a structure whose
// header does not add up before anyone reads a string out of it.
#pragma once

#include <optional>
#include <utility>

#include "components/foundation/error_numbers.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::components {

// Anything larger is a service that lies about its needs, not a structure to allocate.
inline constexpr std::size_t kMaxStructureSize = 1 << 20;

template <class T>
struct VarRead {
  std::optional<telephony::VarBuffer<T>> buffer;
  telephony::LONG refusal = 0;  // the service's error, when it refused
  ErrorNumber error = 0;        // -1 (too many attempts, unsound header) or -50 (too large)
  bool ok() const { return buffer.has_value(); }
};

// `read(T*)` calls the service. After a too-small answer the next size is `first` plus 10 bytes
// per attempt so far, plus `spare`; after a short read it is the needed size plus `spare`.
template <class T, class Read>
VarRead<T> read_variable(std::size_t first, Read&& read, std::size_t spare = 0,
                         telephony::LONG too_small = telephony::LINEERR_STRUCTURETOOSMALL) {
  VarRead<T> out;
  std::size_t size = first;
  for (int attempt = 0; attempt <= 10; ++attempt) {
    if (size > kMaxStructureSize) {
      out.error = err::kNoMemory;
      return out;
    }
    telephony::VarBuffer<T> buffer(size);
    const telephony::LONG result = read(buffer.get());
    if (result == too_small) {
      size = first + 10 * static_cast<std::size_t>(attempt + 1) + spare;
      continue;
    }
    if (result != 0) {
      out.refusal = result;
      return out;
    }
    if (!telephony::header_is_sound(buffer.bytes(), sizeof(T))) {
      out.error = err::kFailed;
      return out;
    }
    if (buffer->dwNeededSize > buffer->dwTotalSize) {
      size = std::size_t{buffer->dwNeededSize} + spare;
      continue;
    }
    out.buffer.emplace(std::move(buffer));
    return out;
  }
  out.error = err::kFailed;
  return out;
}

}  // namespace orvexa::components
