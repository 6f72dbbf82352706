#include "app/data/member.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace orvexa::data {
namespace {

std::string trimmed(const std::string& text) {
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  auto first = std::find_if_not(text.begin(), text.end(), blank);
  auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

}  // namespace

std::optional<int> last_instalment_value(const MemberEntry& entry) {
  const auto& date = entry.last_instalment;
  if (entry.last_instalment_year.empty() || date.month.empty() || date.day.empty())
    return kNoLastInstalment;
  const std::string joined = entry.last_instalment_year + date.month + date.day;
  if (!std::all_of(joined.begin(), joined.end(), [](unsigned char c) { return std::isdigit(c); }))
    return std::nullopt;
  int value = 0;
  auto [end, error] = std::from_chars(joined.data(), joined.data() + joined.size(), value);
  if (error != std::errc() || end != joined.data() + joined.size()) return std::nullopt;
  return value;
}

std::optional<Member> member_from_entry(const MemberEntry& entry) {
  auto tare = last_instalment_value(entry);
  if (!tare) return std::nullopt;
  Member member;
  member.name = trimmed(entry.name);
  member.family = trimmed(entry.family);
  member.shsh = entry.shsh;
  member.cod = entry.cod;
  member.num = entry.num;
  member.tart = entry.birthday.text();
  member.tarezd = entry.marriage.text();
  member.targ = entry.contract.text();
  for (std::size_t i = 0; i < member.tar.size(); ++i) member.tar[i] = entry.instalments[i].text();
  member.tare = std::to_string(*tare);
  return member;
}

}  // namespace orvexa::data
