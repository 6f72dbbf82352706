#include "app/records/xlsx_report.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>
#include <charconv>
#include <memory>
#include <system_error>

#include "app/records/report_row.h"
#include "platform/host/partial_file.h"

namespace orvexa::records {
namespace {

struct WorkbookFree {
  void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookFree>;

constexpr std::size_t kOutcome = column_of("outcome");
constexpr lxw_col_t kLabelColumn = kOutcome + 1;

// The attempts sheet has the outcome's label right after its token.
lxw_col_t sheet_column(std::size_t column) {
  return static_cast<lxw_col_t>(column + (column > kOutcome ? 1 : 0));
}

struct Formats {
  lxw_format* header;
  lxw_format* text;     // "@": a cell the user edits stays text
  lxw_format* seconds;  // one decimal, as in the CSV
};

Formats add_formats(lxw_workbook* workbook) {
  Formats formats{workbook_add_format(workbook), workbook_add_format(workbook),
                  workbook_add_format(workbook)};
  format_set_bold(formats.header);
  format_set_num_format(formats.text, "@");
  format_set_num_format(formats.seconds, "0.0");
  return formats;
}

// Writes cells and keeps the first failure, so a sheet is written in one pass and checked once.
class SheetWriter {
 public:
  explicit SheetWriter(lxw_worksheet* sheet) : sheet_(sheet) {}

  void text(lxw_row_t row, lxw_col_t col, std::string_view value, lxw_format* format) {
    if (value.empty()) return;
    keep(worksheet_write_string(sheet_, row, col, well_formed_utf8(value).c_str(), format));
  }
  void number(lxw_row_t row, lxw_col_t col, std::string_view value, lxw_format* format) {
    double number = 0;
    if (value.empty()) return;
    std::from_chars(value.data(), value.data() + value.size(), number);
    keep(worksheet_write_number(sheet_, row, col, number, format));
  }
  void column(lxw_col_t col, double width, lxw_format* format) {
    keep(worksheet_set_column(sheet_, col, col, width, format));
  }
  lxw_error error() const { return error_; }

