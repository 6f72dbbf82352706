// Variable-size structures: a 4-byte-aligned buffer of a chosen total size for the caller, a
// writer for the service that appends strings and blobs after the fixed part, and a checked
// reader that never trusts the sizes and offsets a service wrote.
//
//   VarBuffer<LINEDEVCAPS> caps(sizeof(LINEDEVCAPS));
//   api.lineGetDevCaps(app, 0, version, 0, caps.get());
//   std::optional<std::u16string> name = read_text(caps.bytes(), caps->dwLineNameSize,
//                                                  caps->dwLineNameOffset, true);
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/tapi.h"

namespace orvexa::telephony {

template <class T>
class VarBuffer {
 public:
  // `total` is raised to the fixed size when smaller, so the header can always be written.
  explicit VarBuffer(std::size_t total) : total_(total < sizeof(T) ? sizeof(T) : total) {
    words_.assign((total_ + 3) / 4, 0);
    get()->dwTotalSize = static_cast<DWORD>(total_);
  }
  T* get() { return reinterpret_cast<T*>(words_.data()); }
  const T* get() const { return reinterpret_cast<const T*>(words_.data()); }
  T* operator->() { return get(); }
  const T* operator->() const { return get(); }
  std::size_t total() const { return total_; }
  std::span<const std::uint8_t> bytes() const {
    return {reinterpret_cast<const std::uint8_t*>(words_.data()), total_};
  }

 private:
  std::size_t total_;
  std::vector<std::uint32_t> words_;
};

// Header checks a reader makes before anything else: the service kept the caller's total size
// and used no more than it; `fixed` is the fixed part's size.
bool header_is_sound(std::span<const std::uint8_t> buffer, std::size_t fixed);

// The part at [offset, offset+size) when it lies inside the used part of the structure and
// after its fixed part; nullopt otherwise. A zero size or offset gives an empty part.
std::optional<std::span<const std::uint8_t>> checked_part(std::span<const std::uint8_t> buffer,
                                                          std::size_t fixed, DWORD size,
                                                          DWORD offset);

// The text rule: the part ends at its first zero character or its end; wide parts are UTF-16,
// others single-byte (bytes widened as they are). nullopt when the part lies outside.
std::optional<std::u16string> read_text(std::span<const std::uint8_t> buffer, std::size_t fixed,
                                        DWORD size, DWORD offset, bool wide);

// Service side: clears the fixed part of a caller's structure, keeping its total size.
template <class T>
void clear_fixed(T* s) {
  const DWORD total = s->dwTotalSize;
  std::memset(static_cast<void*>(s), 0, sizeof(T));
  s->dwTotalSize = total;
}

// Service side: fills the variable part of a caller's structure.
class VarWriter {
 public:
  VarWriter(void* structure, std::size_t fixed);
  // Appends a part and returns its (size, offset); (size, 0) when it did not fit, in which case
  // only the needed size grows.
  std::pair<DWORD, DWORD> append(std::span<const std::uint8_t> bytes);
  std::pair<DWORD, DWORD> append_text(std::u16string_view text, bool wide);
  // Writes dwNeededSize and dwUsedSize into the header.
  void finish();

 private:
  std::uint8_t* base_;
  std::size_t total_;
  std::size_t used_;
  std::size_t needed_;
};

}  // namespace orvexa::telephony
