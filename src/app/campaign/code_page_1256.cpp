#include "app/campaign/code_page_1256.h"

#include <array>
#include <cstdint>

namespace orvexa::campaign {
namespace {

// Bytes 0x80..0xFF of the code page; below 0x80 it is ASCII.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0679,
    0x2039, 0x0152, 0x0686, 0x0698, 0x0688, 0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x06A9, 0x2122, 0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA, 0x00A0,
    0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x06BE, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6,
    0x00B7, 0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F, 0x06C1, 0x0621,
    0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C,
    0x062D, 0x062E, 0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7,
    0x0637, 0x0638, 0x0639, 0x063A, 0x0640, 0x0641, 0x0642, 0x0643, 0x00E0, 0x0644, 0x00E2,
    0x0645, 0x0646, 0x0647, 0x0648, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A,
    0x00EE, 0x00EF, 0x064B, 0x064C, 0x064D, 0x064E, 0x00F4, 0x064F, 0x0650, 0x00F7, 0x0651,
    0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2};

// Decodes one UTF-8 sequence at `i`; false on a malformed one (then `i` moves by one byte).
bool next_code_point(std::string_view s, std::size_t& i, char32_t& out) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  int length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + static_cast<std::size_t>(length) > s.size()) {
    ++i;
    return false;
  }
  char32_t cp = length == 1 ? b0 : length == 2 ? (b0 & 0x1F) : length == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (int k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += static_cast<std::size_t>(length);
  out = cp;
  return true;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Persian letters and digits the code page lacks, written in the forms it has.
char32_t nearest_1256_form(char32_t cp) {
  if (cp == 0x06CC) return 0x064A;                              // Persian yeh -> Arabic yeh
  if (cp >= 0x06F0 && cp <= 0x06F9) return U'0' + (cp - 0x06F0);  // Persian digits
  if (cp >= 0x0660 && cp <= 0x0669) return U'0' + (cp - 0x0660);  // Arabic-Indic digits
  return cp;
}

int byte_for(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (std::size_t k = 0; k < kHighHalf.size(); ++k) {
    if (kHighHalf[k] == cp) return static_cast<int>(0x80 + k);
  }
  return -1;
}

}  // namespace

std::string utf8_to_cp1256(std::string_view utf8, bool* lossy) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    int byte = next_code_point(utf8, i, cp) ? byte_for(nearest_1256_form(cp)) : -1;
    if (byte < 0) {
      out += '?';
      if (lossy) *lossy = true;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string cp1256_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    append_utf8(out, b < 0x80 ? char32_t{b} : char32_t{kHighHalf[b - 0x80]});
  }
  return out;
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < bytes.size()) {
    if (!next_code_point(bytes, i, cp)) return false;
  }
  return true;
}

namespace {

// 1256 text can happen to be valid UTF-8 ("شک" is D4 98); read that way it decodes to Latin,
// Cyrillic or Hebrew letters that a Persian log never holds.
bool reads_as_persian_utf8(std::string_view bytes) {
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < bytes.size()) {
    if (!next_code_point(bytes, i, cp)) return false;
    if ((cp >= 0x80 && cp < 0x600) || (cp >= 0x700 && cp < 0x800)) return false;
  }
  return true;
}

}  // namespace

std::string log_text_to_utf8(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (reads_as_persian_utf8(bytes)) return std::string(bytes);
  return cp1256_to_utf8(bytes);
}

}  // namespace orvexa::campaign
