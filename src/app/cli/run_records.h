// The headless campaign's records: calls.db opened (or not, with --no-record), the recorder the
// engine writes to, the campaign a --resume continues, and the closing lines of a run.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>

#include "app/campaign/campaign_engine.h"
#include "app/cli/headless_runner.h"
#include "app/records/calls_database.h"
#include "app/data/holidays.h"
#include "app/records/dnc_list.h"
#include "app/records/store_recorder.h"

namespace orvexa::campaign {

class RunRecords {
 public:
  // False, with the reason on `err`, when calls.db cannot be used and recording was asked for.
  bool open(const std::filesystem::path& folder, const HeadlessOptions& options,
            const messaging::Clock& clock, std::ostream& err);
  CampaignRecorder* recorder() { return recorder_.get(); }
  // The do-not-call list; none without calls.db (every number is then called).
  DoNotCall* dnc() { return dnc_.get(); }
  // The operator's holiday changes; none without calls.db (the shipped holidays alone).
  data::HolidayChanges holiday_changes();

  // The campaign --resume continues, with its recorded messages and settings; nullopt (the
  // reason on `err`) when there is none.
  std::optional<ResumeRequest> resume(const HeadlessOptions& options, MessagePaths& paths,
                                      PreCallSettings& settings, std::ostream& err);

  // The outcome line and where the log and the report are. False when the campaign had calls
  // to make and not one of them reached the network.
  bool report(const std::filesystem::path& log_file, std::ostream& out);

 private:
  std::unique_ptr<records::CallsDatabase> db_;
  std::unique_ptr<records::StoreRecorder> recorder_;
  std::unique_ptr<records::DncList> dnc_;
};

}  // namespace orvexa::campaign
