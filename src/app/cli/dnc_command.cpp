// `orvexa dnc list|add|remove|import`: the do-not-call list in calls.db, which campaigns pass over.
#include <CLI/CLI.hpp>

#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

#include "app/cli/cli.h"
#include "app/data/solar_date.h"
#include "app/records/calls_database.h"
#include "app/records/dnc_list.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {

namespace {

struct DncArguments {
  std::string number, reason, file;
};

// Runs `use` with the list of the program folder's calls.db (created when missing).
int with_list(CliContext& c, const std::function<int(records::DncList&)>& use) {
  auto opened = records::CallsDatabase::open(c.program_folder / records::kCallsFile);
  if (!opened) {
    c.streams.err << opened.error() << '\n';
    return kExitFailed;
  }
  messaging::SteadyClock clock;
  records::DncList list(*opened.db, clock);
  return use(list);
}

int list_numbers(CliContext& c) {
  return with_list(c, [&](records::DncList& list) {
    const auto entries = list.entries();
    if (entries.empty()) c.streams.out << "the do-not-call list is empty\n";
    for (const auto& e : entries) {
      const auto added = messaging::WallTime(std::chrono::milliseconds(e.added_ms));
      c.streams.out << e.number << "  " << data::solar_on(added).text() << "  " << e.reason << '\n';
    }
    return kExitDone;
  });
}

int add_number(CliContext& c, const DncArguments& a) {
  return with_list(c, [&](records::DncList& list) {
    if (!list.normalise(a.number)) {
      c.streams.err << "orvexa dnc add: not a telephone number: " << a.number << '\n';
      return kExitBadArguments;
    }
    if (!list.add(a.number, a.reason)) {
      c.streams.err << "orvexa dnc add: the list could not be written\n";
      return kExitFailed;
    }
    c.streams.out << *list.normalise(a.number) << " is on the do-not-call list\n";
    return kExitDone;
  });
}

int remove_number(CliContext& c, const DncArguments& a) {
  return with_list(c, [&](records::DncList& list) {
    if (!list.remove(a.number)) {
      c.streams.err << "orvexa dnc remove: " << a.number << " is not on the list\n";
      return kExitFailed;
    }
    c.streams.out << *list.normalise(a.number) << " is off the do-not-call list\n";
    return kExitDone;
  });
}

int import_numbers(CliContext& c, const DncArguments& a) {
  std::ifstream in(a.file, std::ios::binary);
  if (!in) {
    c.streams.err << "orvexa dnc import: cannot read " << a.file << '\n';
    return kExitFailed;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return with_list(c, [&](records::DncList& list) {
    const auto result = list.import(text, a.reason.empty() ? "import" : a.reason);
    for (const auto& r : result.refused) c.streams.err << a.file << ": " << r << '\n';
    c.streams.out << result.added << " added, " << result.already << " already listed, "
                  << result.refused.size() << " refused\n";
    return result.refused.empty() ? kExitDone : kExitFailed;
  });
}

}  // namespace

void register_dnc_command(CLI::App& app, CommandSet& commands) {
  CLI::App* dnc = app.add_subcommand("dnc", "The do-not-call list: numbers campaigns never call");
  dnc->require_subcommand(1);
  auto a = std::make_shared<DncArguments>();
  commands.add(*dnc, "list", "Each listed number, when it was added and why",
               [](CliContext& c) { return list_numbers(c); });
  CLI::App* add = commands.add(*dnc, "add", "List a number", [a](CliContext& c) { return add_number(c, *a); });
  add->add_option("number", a->number, "Telephone number")->required();
  add->add_option("--reason", a->reason, "Why (kept with the number)");
  CLI::App* remove =
      commands.add(*dnc, "remove", "Take a number off the list", [a](CliContext& c) { return remove_number(c, *a); });
  remove->add_option("number", a->number, "Telephone number")->required();
  CLI::App* import = commands.add(*dnc, "import", "List every number of a text file (one per line)",
                                  [a](CliContext& c) { return import_numbers(c, *a); });
  import->add_option("file", a->file, "UTF-8 text, one number per line; # starts a comment line")->required();
  import->add_option("--reason", a->reason, "Why (default: import)");
}

}  // namespace orvexa::cli
