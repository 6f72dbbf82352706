// Telephone numbers read from outside (CSV files, the command line) into the form the campaign
// dials: digits of any script made ASCII, formatting dropped, the country's length rules checked.
//
//   PhoneNumberReader reader;
//   auto number = reader.read("+98 912 345 6789", /*local=*/true);   // "09123456789"
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace i18n::phonenumbers {
class PhoneNumberUtil;
}

namespace orvexa::data {

// The member table's `num` column holds at most this many characters.
inline constexpr std::size_t kMaxNumberLength = 15;

class PhoneNumberReader {
 public:
  PhoneNumberReader();

  // Blanks, dashes, dots and brackets dropped; "+98"/"0098" kept as given unless `local` asks
  // for the "0" form; a number without an international prefix is kept digit for digit.
  // nullopt when the text holds anything else (letters, a "+" inside), when the number is not
  // of a possible length for its country (a short local number only without an area code or
  // country code), or when it is longer than kMaxNumberLength.
  std::optional<std::string> read(std::string_view text, bool local) const;

 private:
  struct Split {
    int country_code = 0;
    std::string national;  // national significant number
  };
  std::optional<Split> international(std::string digits) const;
  bool possible(const Split& split, bool local_only_allowed) const;
  void drop_misplaced_trunk_prefix(Split& split) const;

  const i18n::phonenumbers::PhoneNumberUtil& util_;
  std::set<int> calling_codes_;
};

// One-off form of PhoneNumberReader::read.
std::optional<std::string> dialable_number(std::string_view text, bool local);

}  // namespace orvexa::data
