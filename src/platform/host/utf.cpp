// Conversion between UTF-8 and UTF-16.
#include "platform/host/utf.h"

namespace orvexa::host {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// A lead byte: the length of its sequence (0 when it begins none) and the range allowed for the
// byte after it, which is what rules out overlong forms, surrogates and code points past
// U+10FFFF (the Unicode standard's table of well-formed UTF-8 byte sequences).
struct Lead {
  int length;
  unsigned char low = 0x80, high = 0xBF;
};

Lead LeadOf(unsigned char b) {
  if (b < 0x80) return {1};
  if (b < 0xC2) return {0};  // a continuation byte, or the lead of an overlong pair
  if (b < 0xE0) return {2};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b < 0xF0) return {3};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b < 0xF4) return {4};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0};
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsHigh(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLow(char32_t u) { return u >= 0xDC00 && u < 0xE000; }

}  // namespace

std::u16string to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto first = static_cast<unsigned char>(utf8[i++]);
    const Lead lead = LeadOf(first);
    if (lead.length <= 1) {
      AppendUtf16(out, lead.length == 1 ? first : kReplacement);
      continue;
    }
    char32_t cp = first & (0xFFu >> (lead.length + 1));
    int taken = 1;
    // A byte that does not continue the sequence is left for the next round.
    for (; taken < lead.length && i < utf8.size(); ++taken, ++i) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      const bool second = taken == 1;
      if (b < (second ? lead.low : 0x80) || b > (second ? lead.high : 0xBF)) break;
      cp = (cp << 6) | (b & 0x3F);
    }
    AppendUtf16(out, taken == lead.length ? cp : kReplacement);
  }
  return out;
}

std::string to_utf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (IsHigh(cp) && i + 1 < utf16.size() && IsLow(utf16[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (IsHigh(cp) || IsLow(cp)) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace orvexa::host
