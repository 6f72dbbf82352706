// A member row of a group's table, and the raw entry fields that become one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace orvexa::data {

inline constexpr int kNoLastInstalment = 88888888;

// One stored member; texts as stored (UTF-8).
struct Member {
  std::int64_t row = 0;  // SQLite rowid: the key for editing and deleting in place
  int id = 0;
  std::string name, family, shsh, cod, num;
  std::string tart, tarezd, targ;
  std::array<std::string, 12> tar;
  std::string tare;  // text of the stored value ("88888888", "14030515", or what was edited in)

  friend bool operator==(const Member&, const Member&) = default;
};

// The day and month fields of one date row, as typed.
struct DateFields {
  std::string day;
  std::string month;
  // Month, "/", day: "/" when both are empty, no padding and no checks.
  std::string text() const { return month + "/" + day; }
};

// What the entry page and its dates dialog hold when a member is inserted.
struct MemberEntry {
  std::string name, family, shsh, cod, num;
  DateFields birthday, marriage, contract;
  std::array<DateFields, 12> instalments;
  DateFields last_instalment;
  std::string last_instalment_year;
};

// The stored `tare`: year, month and day joined when all three are present, else 88888888;
// nullopt when the joined text is not a number that fits the column.
std::optional<int> last_instalment_value(const MemberEntry& entry);

// The row the entry becomes (id and row not yet set); name and family trimmed, the rest as typed.
std::optional<Member> member_from_entry(const MemberEntry& entry);

}  // namespace orvexa::data
