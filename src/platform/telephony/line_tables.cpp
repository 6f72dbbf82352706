#include "platform/telephony/line_tables.h"

#include <toml++/toml.h>

namespace orvexa::telephony {

LineTablesResult line_tables(const toml::table& root) {
  LineTablesResult out;
  const toml::node* n = root.get("line");
  if (!n) return out;
  const toml::array* list = n->as_array();
  if (!list) {
    out.error = "line: must be a list of [[line]] tables";
    return out;
  }
  int index = 0;
  for (const toml::node& item : *list) {
    const std::string where = "line " + std::to_string(++index);
    const toml::table* t = item.as_table();
    if (!t) {
      out.line_errors.push_back({index, where + ": must be a [[line]] table"});
      continue;
    }
    LineTable line{index, "sim", t};
    if (const toml::node* k = t->get("kind")) {
      auto v = k->value_exact<std::string>();
      if (!v) {
        out.line_errors.push_back({index, line_where(line) + ": key 'kind': must be a string"});
        continue;
      }
      line.kind = *v;
    }
    out.tables.push_back(std::move(line));
  }
  return out;
}

std::string line_where(const LineTable& line) {
  std::string where = "line " + std::to_string(line.index);
  if (line.table == nullptr) return where;
  if (const toml::node* name = line.table->get("name"))
    if (auto v = name->value_exact<std::string>()) where += " (\"" + *v + "\")";
  return where;
}

}  // namespace orvexa::telephony
