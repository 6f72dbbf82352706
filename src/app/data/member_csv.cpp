#include "app/data/member_csv.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace orvexa::data {
namespace {

constexpr std::array<const char*, 22> kColumns = {
    "id",   "name", "family", "shsh", "cod",  "num",  "tart",  "tarezd", "targ",  "tar1",  "tar2",
    "tar3", "tar4", "tar5",   "tar6", "tar7", "tar8", "tar9",  "tar10",  "tar11", "tar12", "tare"};

std::string trimmed(std::string_view text) {
  auto blank = [](unsigned char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

std::string quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Index of each table column in the file's header, or -1.
std::array<int, kColumns.size()> header_map(const std::vector<std::string>& header) {
  std::array<int, kColumns.size()> where{};
  where.fill(-1);
  for (std::size_t i = 0; i < header.size(); ++i) {
    std::string name = trimmed(header[i]);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "phone") name = "num";
    for (std::size_t c = 0; c < kColumns.size(); ++c)
      if (name == kColumns[c] && where[c] < 0) where[c] = static_cast<int>(i);
  }
  return where;
}

// The stored `tare`: empty is 88888888; "1404/05/15" or "14040515" is the number 14040515.
std::optional<std::string> last_instalment_text(const std::string& field) {
  std::string digits;
  for (char c : ascii_digits(trimmed(field)))
    if (c != '/') digits += c;
  if (digits.empty()) return std::to_string(kNoLastInstalment);
  int value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < 0) return std::nullopt;
  return std::to_string(value);
}

std::string date_text(const std::string& field) {
  std::string text = ascii_digits(trimmed(field));
  return text.empty() ? "/" : text;
}

}  // namespace

CsvParse parse_csv(std::string_view text) {
  CsvParse parse;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  int line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    CsvRecord record{line, {}};
    std::string field;
    bool in_quotes = false, record_done = false;
    for (; i < text.size() && !record_done; ++i) {
      const char c = text[i];
      if (in_quotes) {
        if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
          field += '"';
          ++i;
        } else if (c == '"') {
          in_quotes = false;
        } else {
          if (c == '\n') ++line;
          field += c;
        }
      } else if (c == '"') {
        in_quotes = true;
      } else if (c == ',') {
        record.fields.push_back(std::move(field));
        field.clear();
      } else if (c == '\n' || c == '\r') {
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++line;
        record_done = true;
      } else {
        field += c;
      }
    }
    if (in_quotes && parse.problem.empty())
      parse.problem = "line " + std::to_string(record.line) + ": quote not closed";
    record.fields.push_back(std::move(field));
    const bool blank = record.fields.size() == 1 && record.fields[0].empty();
    if (!blank) parse.records.push_back(std::move(record));
  }
  return parse;
}

std::string ascii_digits(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      // U+06F0..U+06F9 is DB B0..DB B9; U+0660..U+0669 is D9 A0..D9 A9.
      if (lead == 0xDB && next >= 0xB0 && next <= 0xB9) {
        out += static_cast<char>('0' + (next - 0xB0));
        ++i;
        continue;
      }
      if (lead == 0xD9 && next >= 0xA0 && next <= 0xA9) {
        out += static_cast<char>('0' + (next - 0xA0));
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

PreparedImport prepare_import(std::string_view csv_text, bool local) {
  PreparedImport prepared;
  CsvParse parse = parse_csv(csv_text);
  if (!parse.problem.empty()) prepared.error = parse.problem;
  if (parse.records.empty()) {
    if (prepared.error.empty()) prepared.error = "no header row";
    return prepared;
  }
  const auto where = header_map(parse.records.front().fields);
  if (where[5] < 0) {
    prepared.error = "no num (or phone) column in the header row";
    return prepared;
  }
  if (!prepared.error.empty()) return prepared;
  const PhoneNumberReader phone;
  for (std::size_t r = 1; r < parse.records.size(); ++r) {
    const CsvRecord& record = parse.records[r];
    auto field = [&](std::size_t column) -> std::string {
      const int at = where[column];
      return at >= 0 && static_cast<std::size_t>(at) < record.fields.size() ? record.fields[at] : "";
    };
    auto number = phone.read(field(5), local);
    if (!number) {
      prepared.skipped.push_back({record.line, "no usable telephone number"});
      continue;
    }
    auto tare = last_instalment_text(field(21));
    if (!tare) {
      prepared.skipped.push_back({record.line, "last instalment is not a date"});
      continue;
    }
    Member m;
    m.name = trimmed(field(1));
    m.family = trimmed(field(2));
    m.shsh = ascii_digits(trimmed(field(3)));
    m.cod = ascii_digits(trimmed(field(4)));
    m.num = *number;
    m.tart = date_text(field(6));
    m.tarezd = date_text(field(7));
    m.targ = date_text(field(8));
    for (std::size_t i = 0; i < m.tar.size(); ++i) m.tar[i] = date_text(field(9 + i));
    m.tare = *tare;
    prepared.rows.push_back(std::move(m));
  }
  return prepared;
}

std::string export_csv(const std::vector<Member>& members) {
  std::string out;
  for (std::size_t c = 0; c < kColumns.size(); ++c) out += (c ? "," : "") + std::string(kColumns[c]);
  out += '\n';
  for (const Member& m : members) {
    std::vector<std::string> fields = {std::to_string(m.id), m.name, m.family, m.shsh, m.cod,
                                       m.num, m.tart, m.tarezd, m.targ};
    fields.insert(fields.end(), m.tar.begin(), m.tar.end());
    fields.push_back(m.tare);
    for (std::size_t c = 0; c < fields.size(); ++c) out += (c ? "," : "") + quoted(fields[c]);
    out += '\n';
  }
  return out;
}

}  // namespace orvexa::data
