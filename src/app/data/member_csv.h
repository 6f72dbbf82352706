// Members to and from CSV (UTF-8, header row): reading quoted fields, turning Persian and
// Arabic-Indic digits into ASCII, and telephone numbers into a form that can be dialled.
//
//   auto prepared = prepare_import(file_text, /*local=*/false);
//   store.insert_rows(group, prepared.rows);        // one transaction
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/data/member.h"
#include "app/data/phone_number.h"

namespace orvexa::data {

struct CsvRecord {
  int line = 0;  // the line on which the record starts, from 1
  std::vector<std::string> fields;
};

struct CsvParse {
  std::vector<CsvRecord> records;
  std::string problem;  // an unterminated quote, reported with its line
};

// RFC 4180 fields: commas, double quotes doubled inside quotes, LF or CRLF line ends, a leading
// UTF-8 byte-order mark ignored, blank lines skipped.
CsvParse parse_csv(std::string_view text);

// Persian (U+06F0..) and Arabic-Indic (U+0660..) digits become ASCII; everything else stays.
std::string ascii_digits(std::string_view text);

struct ImportProblem {
  int line = 0;
  std::string reason;
};

struct PreparedImport {
  std::vector<Member> rows;
  std::vector<ImportProblem> skipped;
  std::string error;  // the file as a whole cannot be read (no header, no number column, ...)
};

// Column names are those of the member table (id is ignored); "phone" is taken for "num".
PreparedImport prepare_import(std::string_view csv_text, bool local);

// A header row and one row per member, in the member table's column order.
std::string export_csv(const std::vector<Member>& members);

}  // namespace orvexa::data
