#include "platform/sip/caller_id.h"

#include <cstdint>

namespace orvexa::sip {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the valid UTF-8 sequence at s[i], or 0. Overlong forms, surrogates and code
// points past U+10FFFF are refused.
std::size_t utf8_length(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  std::uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

std::string unquote(std::string_view d) {
  while (!d.empty() && (d.front() == ' ' || d.front() == '\t')) d.remove_prefix(1);
  while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
  if (d.size() < 2 || d.front() != '"' || d.back() != '"') return std::string(d);
  std::string out;
  d = d.substr(1, d.size() - 2);
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (d[i] == '\\' && i + 1 < d.size()) ++i;
    out += d[i];
  }
  return out;
}

std::string clean_name(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size();) {
    const std::size_t n = utf8_length(raw, i);
    if (n == 0) {  // a broken byte is dropped, not passed on
      ++i;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    const bool control = n == 1 && (c < 0x20 || c == 0x7F);
    if (!control) {
      if (out.size() + n > kMaxCallerName) break;
      out.append(raw.substr(i, n));
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
    i += n;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string clean_number(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size() && out.size() < kMaxCallerNumber; ++i) {
    char c = raw[i];
    if (c == '%' && i + 2 < raw.size() + 0 && hex_value(raw[i + 1]) >= 0 && hex_value(raw[i + 2]) >= 0) {
      c = static_cast<char>(hex_value(raw[i + 1]) * 16 + hex_value(raw[i + 2]));
      i += 2;
    }
    const unsigned char u = static_cast<unsigned char>(c);
    if (u > 0x20 && u < 0x7F && c != '"' && c != '\\') out += c;
  }
  return out;
}

}  // namespace

CallerId caller_id_from(std::string_view display, std::string_view user) {
  return {clean_number(user), clean_name(unquote(display))};
}

}  // namespace orvexa::sip
