// The member CSV importer on arbitrary bytes: no crash, every accepted row dialable, and what
// it exports reads back as the same rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/data/member_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvexa::data;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (bool local : {false, true}) {
    PreparedImport prepared = prepare_import(text, local);
    for (const Member& row : prepared.rows) {
      if (row.num.empty() || row.num.size() > 15) std::abort();
      if (row.num.find_first_not_of("+0123456789") != std::string::npos) std::abort();
    }
    if (prepared.rows.empty()) continue;
    PreparedImport again = prepare_import(export_csv(prepared.rows), false);
    if (!again.error.empty() || again.rows != prepared.rows) std::abort();
  }
  return 0;
}
