#include "app/data/phone_number.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>

namespace orvexa::data {
namespace {

namespace pn = i18n::phonenumbers;

// The program dials from Iran: numbers without an international prefix are Iranian, the
// international prefix written in front of a country code is "00" and the trunk prefix "0".
constexpr int kHomeCountryCode = 98;
constexpr std::string_view kInternationalPrefix = "00";
constexpr std::string_view kTrunkPrefix = "0";
constexpr std::size_t kMaxNationalDigits = 17;

std::string without_formatting(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '-' || c == '.' || c == '(' || c == ')' || c == '[' ||
        c == ']')
      continue;
    if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {  // no-break space
      ++i;
      continue;
    }
    kept += c;
  }
  return kept;
}

// Characters, counting each UTF-8 lead byte once.
std::size_t code_points(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

PhoneNumberReader::PhoneNumberReader() : util_(*pn::PhoneNumberUtil::GetInstance()) {
  util_.GetSupportedCallingCodes(&calling_codes_);
}

std::optional<std::string> PhoneNumberReader::read(std::string_view text, bool local) const {
  const std::string kept = without_formatting(text);
  const bool plus = kept.starts_with('+');
  const std::string_view body = std::string_view(kept).substr(plus ? 1 : 0);
  std::string digits(body);
  util_.NormalizeDigitsOnly(&digits);
  // Anything that was not a digit (a letter, a second "+") makes the number unusable: the
  // library would otherwise drop it or read letters as keypad digits.
  if (digits.empty() || digits.size() != code_points(body)) return std::nullopt;

  std::optional<Split> split;
  std::string number = digits;
  bool local_only_allowed = false;
  if (plus || digits.starts_with(kInternationalPrefix)) {
    split = international(plus ? digits : digits.substr(kInternationalPrefix.size()));
    if (!split) return std::nullopt;
    const std::string code = std::to_string(split->country_code);
    if (local && split->country_code == kHomeCountryCode) number = std::string(kTrunkPrefix) + split->national;
    else number = (plus ? "+" : std::string(kInternationalPrefix)) + code + split->national;
  } else if (digits.starts_with(kTrunkPrefix)) {
    split = Split{kHomeCountryCode, digits.substr(kTrunkPrefix.size())};
  } else {
    // A number of the caller's own area, dialled without the area code.
    split = Split{kHomeCountryCode, digits};
    local_only_allowed = true;
  }
  if (!possible(*split, local_only_allowed) || number.size() > kMaxNumberLength)
    return std::nullopt;
  return number;
}

// The country code (one to three digits) in front of an international number.
std::optional<PhoneNumberReader::Split> PhoneNumberReader::international(
    std::string digits) const {
  for (std::size_t length = 1; length <= 3 && length < digits.size(); ++length) {
    if (digits[0] == '0') break;
    const int code = std::stoi(digits.substr(0, length));
    if (!calling_codes_.contains(code)) continue;
    Split split{code, digits.substr(length)};
    drop_misplaced_trunk_prefix(split);
    // No Iranian number begins with 0 after its country code; refusing it keeps the 0 form of
    // --local from turning into an international prefix ("+98 009..." is not "009...").
    if (code == kHomeCountryCode && split.national.starts_with(kTrunkPrefix)) return std::nullopt;
    return split;
  }
  return std::nullopt;
}

namespace {

pn::PhoneNumberUtil::ValidationResult validate(const pn::PhoneNumberUtil& util, int country_code,
                                               const std::string& national) {
  const auto zeros = national.find_first_not_of('0');
  if (national.empty() || national.size() > kMaxNationalDigits || zeros == std::string::npos)
    return pn::PhoneNumberUtil::TOO_SHORT;
  pn::PhoneNumber number;
  number.set_country_code(country_code);
  number.set_national_number(std::stoull(national));
  if (zeros > 0) {
    number.set_italian_leading_zero(true);
    number.set_number_of_leading_zeros(static_cast<std::int32_t>(zeros));
  }
  return util.IsPossibleNumberWithReason(number);
}

}  // namespace

// "+98 0912...": a trunk prefix written after the country code goes, when the number is not
// possible with it and is without it.
void PhoneNumberReader::drop_misplaced_trunk_prefix(Split& split) const {
  std::string region, trunk;
  util_.GetRegionCodeForCountryCode(split.country_code, &region);
  util_.GetNddPrefixForRegion(region, true, &trunk);
  if (trunk.empty() || !split.national.starts_with(trunk) || possible(split, false)) return;
  Split without{split.country_code, split.national.substr(trunk.size())};
  if (possible(without, false)) split = std::move(without);
}

// A number with its area code must have a full national length; only a number dialled within
// its own area may be shorter.
bool PhoneNumberReader::possible(const Split& split, bool local_only_allowed) const {
  const auto result = validate(util_, split.country_code, split.national);
  return result == pn::PhoneNumberUtil::IS_POSSIBLE ||
         (local_only_allowed && result == pn::PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY);
}

std::optional<std::string> dialable_number(std::string_view text, bool local) {
  return PhoneNumberReader().read(text, local);
}

}  // namespace orvexa::data
