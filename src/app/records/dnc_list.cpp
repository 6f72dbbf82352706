#include "app/records/dnc_list.h"

#include <sqlite3.h>

#include <sstream>

#include "app/records/sqlite_statement.h"

namespace orvexa::records {

namespace {
std::int64_t ms(messaging::WallTime t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}
}  // namespace

std::optional<std::string> DncList::normalise(std::string_view number) const {
  // The local "0" form, so a number typed with +98 matches the member's 0912....
  if (auto read = reader_.read(number, /*local=*/true)) return read;
  // A short internal number (an extension) is not a telephone number to the reader, but members
  // are dialled as typed: its digits alone.
  std::string digits;
  for (const char c : number) {
    if (c >= '0' && c <= '9') digits += c;
    else if (c != ' ' && c != '-') return std::nullopt;
  }
  if (digits.empty() || digits.size() > data::kMaxNumberLength) return std::nullopt;
  return digits;
}

bool DncList::listed(const std::string& number) {
  const auto n = normalise(number);
  if (!n) return false;
  Statement q(db_.handle(), "SELECT 1 FROM dnc WHERE number = ?1");
  q.bind(1, *n);
  return q.step() == SQLITE_ROW;
}

bool DncList::add(const std::string& number, std::string_view reason) {
  const auto n = normalise(number);
  if (!n) return false;
  Statement q(db_.handle(), "INSERT OR IGNORE INTO dnc (number, added_ms, reason) VALUES (?1, ?2, ?3)");
  return q.bind(1, *n).bind(2, ms(clock_.wall_now())).bind(3, reason).run();
}

bool DncList::remove(std::string_view number) {
  const auto n = normalise(number);
  if (!n) return false;
  Statement q(db_.handle(), "DELETE FROM dnc WHERE number = ?1");
  return q.bind(1, *n).run() && sqlite3_changes(db_.handle()) > 0;
}

std::vector<DncEntry> DncList::entries() {
  std::vector<DncEntry> out;
  Statement q(db_.handle(), "SELECT number, added_ms, reason FROM dnc ORDER BY number");
  while (q.step() == SQLITE_ROW) out.push_back({q.text(0), q.integer(1), q.text(2)});
  return out;
}

DncImport DncList::import(std::string_view text, std::string_view reason) {
  DncImport result;
  std::istringstream lines{std::string(text)};
  std::string line;
  execute(db_.handle(), "BEGIN IMMEDIATE");
  for (int n = 1; std::getline(lines, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    const auto number = normalise(line);
    if (!number) {
      result.refused.push_back("line " + std::to_string(n) + ": not a telephone number: " + line);
      continue;
    }
    if (listed(*number)) {
      ++result.already;
    } else if (add(*number, reason)) {
      ++result.added;
    } else {
      result.refused.push_back("line " + std::to_string(n) + ": could not be stored");
    }
  }
  execute(db_.handle(), "COMMIT");
  return result;
}

}  // namespace orvexa::records