 private:
  void keep(lxw_error error) {
    if (error_ == LXW_NO_ERROR) error_ = error;
  }
  lxw_worksheet* sheet_;
  lxw_error error_ = LXW_NO_ERROR;
};

double width_of(const ReportColumn& column) {
  if (column.key == "started") return 26;
  if (column.key == "started_jalali" || column.key == "cause") return 20;
  return column.kind == CellKind::Text ? 16 : 10;
}

void set_attempt_columns(SheetWriter& sheet, const Formats& formats) {
  for (std::size_t i = 0; i < kReportColumnCount; ++i) {
    const ReportColumn& column = kReportColumns[i];
    lxw_format* format = column.kind == CellKind::Text      ? formats.text
                         : column.kind == CellKind::Seconds ? formats.seconds
                                                            : nullptr;
    sheet.column(sheet_column(i), width_of(column), format);
  }
  sheet.column(kLabelColumn, 30, formats.text);
}

void write_attempt(SheetWriter& sheet, lxw_row_t row, const AttemptRow& attempt,
                   const Formats& formats) {
  const ReportRow cells = report_row(attempt);
  for (std::size_t i = 0; i < kReportColumnCount; ++i) {
    switch (kReportColumns[i].kind) {
      case CellKind::Text: sheet.text(row, sheet_column(i), cells[i], formats.text); break;
      case CellKind::Seconds: sheet.number(row, sheet_column(i), cells[i], formats.seconds); break;
      case CellKind::Integer: sheet.number(row, sheet_column(i), cells[i], nullptr); break;
    }
  }
  if (attempt.outcome)
    sheet.text(row, kLabelColumn, campaign::outcome_label(*attempt.outcome), formats.text);
}

lxw_error write_attempts_sheet(lxw_workbook* workbook, const Formats& formats,
                               const std::vector<AttemptRow>& attempts) {
  lxw_worksheet* worksheet = workbook_add_worksheet(workbook, "attempts");
  if (!worksheet) return LXW_ERROR_MEMORY_MALLOC_FAILED;
  worksheet_right_to_left(worksheet);
  worksheet_freeze_panes(worksheet, 1, 0);
  SheetWriter sheet(worksheet);
  set_attempt_columns(sheet, formats);
  for (std::size_t i = 0; i < kReportColumnCount; ++i)
    sheet.text(0, sheet_column(i), kReportColumns[i].key, formats.header);
  sheet.text(0, kLabelColumn, "outcome_label", formats.header);
  lxw_row_t row = 1;
  for (const AttemptRow& attempt : attempts) {
    if (sheet.error() != LXW_NO_ERROR) break;
    write_attempt(sheet, row++, attempt, formats);
  }
  return sheet.error();
}

void write_fact(SheetWriter& sheet, lxw_row_t& row, std::string_view key, std::string_view value,
                bool is_number, const Formats& formats) {
  sheet.text(row, 0, key, formats.header);
  if (is_number) sheet.number(row, 1, value, nullptr);
  else sheet.text(row, 1, value, formats.text);
  ++row;
}

lxw_error write_campaign_sheet(lxw_workbook* workbook, const Formats& formats,
                               const CampaignRow& c) {
  lxw_worksheet* worksheet = workbook_add_worksheet(workbook, "campaign");
  if (!worksheet) return LXW_ERROR_MEMORY_MALLOC_FAILED;
  worksheet_right_to_left(worksheet);
  SheetWriter sheet(worksheet);
  sheet.column(0, 18, nullptr);
  sheet.column(1, 26, nullptr);
  sheet.column(2, 30, nullptr);
  lxw_row_t row = 0;
  write_fact(sheet, row, "campaign", std::to_string(c.id), true, formats);
  write_fact(sheet, row, "started_jalali", solar_time_text(c.started_ms), false, formats);
  write_fact(sheet, row, "started", iso_time_text(c.started_ms), false, formats);
  if (c.ended_ms) write_fact(sheet, row, "ended", iso_time_text(*c.ended_ms), false, formats);
  write_fact(sheet, row, "state", campaign::state_token(c.state), false, formats);
  write_fact(sheet, row, "choice", campaign::choice_token(c.choice), false, formats);
  write_fact(sheet, row, "chosen", c.chosen, false, formats);
  write_fact(sheet, row, "filter", c.filter, false, formats);
  write_fact(sheet, row, "members", std::to_string(c.members), true, formats);
  write_fact(sheet, row, "attempts", std::to_string(c.attempts), true, formats);
  for (campaign::Outcome outcome : campaign::kAllOutcomes) {
    auto count = c.outcomes.find(outcome);
    if (count == c.outcomes.end()) continue;
    sheet.text(row, 2, campaign::outcome_label(outcome), formats.text);
    write_fact(sheet, row, campaign::outcome_token(outcome), std::to_string(count->second), true,
               formats);
  }
  return sheet.error();
}

lxw_error write_workbook(const std::filesystem::path& file, const CampaignRow& campaign,
                         const std::vector<AttemptRow>& attempts) {
  // Rows go to a temporary file as they are written, so memory stays flat for long campaigns.
  lxw_workbook_options options{LXW_TRUE, nullptr, LXW_FALSE};
  Workbook workbook(workbook_new_opt(file.c_str(), &options));
  if (!workbook) return LXW_ERROR_CREATING_TMPFILE;
  // The campaign's start as the file's date: the same report gives the same bytes.
  std::string title = "Orvexa campaign " + std::to_string(campaign.id);
  lxw_doc_properties properties{};
  properties.title = title.data();
  properties.created = static_cast<time_t>(campaign.started_ms / 1000);
  workbook_set_properties(workbook.get(), &properties);
  const Formats formats = add_formats(workbook.get());
  lxw_error error = write_attempts_sheet(workbook.get(), formats, attempts);
  if (error == LXW_NO_ERROR) error = write_campaign_sheet(workbook.get(), formats, campaign);
  if (error != LXW_NO_ERROR) return error;
  return workbook_close(workbook.release());
}

}  // namespace

std::optional<std::string> write_xlsx_report(const std::filesystem::path& path,
                                             const CampaignRow& campaign,
                                             const std::vector<AttemptRow>& attempts) {
  std::error_code error;
  auto part = host::PartialFile::create_beside(path, host::kSecretFileMode, error);
  if (!part) return path.string() + ": " + error.message();
  // The library opens the name again and truncates it: the file keeps the mode set above.
  if (lxw_error failed = write_workbook(part->path(), campaign, attempts); failed != LXW_NO_ERROR)
    return path.string() + ": " + lxw_strerror(failed);
  if (::fsync(part->fd()) != 0) return path.string() + ": " + std::strerror(errno);
  if ((error = part->commit())) return path.string() + ": " + error.message();
  return std::nullopt;
}

}  // namespace orvexa::records
