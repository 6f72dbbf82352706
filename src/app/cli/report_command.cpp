// `orvexa campaigns` and `orvexa report [ID|--last] [--csv FILE | --xlsx FILE | --json]`: the
// campaigns of the calls database, and one campaign's attempts for the terminal or as a file an
// office can hand on.
#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <ostream>

#include "app/cli/cli.h"
#include "app/records/calls_database.h"
#include "app/records/csv_report.h"
#include "app/records/json_report.h"
#include "app/records/table_report.h"
#include "app/records/xlsx_report.h"

namespace orvexa::cli {
namespace {

constexpr const char* kNoCampaigns = "no campaigns yet";

struct ReportOptions {
  std::optional<std::int64_t> id;
  bool last = false;
  std::optional<std::string> csv, xlsx;
  bool json = false;
};

// The program folder's calls database; nullptr when there is none (a report never creates it)
// or when it cannot be opened, which `failed` then tells apart.
std::unique_ptr<records::CallsDatabase> open_calls(CliContext& context, bool& failed) {
  const auto file = context.program_folder / records::kCallsFile;
  failed = false;
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return nullptr;
  auto opened = records::CallsDatabase::open(file);
  if (!opened) {
    context.streams.err << opened.error() << '\n';
    failed = true;
  }
  return std::move(opened.db);
}

int list_campaigns(CliContext& context) {
  bool failed = false;
  auto db = open_calls(context, failed);
  if (failed) return kExitFailed;
  const auto campaigns = db ? db->campaigns() : std::vector<records::CampaignRow>{};
  if (campaigns.empty()) context.streams.out << kNoCampaigns << '\n';
  else context.streams.out << records::campaigns_table(campaigns);
  return kExitDone;
}

std::optional<records::CampaignRow> chosen_campaign(CliContext& context,
                                                    records::CallsDatabase& db,
                                                    const ReportOptions& options) {
  if (!options.id) {
    auto campaigns = db.campaigns();
    if (!campaigns.empty()) return campaigns.front();
    context.streams.err << kNoCampaigns << '\n';
    return std::nullopt;
  }
  auto campaign = db.campaign(*options.id);
  if (!campaign) context.streams.err << "orvexa report: no campaign " << *options.id << '\n';
  return campaign;
}

int written(CliContext& context, const std::optional<std::string>& problem, std::size_t rows,
            const std::string& file) {
  if (problem) {
    context.streams.err << "orvexa report: " << *problem << '\n';
    return kExitFailed;
  }
  context.streams.out << rows << " attempts written to " << file << '\n';
  return kExitDone;
}

int report(CliContext& context, const ReportOptions& options) {
  bool failed = false;
  auto db = open_calls(context, failed);
  if (failed) return kExitFailed;
  if (!db) {
    context.streams.err << kNoCampaigns << '\n';
    return kExitFailed;
  }
  auto campaign = chosen_campaign(context, *db, options);
  if (!campaign) return kExitFailed;
  const auto attempts = db->attempts(campaign->id);
  if (options.csv)
    return written(context, records::write_csv_report(*options.csv, attempts), attempts.size(),
                   *options.csv);
  if (options.xlsx)
    return written(context, records::write_xlsx_report(*options.xlsx, *campaign, attempts),
                   attempts.size(), *options.xlsx);
  if (options.json) context.streams.out << records::json_report(attempts);
  else context.streams.out << records::attempts_table(*campaign, attempts);
  return kExitDone;
}

}  // namespace

void register_report_command(CLI::App& app, CommandSet& commands) {
  commands.add(app, "campaigns",
               "Each campaign: start, state, members, attempts and outcomes, newest first",
               [](CliContext& context) { return list_campaigns(context); });
  auto o = std::make_shared<ReportOptions>();
  CLI::App* cmd = commands.add(app, "report", "One campaign's attempts (default: the last one)",
                               [o](CliContext& context) { return report(context, *o); });
  auto* id = cmd->add_option("id", o->id, "Campaign number, as `orvexa campaigns` lists it");
  auto* last = cmd->add_flag("--last", o->last, "The newest campaign (the default)");
  auto* csv = cmd->add_option("--csv", o->csv, "Write a CSV file (UTF-8) instead");
  auto* xlsx = cmd->add_option("--xlsx", o->xlsx, "Write an Excel workbook instead");
  auto* json = cmd->add_flag("--json", o->json, "Print the attempts as JSON");
  id->excludes(last);
  csv->excludes(xlsx)->excludes(json);
  xlsx->excludes(json);
}

}  // namespace orvexa::cli
