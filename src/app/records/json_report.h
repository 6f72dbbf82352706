// A campaign's attempts as JSON for other programs: an array of objects with the CSV's keys;
// integers and seconds are numbers (null when unknown), everything else is a string.
//
//   std::cout << json_report(db->attempts(id));
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/records/calls_database.h"

namespace orvexa::records {

std::string json_report(const std::vector<AttemptRow>& attempts);

// `text` as a JSON string with its quotes: quotes, backslashes and control characters escaped,
// ill-formed UTF-8 replaced by U+FFFD so that the document stays valid.
void append_json_string(std::string& out, std::string_view text);

}  // namespace orvexa::records
