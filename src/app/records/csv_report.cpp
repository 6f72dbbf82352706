#include "app/records/csv_report.h"

#include "app/records/report_row.h"

namespace orvexa::records {
namespace {

constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr std::string_view kNumberSigns = "0123456789 +-*#,.";
constexpr std::string_view kQuotedWhenHeld = ",\"\r\n";
constexpr std::string_view kRecordEnd = "\r\n";

void append_record(std::string& out, const ReportRow& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += ',';
    append_csv_field(out, spreadsheet_safe(cells[i]));
  }
  out += kRecordEnd;
}

}  // namespace

std::string spreadsheet_safe(std::string_view cell) {
  if (cell.empty() || kFormulaStarts.find(cell.front()) == std::string_view::npos)
    return std::string(cell);
  if (cell.find_first_not_of(kNumberSigns) == std::string_view::npos) return std::string(cell);
  return "'" + std::string(cell);
}

void append_csv_field(std::string& out, std::string_view field) {
  if (field.find_first_of(kQuotedWhenHeld) == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string csv_report(const std::vector<AttemptRow>& attempts) {
  std::string out(kUtf8Bom);
  out.reserve(attempts.size() * 200 + 256);
  for (std::size_t i = 0; i < kReportColumnCount; ++i) {
    if (i > 0) out += ',';
    out += kReportColumns[i].key;
  }
  out += kRecordEnd;
  for (const AttemptRow& attempt : attempts) append_record(out, report_row(attempt));
  return out;
}

std::optional<std::string> write_csv_report(const std::filesystem::path& path,
                                            const std::vector<AttemptRow>& attempts,
                                            host::FileFaults* faults) {
  if (std::error_code error = host::write_file_atomically(path, csv_report(attempts), faults,
                                                          host::kSecretFileMode))
    return path.string() + ": " + error.message();
  return std::nullopt;
}

}  // namespace orvexa::records
