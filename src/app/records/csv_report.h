// A campaign's attempts as CSV for spreadsheets and other programs: UTF-8 with a byte-order mark
// (so spreadsheets read Persian names as UTF-8), the columns of kReportColumns, RFC 4180 quoting
// and CRLF line ends.
//
//   if (auto problem = write_csv_report(path, db->attempts(id))) std::cerr << *problem;
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/records/calls_database.h"
#include "platform/host/atomic_file.h"

namespace orvexa::records {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The whole file: byte-order mark, header and one record per attempt.
std::string csv_report(const std::vector<AttemptRow>& attempts);

// A cell a spreadsheet would not evaluate. A text that begins with = + - @, a tab or a carriage
// return is taken as a formula by spreadsheets (which may call functions or other programs), so
// it gets a leading apostrophe; a cell made only of digits, blanks and + - * # , . stays as it
// is, because without letters, quotes or brackets it can call nothing, and telephone numbers
// such as "+98912..." must stay as they were dialled.
std::string spreadsheet_safe(std::string_view cell);

// One field as RFC 4180 writes it: in double quotes, inner quotes doubled, when it holds a comma,
// a quote, a CR or an LF; otherwise as it is.
void append_csv_field(std::string& out, std::string_view field);

// The file whole or not at all, readable by its owner only (it holds names and numbers); the
// problem, naming the file, when it could not be written.
std::optional<std::string> write_csv_report(const std::filesystem::path& path,
                                            const std::vector<AttemptRow>& attempts,
                                            host::FileFaults* faults = nullptr);

}  // namespace orvexa::records
