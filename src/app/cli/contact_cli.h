// What the contact-data subcommands share: opening the store and reporting its messages.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/data/contact_store.h"

namespace orvexa::cli {

// The program folder's database, or nullptr after the reason went to standard error.
inline std::unique_ptr<data::ContactStore> open_contacts(CliContext& context) {
  auto store = std::make_unique<data::ContactStore>(context.program_folder);
  auto opened = store->open();
  if (!opened.ok) {
    context.streams.err << opened.message << '\n';
    return nullptr;
  }
  return store;
}

// Messages to standard output when the operation did what was asked, else to standard error.
inline int report(CliContext& context, bool ok, const std::vector<std::string>& messages,
                  const std::string& detail = {}) {
  std::ostream& out = ok ? context.streams.out : context.streams.err;
  for (const auto& message : messages) out << message << '\n';
  if (!ok && !detail.empty()) context.streams.err << "(" << detail << ")\n";
  return ok ? kExitDone : kExitFailed;
}

}  // namespace orvexa::cli
