// A campaign as an Excel workbook: the sheet "attempts" with the CSV's columns and the Persian
// label of each outcome beside its token, right to left, the header bold and frozen; member ids,
// numbers and keys are text cells, so "0912..." keeps its zero. The sheet "campaign" sums it up.
//
//   if (auto problem = write_xlsx_report(path, *campaign, db->attempts(id))) std::cerr << *problem;
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/records/calls_database.h"

namespace orvexa::records {

// The workbook whole or not at all (written beside `path`, then renamed over it), readable by
// its owner only; the problem, naming the file, when it could not be written.
std::optional<std::string> write_xlsx_report(const std::filesystem::path& path,
                                             const CampaignRow& campaign,
                                             const std::vector<AttemptRow>& attempts);

}  // namespace orvexa::records
