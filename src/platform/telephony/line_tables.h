// The [[line]] tables of orvexa.toml, sorted by kind before any provider reads them, so that the
// file is parsed once and each provider gets only its own tables.
//
//   LineTablesResult t = line_tables(root);      // root: the parsed file
//   for (const LineTable& line : t.tables) if (line.kind == "sim") ...
#pragma once

#include <string>
#include <vector>

namespace toml {
inline namespace v3 {
class table;
}
}  // namespace toml

namespace orvexa::telephony {

struct LineTable {
  int index = 0;     // 1-based position among all [[line]] tables
  std::string kind;  // "sim" when the table does not say
  const toml::table* table = nullptr;  // owned by the parsed document
};

// A problem with one [[line]] table: that line is left out, the others work.
struct LineError {
  int index = 0;  // as LineTable::index
  std::string text;
};

struct LineTablesResult {
  std::vector<LineTable> tables;
  std::vector<LineError> line_errors;  // tables that are not tables, or whose kind is not text
  std::string error;                   // 'line' is not a list at all
};

LineTablesResult line_tables(const toml::table& root);

// "line 2 (\"Office\")": how errors name a line.
std::string line_where(const LineTable& line);

}  // namespace orvexa::telephony
