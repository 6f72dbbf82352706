#include "platform/host/utf.h"

#include <gtest/gtest.h>

namespace orvexa::host {
namespace {

using namespace std::string_view_literals;

struct ToUtf16Case {
  const char* name;
  std::string_view in;
  std::u16string_view want;
};

// Each ill-formed stretch gives as many U+FFFD as it has longest starts of a valid sequence.
constexpr ToUtf16Case kToUtf16[] = {
    {"empty", "", u""},
    {"ascii", "Orvexa 1404/07", u"Orvexa 1404/07"},
    {"persian", "سلام، ۰۹۱۲", u"سلام، ۰۹۱۲"},
    {"two and three bytes at the ends", "\xC2\x80-\xDF\xBF-\xE0\xA0\x80-\xEF\xBF\xBF",
     u"\u0080-\u07FF-\u0800-\uFFFF"},
    {"four bytes", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
    {"four bytes last", "\xF0\x9F\x98\x80", u"\U0001F600"},
    {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    {"embedded zero", "a\0b"sv, u"a\0b"sv},
    {"cut short at the end", "a\xE2\x82", u"a\uFFFD"},
    {"four bytes cut short", "\xF0\x9F\x98", u"\uFFFD"},
    {"cut short before ascii", "\xE2\x82z", u"\uFFFDz"},
    {"cut short before a lead", "\xD8\xD8\xB3", u"\uFFFD\u0633"},
    {"lone continuation", "\x80x\xBF", u"\uFFFDx\uFFFD"},
    {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"overlong pair lead", "\xC1\xBF", u"\uFFFD\uFFFD"},
    {"overlong three", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"overlong four", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"bytes never used", "\xF5\xFE\xFF", u"\uFFFD\uFFFD\uFFFD"},
    // Only the first three bytes are the input: the fourth lies beyond it and is not read.
    {"end of a view inside a longer text", std::string_view("\xF0\x9F\x98\x80", 3), u"\uFFFD"},
};

TEST(UtfTest, ToUtf16) {
  for (const ToUtf16Case& c : kToUtf16) EXPECT_EQ(to_utf16(c.in), c.want) << c.name;
}

struct ToUtf8Case {
  const char* name;
  std::u16string_view in;
  std::string_view want;
};

constexpr ToUtf8Case kToUtf8[] = {
    {"empty", u"", ""},
    {"ascii", u"Line 1", "Line 1"},
    {"persian", u"سلام، ۰۹۱۲", "سلام، ۰۹۱۲"},
    {"pair", u"a\U0001F600z", "a\xF0\x9F\x98\x80z"},
    {"embedded zero", u"a\0b"sv, "a\0b"sv},
    {"lone high at the end", u"a\xD83D", "a\xEF\xBF\xBD"},
    {"high before ascii", u"\xD83Dz", "\xEF\xBF\xBDz"},
    {"lone low", u"\xDE00z", "\xEF\xBF\xBDz"},
    {"pair in the wrong order", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"two highs then a low", u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    // Only the high half is the input: its partner lies beyond it and is not read.
    {"end of a view inside a longer text", std::u16string_view(u"\U0001F600", 1), "\xEF\xBF\xBD"},
};

TEST(UtfTest, ToUtf8) {
  for (const ToUtf8Case& c : kToUtf8) EXPECT_EQ(to_utf8(c.in), c.want) << c.name;
}

// Every scalar value survives the trip through UTF-8 and back, with the UTF-8 length its range
// asks for: this finds an error at any of the boundaries between lengths.
TEST(UtfTest, EveryScalarValueRoundTrips) {
  std::u16string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    if (cp < 0x10000) {
      all.push_back(static_cast<char16_t>(cp));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  const std::string utf8 = to_utf8(all);
  constexpr std::size_t kBytes = 0x80 * 1 + (0x800 - 0x80) * 2 + (0x10000 - 0x800 - 0x800) * 3 +
                                 0x100000 * 4;
  EXPECT_EQ(utf8.size(), kBytes);
  EXPECT_TRUE(to_utf16(utf8) == all);
}

}  // namespace
}  // namespace orvexa::host
