#include "app/data/phone_number.h"

#include <gtest/gtest.h>
#include <phonenumbers/phonenumberutil.h>

#include <random>

namespace orvexa::data {
namespace {

namespace pn = i18n::phonenumbers;

TEST(PhoneNumberReader, DialForms) {
  struct Case {
    const char* in;
    bool local;
    const char* want;  // nullptr: no usable number
  };
  const Case cases[] = {
      {"0912 345 6789", false, "09123456789"},
      {"۰۹۱۲-۳۴۵-۶۷۸۹", false, "09123456789"},
      {"٠٩١٢ ٣٤٥ ٦٧٨٩", false, "09123456789"},
      {"(021) 8888.1234", false, "02188881234"},
      {"[021] 22334455", false, "02122334455"},
      {"22334455", false, "22334455"},  // a local number without its area code
      {"+98 912 345 6789", false, "+989123456789"},
      {"+98 912 345 6789", true, "09123456789"},
      {"+۹۸ ۹۱۲ ۳۴۵ ۶۷۸۹", true, "09123456789"},
      {"0098 912 345 6789", false, "00989123456789"},
      {"0098 912 345 6789", true, "09123456789"},
      {"+98 (0)912 345 6789", false, "+989123456789"},  // the trunk 0 cannot follow +98
      {"0098 009000", true, nullptr},  // its 0 form would read as an international number
      {"+98 00 912 345 6789", false, nullptr},
      {"+1 202 555 0100", true, "+12025550100"},
      {"+1 555 0100", false, nullptr},  // a local number cannot follow a country code
      {"+44 20 7946 0958", false, "+442079460958"},
      {"0044 20 7946 0958", true, "00442079460958"},  // --local touches only Iranian numbers
      {"0912\xC2\xA0" "345 6789", false, "09123456789"},
      {"0912", false, nullptr},  // the trunk prefix says: a national number follows
      {"", false, nullptr},
      {"   ", false, nullptr},
      {"0912abc", false, nullptr},
      {"0912-ABC-DEF", false, nullptr},  // letters are not read as keypad digits
      {"09+12", false, nullptr},
      {"+", false, nullptr},
      {"++98912", false, nullptr},
      {"0", false, nullptr},
      {"00", false, nullptr},
      {"118", false, nullptr},                  // too short for an Iranian number
      {"+999 1234 5678", false, nullptr},       // no such country code
      {"+98 912 345 6789 0123", false, nullptr},  // too long for Iran
      {"1234567890123456", false, nullptr},
      {"0098 912 345 6789 x12", false, nullptr},
      {"\xDB", false, nullptr},
  };
  PhoneNumberReader reader;
  for (const Case& c : cases) {
    auto got = reader.read(c.in, c.local);
    if (c.want) {
      EXPECT_EQ(got, std::optional<std::string>(c.want)) << c.in;
    } else {
      EXPECT_FALSE(got.has_value()) << c.in << " -> " << got.value_or("");
    }
  }
}

// The reader uses the library's tables without its free-text parser (which costs more than the
// rest of an import); on international numbers both must agree on what is usable and on the
// number itself.
TEST(PhoneNumberReader, AgreesWithTheLibraryParser) {
  const pn::PhoneNumberUtil& util = *pn::PhoneNumberUtil::GetInstance();
  PhoneNumberReader reader;
  std::mt19937 random(99);
  const char* prefixes[] = {"+", "+98", "0098", "00", "+1", "+44", "0044", "+39", "+7", "+971",
                            "+800", "+49", "+86"};
  int accepted = 0, refused = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string text = prefixes[random() % std::size(prefixes)];
    text += static_cast<char>('1' + random() % 9);
    const int digits = static_cast<int>(random() % 12);
    for (int k = 0; k < digits; ++k) text += static_cast<char>('0' + random() % 10);
    pn::PhoneNumber parsed;
    const bool usable = util.Parse(text, "IR", &parsed) == pn::PhoneNumberUtil::NO_PARSING_ERROR &&
                        util.IsPossibleNumberWithReason(parsed) == pn::PhoneNumberUtil::IS_POSSIBLE &&
                        text.size() <= kMaxNumberLength;
    auto ours = reader.read(text, false);
    ASSERT_EQ(ours.has_value(), usable) << text << " -> " << ours.value_or("");
    if (ours) {
      std::string e164;
      util.Format(parsed, pn::PhoneNumberUtil::E164, &e164);
      const std::string want = text.starts_with('+') ? e164 : "00" + e164.substr(1);
      // Where a trunk digit after the country code leaves a possible number either way, the
      // library drops it by its number patterns and the reader keeps what was written.
      if (*ours != want) {
        EXPECT_EQ(ours->size(), want.size() + 1) << text << " -> " << *ours;
      }
    }
    (ours ? accepted : refused) += 1;
  }
  EXPECT_GT(accepted, 500);  // the prefixes reach both outcomes often
  EXPECT_GT(refused, 500);
}

}  // namespace
}  // namespace orvexa::data
