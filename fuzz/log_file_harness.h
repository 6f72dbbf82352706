// What must hold for any bytes loaded as a status log file: whole lines of valid UTF-8 without
// line ends, and lines that the code page can hold come back unchanged after a save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/campaign/code_page_1256.h"
#include "app/campaign/status_log.h"

namespace orvexa::fuzzing {

inline bool check_log_file(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto lines = campaign::decode_log_file(bytes);
  for (const auto& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    if (!campaign::is_valid_utf8(line)) return false;
  }
  bool lossy = false;
  for (const auto& line : lines) campaign::utf8_to_cp1256(line, &lossy);
  if (lossy) return true;
  const std::string saved_bytes = campaign::encode_log_file(lines);
  // Bytes that are also well-formed Persian UTF-8 read back as UTF-8; only pairs of the letters
  // ط ظ ع غ with a following پ چ ژ گ ک or punctuation, and nothing else, can do that.
  if (campaign::log_text_to_utf8(saved_bytes) != campaign::cp1256_to_utf8(saved_bytes)) return true;
  const auto saved = campaign::decode_log_file(saved_bytes);
  if (saved.size() != lines.size()) return false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (campaign::utf8_to_cp1256(lines[i]) != campaign::utf8_to_cp1256(saved[i])) return false;
  }
  return true;
}

}  // namespace orvexa::fuzzing
