// Reads calls.db for the report page on a thread of its own, so the window paints and answers
// while a campaign of 100,000 attempts is read (a few hundred milliseconds), and never waits for
// the write lock that opening the file takes while a campaign is writing. The thread keeps its
// own connection; a request still waiting when a newer one comes is dropped.
//
//   ReportReader reader([&](ReportAnswer a) { post_to_the_window(std::move(a)); });
//   reader.ask({.serial = 1, .kind = ReportAsk::Open, .file = folder / records::kCallsFile});
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main/report_figures.h"
#include "app/records/calls_database.h"

namespace orvexa::app {

enum class ReportAsk {
  Open,      // (re)opens the file and lists its campaigns
  Attempts,  // one campaign's attempts through a filter
  Close,     // lets the file go
};

struct ReportRequest {
  std::uint64_t serial = 0;  // handed back, so the asker knows which answer is the latest
  ReportAsk kind = ReportAsk::Open;
  std::filesystem::path file;  // Open
  std::int64_t campaign = 0;   // Attempts
  records::AttemptFilter filter;
};

enum class ReportProblem { None, Missing, Unreadable };

struct ReportAnswer {
  std::uint64_t serial = 0;
  ReportProblem problem = ReportProblem::None;
  std::string error;  // the store's words when Unreadable
  std::optional<std::vector<records::CampaignRow>> campaigns;  // Open only
  std::optional<std::int64_t> campaign;                        // whose attempts follow
  std::vector<records::AttemptRow> attempts;
  // Worked out here rather than on the window's thread.
  OutcomeTotals totals;
  std::vector<DayCounts> days;
  std::optional<std::vector<std::string>> groups;  // of an unfiltered list only
};

class ReportReader {
 public:
  // `deliver` runs on the reader's thread, once for every request that is not dropped.
  using Deliver = std::function<void(ReportAnswer)>;
  explicit ReportReader(Deliver deliver);
  // Waits for the request being read, if any; drops the one waiting.
  ~ReportReader();
  ReportReader(const ReportReader&) = delete;
  ReportReader& operator=(const ReportReader&) = delete;

  void ask(ReportRequest request);

 private:
  void run(std::stop_token stop);
  ReportAnswer answer(const ReportRequest& request);
  ReportAnswer open(const ReportRequest& request);
  void read_attempts(std::int64_t campaign, const records::AttemptFilter& filter, ReportAnswer& a);

  Deliver deliver_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::optional<ReportRequest> waiting_;
  std::unique_ptr<records::CallsDatabase> db_;  // used on the reader's thread only
  std::jthread thread_;                         // last: it starts once the rest exists
};

}  // namespace orvexa::app
