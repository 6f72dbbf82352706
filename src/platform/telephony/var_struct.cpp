#include "platform/telephony/var_struct.h"

#include <algorithm>

namespace orvexa::telephony {

namespace {

DWORD word_at(std::span<const std::uint8_t> buffer, std::size_t offset) {
  DWORD value = 0;
  std::memcpy(&value, buffer.data() + offset, sizeof value);
  return value;
}

}  // namespace

bool header_is_sound(std::span<const std::uint8_t> buffer, std::size_t fixed) {
  if (buffer.size() < 12 || buffer.size() < fixed) return false;
  const DWORD total = word_at(buffer, 0);
  const DWORD used = word_at(buffer, 8);
  return total == buffer.size() && used <= total;
}

std::optional<std::span<const std::uint8_t>> checked_part(std::span<const std::uint8_t> buffer,
                                                          std::size_t fixed, DWORD size,
                                                          DWORD offset) {
  if (size == 0 || offset == 0) return std::span<const std::uint8_t>{};
  if (!header_is_sound(buffer, fixed)) return std::nullopt;
  const std::uint64_t used = word_at(buffer, 8);
  const std::uint64_t end = std::uint64_t{offset} + size;
  if (offset < fixed || end > used) return std::nullopt;
  return buffer.subspan(offset, size);
}

std::optional<std::u16string> read_text(std::span<const std::uint8_t> buffer, std::size_t fixed,
                                        DWORD size, DWORD offset, bool wide) {
  auto part = checked_part(buffer, fixed, size, offset);
  if (!part) return std::nullopt;
  std::u16string text;
  if (wide) {
    for (std::size_t i = 0; i + 1 < part->size(); i += 2) {
      char16_t c = static_cast<char16_t>((*part)[i] | ((*part)[i + 1] << 8));
      if (c == 0) break;
      text.push_back(c);
    }
  } else {
    for (std::uint8_t b : *part) {
      if (b == 0) break;
      text.push_back(static_cast<char16_t>(b));
    }
  }
  return text;
}

VarWriter::VarWriter(void* structure, std::size_t fixed)
    : base_(static_cast<std::uint8_t*>(structure)), used_(fixed), needed_(fixed) {
  DWORD total = 0;
  std::memcpy(&total, base_, sizeof total);
  total_ = total;
}

std::pair<DWORD, DWORD> VarWriter::append(std::span<const std::uint8_t> bytes) {
  const std::size_t size = bytes.size();
  const std::size_t at = needed_;
  needed_ += (size + 3) & ~std::size_t{3};
  // Once one part has not fitted, later ones are not written either: used stays contiguous.
  if (used_ != at || at + size > total_) return {static_cast<DWORD>(size), 0};
  std::copy(bytes.begin(), bytes.end(), base_ + at);
  used_ = std::min(needed_, total_);
  return {static_cast<DWORD>(size), static_cast<DWORD>(at)};
}

std::pair<DWORD, DWORD> VarWriter::append_text(std::u16string_view text, bool wide) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    if (wide) bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  if (wide) bytes.push_back(0);
  return append(bytes);
}

void VarWriter::finish() {
  const DWORD needed = static_cast<DWORD>(needed_);
  const DWORD used = static_cast<DWORD>(std::min(used_, total_));
  std::memcpy(base_ + 4, &needed, sizeof needed);
  std::memcpy(base_ + 8, &used, sizeof used);
}

}  // namespace orvexa::telephony
