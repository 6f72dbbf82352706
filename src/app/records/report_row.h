// One attempt as every report shows it: the columns in their order, each cell as text, and the
// times and lengths formatted once for all the exports.
//
//   for (const ReportColumn& column : kReportColumns) header.push_back(column.key);
//   ReportRow cells = report_row(attempt);   // cells[i] belongs to kReportColumns[i]
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/records/calls_database.h"

namespace orvexa::records {

// How an export writes a cell: integers and lengths in seconds as numbers, everything else as
// text. Member ids, numbers and keys are text on purpose, so "0912..." keeps its zero.
enum class CellKind { Integer, Seconds, Text };

struct ReportColumn {
  std::string_view key;
  CellKind kind;
};

inline constexpr std::array kReportColumns{
    ReportColumn{"campaign", CellKind::Integer}, ReportColumn{"attempt", CellKind::Integer},
    ReportColumn{"group", CellKind::Text}, ReportColumn{"member_id", CellKind::Text},
    ReportColumn{"name", CellKind::Text}, ReportColumn{"family", CellKind::Text},
    ReportColumn{"number", CellKind::Text}, ReportColumn{"line", CellKind::Integer},
    ReportColumn{"channel", CellKind::Integer}, ReportColumn{"started_jalali", CellKind::Text},
    ReportColumn{"started", CellKind::Text}, ReportColumn{"answered_after_s", CellKind::Seconds},
    ReportColumn{"duration_s", CellKind::Seconds}, ReportColumn{"outcome", CellKind::Text},
    ReportColumn{"keys", CellKind::Text}, ReportColumn{"opening_heard_s", CellKind::Seconds},
    ReportColumn{"main_heard_s", CellKind::Seconds}, ReportColumn{"cause", CellKind::Text},
};
inline constexpr std::size_t kReportColumnCount = kReportColumns.size();

// The position of `key` in kReportColumns, found while compiling: a wrong key does not build.
consteval std::size_t column_of(std::string_view key) {
  for (std::size_t i = 0; i < kReportColumnCount; ++i)
    if (kReportColumns[i].key == key) return i;
  throw "no such report column";
}

// The cells of one attempt; an empty cell is a value that does not exist (no answer, no end,
// no member row, the outcome of a call still in progress).
using ReportRow = std::array<std::string, kReportColumnCount>;
ReportRow report_row(const AttemptRow& attempt);

// Local time of `ms` (milliseconds since the epoch) in the Solar calendar, "1405/09/19 10:20:30".
std::string solar_time_text(std::int64_t ms);
// Local time of `ms` in ISO 8601 with its UTC offset, "2026-12-10T10:20:30+03:30".
std::string iso_time_text(std::int64_t ms);
// Seconds with one decimal, "12.5".
std::string seconds_text(double seconds);
// `text` as well-formed UTF-8, as XML and JSON must be: ill-formed sequences become U+FFFD.
// Names come from files and other programs, so no export takes their bytes on trust.
std::string well_formed_utf8(std::string_view text);

// The length from `from_ms` to `to_ms` in seconds, empty when either is unknown.
std::string interval_text(std::optional<std::int64_t> from_ms, std::optional<std::int64_t> to_ms);

}  // namespace orvexa::records
