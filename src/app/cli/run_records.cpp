#include "app/cli/run_records.h"

#include <ostream>

#include "app/records/holiday_store.h"

namespace orvexa::campaign {

bool RunRecords::open(const std::filesystem::path& folder, const HeadlessOptions& options,
                      const messaging::Clock& clock, std::ostream& err) {
  if (!options.record) {
    err << "not recording: this campaign leaves no record in " << records::kCallsFile << '\n';
    return !options.resume;
  }
  auto opened = records::CallsDatabase::open(folder / records::kCallsFile);
  if (!opened) {
    err << opened.error() << "\nthe campaign is not started; --no-record runs it without a record\n";
    return false;
  }
  db_ = std::move(opened.db);
  if (options.fast) db_->simulated_calls_only();
  recorder_ = std::make_unique<records::StoreRecorder>(*db_, clock);
  if (options.on_recorded) recorder_->on_begun(options.on_recorded);
  dnc_ = std::make_unique<records::DncList>(*db_, clock);
  return true;
}

data::HolidayChanges RunRecords::holiday_changes() {
  if (!db_) return {};
  messaging::SteadyClock clock;  // stamps the changes a store writes; reading them needs none
  return records::HolidayStore(*db_, clock).changes();
}

std::optional<ResumeRequest> RunRecords::resume(const HeadlessOptions& options, MessagePaths& paths,
                                                PreCallSettings& settings, std::ostream& err) {
  if (!db_) return std::nullopt;
  const auto id = options.resume_id ? options.resume_id : db_->unfinished_campaign(true);
  auto plan = id ? db_->resume_plan(*id) : std::nullopt;
  if (!plan) {
    err << (id ? "no campaign " + std::to_string(*id) : std::string("no unfinished campaign")) << " in "
        << db_->file().string() << '\n';
    return std::nullopt;
  }
  if (plan->campaign.state == CampaignState::Running) {
    err << "campaign " << *id << " is running in another program\n";
    return std::nullopt;
  }
  if (!recorder_->reopen(*id)) {
    err << recorder_->problem() << '\n';
    return std::nullopt;
  }
  // The campaign goes on with the messages it started with, unless new ones are named.
  if (!options.opening) paths.opening = plan->campaign.opening.path;
  if (!options.main) paths.main = plan->campaign.main.path;
  settings = settings_from_text(plan->campaign.settings, settings);
  return ResumeRequest{*id, plan->campaign.choice, records::plan_groups(std::move(plan->members))};
}

bool RunRecords::report(const std::filesystem::path& log_file, std::ostream& out) {
  if (!recorder_ || !recorder_->campaign_id()) return true;
  const auto id = *recorder_->campaign_id();
  const auto row = db_->campaign(id);
  if (!row) return true;
  out << outcome_line(id, row->outcomes) << '\n';
  out << "status log: " << log_file.string() << '\n';
  out << "report: orvexa report " << id << " (" << db_->file().string() << ")\n";
  int placed = 0, tried = 0;
  for (const auto& [outcome, count] : row->outcomes) {
    if (outcome == Outcome::Interrupted || outcome == Outcome::SkippedDnc) continue;
    tried += count;
    if (outcome != Outcome::Failed && outcome != Outcome::Unreachable) placed += count;
  }
  return tried == 0 || placed > 0;
}

}  // namespace orvexa::campaign
