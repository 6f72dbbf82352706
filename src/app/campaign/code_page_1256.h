// The Arabic Windows code page (1256), in which status log files are kept.
//
//   std::string bytes = utf8_to_cp1256(line);      // for the file
//   std::string line = log_text_to_utf8(bytes);    // 1256 or UTF-8, whichever the file is
#pragma once

#include <string>
#include <string_view>

namespace orvexa::campaign {

// Persian forms missing from the code page (Persian yeh, Persian digits) become their nearest
// 1256 forms; any other character without a 1256 form becomes "?" and sets `lossy`.
std::string utf8_to_cp1256(std::string_view utf8, bool* lossy = nullptr);

std::string cp1256_to_utf8(std::string_view bytes);

bool is_valid_utf8(std::string_view bytes);

// A loaded log file: valid UTF-8 (with or without a byte order mark) is taken as it is,
// anything else is read as 1256.
std::string log_text_to_utf8(std::string_view bytes);

}  // namespace orvexa::campaign
