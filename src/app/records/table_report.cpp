#include "app/records/table_report.h"

#include <algorithm>
#include <utility>

#include "app/records/report_row.h"
#include "platform/host/utf.h"

namespace orvexa::records {
namespace {

struct Range {
  char32_t first, last;
};

// Combining marks (Persian and Arabic vowel signs among them), joiners, direction marks and the
// byte-order mark: drawn on the character before them, or not at all.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670}, {0x06D6, 0x06DC},
    {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x200B, 0x200F}, {0x202A, 0x202E},
    {0x2060, 0x2069}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}};
constexpr Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0xA4CF},   {0xAC00, 0xD7A3},
                           {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},
                           {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
                           {0x20000, 0x3FFFD}};

bool in(const auto& ranges, char32_t c) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [c](const Range& r) { return c >= r.first && c <= r.last; });
}

std::size_t width_of(char32_t c) {
  if (in(kZeroWidth, c)) return 0;
  return in(kWide, c) ? 2 : 1;
}

// Calls `each` with every code point of `text`, ill-formed bytes read as U+FFFD.
template <class Each>
void for_each_code_point(std::string_view text, Each each) {
  const std::u16string units = host::to_utf16(text);
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    each(c);
  }
}

bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

void append_padding(std::string& out, std::size_t count) { out.append(count, ' '); }

std::string outcome_counts(const CampaignRow& c) {
  std::string out;
  for (campaign::Outcome outcome : campaign::kAllOutcomes) {
    auto count = c.outcomes.find(outcome);
    if (count == c.outcomes.end() || count->second == 0) continue;
    if (!out.empty()) out += ", ";
    out += std::string(campaign::outcome_token(outcome)) + " " + std::to_string(count->second);
  }
  return out;
}

// The columns of the attempts table, a choice of the report's: the times in the Solar calendar
// only, and neither the campaign (said above the table) nor the lengths heard.
constexpr std::size_t kTableColumns[] = {
    column_of("attempt"),  column_of("started_jalali"), column_of("group"),
    column_of("name"),     column_of("family"),         column_of("number"),
    column_of("line"),     column_of("answered_after_s"), column_of("duration_s"),
    column_of("outcome"),  column_of("keys"),           column_of("cause")};

}  // namespace

std::size_t display_width(std::string_view text) {
  std::size_t width = 0;
  for_each_code_point(text, [&width](char32_t c) { width += width_of(c); });
  return width;
}

std::string terminal_safe(std::string_view text) {
  bool plain = std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte >= 0x7F;
  });
  if (plain) return std::string(text);
  std::u16string units = host::to_utf16(text);
  std::replace_if(units.begin(), units.end(), [](char16_t c) { return is_control(c); }, u' ');
  return host::to_utf8(units);
}

std::string aligned_table(const std::vector<std::vector<std::string>>& rows,
                          const std::vector<Align>& align) {
  std::vector<std::size_t> widths(align.size(), 0);
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
      widths[i] = std::max(widths[i], display_width(row[i]));
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      if (i > 0) line += "  ";
      const std::size_t gap = widths[i] - display_width(row[i]);
      if (align[i] == Align::Right) append_padding(line, gap);
      line += row[i];
      if (align[i] == Align::Left) append_padding(line, gap);
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + '\n';
  }
  return out;
}

std::string campaigns_table(const std::vector<CampaignRow>& campaigns) {
  std::vector<std::vector<std::string>> rows{
      {"id", "started", "state", "members", "attempts", "outcomes"}};
  for (const CampaignRow& c : campaigns)
    rows.push_back({std::to_string(c.id), solar_time_text(c.started_ms),
                    std::string(campaign::state_token(c.state)), std::to_string(c.members),
                    std::to_string(c.attempts), outcome_counts(c)});
  return aligned_table(rows, {Align::Right, Align::Left, Align::Left, Align::Right, Align::Right,
                              Align::Left});
}

std::string attempts_table(const CampaignRow& c, const std::vector<AttemptRow>& attempts) {
  std::string out = "campaign " + std::to_string(c.id) + "  " + solar_time_text(c.started_ms) +
                    "  " + std::string(campaign::state_token(c.state)) + "  members " +
                    std::to_string(c.members) + "  attempts " + std::to_string(c.attempts);
  if (!c.chosen.empty()) out += "  " + terminal_safe(c.chosen);
  out += "\n\n";
  std::vector<std::vector<std::string>> rows(1);
  std::vector<Align> align;
  for (std::size_t column : kTableColumns) {
    rows[0].emplace_back(kReportColumns[column].key);
    align.push_back(kReportColumns[column].kind == CellKind::Text ? Align::Left : Align::Right);
  }
  for (const AttemptRow& attempt : attempts) {
    const ReportRow cells = report_row(attempt);
    auto& row = rows.emplace_back();
    for (std::size_t column : kTableColumns) row.push_back(terminal_safe(cells[column]));
  }
  return out + aligned_table(rows, align);
}

}  // namespace orvexa::records
