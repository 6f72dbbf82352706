// Campaigns and attempts as plain tables for the terminal: aligned columns, Persian as UTF-8.
//
//   std::cout << campaigns_table(db->campaigns());
//   std::cout << attempts_table(*campaign, db->attempts(id));
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/records/calls_database.h"

namespace orvexa::records {

enum class Align { Left, Right };

// Rows of cells (the first is the header) in columns as wide as their widest cell, two blanks
// apart, with no trailing blanks.
std::string aligned_table(const std::vector<std::vector<std::string>>& rows,
                          const std::vector<Align>& align);

// id, start (Solar date and local time), state, members, attempts and the count of each outcome.
std::string campaigns_table(const std::vector<CampaignRow>& campaigns);
// A line on the campaign, then one row per attempt.
std::string attempts_table(const CampaignRow& campaign, const std::vector<AttemptRow>& attempts);

// Columns `text` takes on a terminal: marks and joiners take none, East Asian wide characters two.
std::size_t display_width(std::string_view text);
// `text` safe to print: control characters (which could move the cursor or recolour the
// terminal) become blanks, ill-formed UTF-8 becomes U+FFFD.
std::string terminal_safe(std::string_view text);

}  // namespace orvexa::records
