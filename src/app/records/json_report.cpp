#include "app/records/json_report.h"

#include <cstdio>

#include "app/records/report_row.h"

namespace orvexa::records {
namespace {

void append_escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
}

void append_value(std::string& out, CellKind kind, const std::string& cell) {
  if (kind == CellKind::Text) append_json_string(out, cell);
  else out += cell.empty() ? std::string_view("null") : std::string_view(cell);
}

void append_object(std::string& out, const ReportRow& cells) {
  out += "  {";
  for (std::size_t i = 0; i < kReportColumnCount; ++i) {
    if (i > 0) out += ", ";
    out += '"';
    out += kReportColumns[i].key;
    out += "\": ";
    append_value(out, kReportColumns[i].kind, cells[i]);
  }
  out += '}';
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  append_escaped(out, well_formed_utf8(text));
  out += '"';
}

std::string json_report(const std::vector<AttemptRow>& attempts) {
  std::string out = "[";
  for (std::size_t i = 0; i < attempts.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    append_object(out, report_row(attempts[i]));
  }
  out += attempts.empty() ? "]\n" : "\n]\n";
  return out;
}

}  // namespace orvexa::records
