// The campaign store: "calls.db" in the program folder, an SQLite file of its own (the contact
// database keeps its schema). Campaigns, the members each was started with, and one row per
// attempt, written before the dial and completed when the call ends.
//
//   auto db = CallsDatabase::open(folder / kCallsFile);
//   if (!db) { std::cerr << db.error() << '\n'; ... }
//   for (const CampaignRow& c : db->campaigns()) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/campaign/call_record.h"

struct sqlite3;

namespace orvexa::records {

inline constexpr const char* kCallsFile = "calls.db";
inline constexpr int kSchemaVersion = 2;

struct CampaignRow {
  std::int64_t id = 0;
  std::int64_t started_ms = 0;  // milliseconds since the epoch, UTC
  std::optional<std::int64_t> ended_ms;
  campaign::CampaignChoice choice = campaign::CampaignChoice::OneNumber;
  std::string chosen;   // number or group name
  std::string filter;   // "birthday 05/12", empty without a filter
  std::string settings;
  campaign::MessageFacts opening, main;
  std::string lines;    // one line per line used
  campaign::CampaignState state = campaign::CampaignState::Running;
  int members = 0;
  int members_done = 0;
  int attempts = 0;
  std::map<campaign::Outcome, int> outcomes;  // attempts per outcome (ended attempts only)
};

// One attempt joined with its member, as reports show it.
struct AttemptRow {
  std::int64_t campaign = 0;
  std::int64_t id = 0;  // the attempt's own key, in dial order
  int attempt = 1;      // the member's first or second attempt
  std::string group;
  std::optional<std::int64_t> member_id;
  std::string name, family, number;
  int line = 0;
  int channel = 0;
  std::int64_t dialled_ms = 0;
  std::optional<std::int64_t> answered_ms;
  std::optional<std::int64_t> ended_ms;
  std::optional<campaign::Outcome> outcome;  // none while the call is in progress
  std::string keys;
  double opening_heard_s = 0;
  double main_heard_s = 0;
  std::string cause;
};

// Which attempts a report shows; every field left empty shows all.
struct AttemptFilter {
  std::optional<std::int64_t> from_ms, until_ms;  // dial time, until exclusive
  std::optional<campaign::Outcome> outcome;
  std::optional<std::string> group;
  std::optional<std::string> number;  // a part of the number
};

// A campaign to continue, with each member's progress.
struct ResumePlan {
  CampaignRow campaign;
  std::vector<campaign::CampaignMember> members;
};

class CallsDatabase {
 public:
  // The store at `file`, created when missing. A file that is not a database, or whose schema
  // is newer than this program's, gives an error that names the file.
  struct Opened;
  static Opened open(const std::filesystem::path& file);

  CallsDatabase(const CallsDatabase&) = delete;
  CallsDatabase& operator=(const CallsDatabase&) = delete;
  ~CallsDatabase();

  const std::filesystem::path& file() const { return file_; }
  // For campaigns on the manual clock, where no real call waits on the disk: records survive a
  // killed process but not a power cut (no sync at every commit).
  void simulated_calls_only();
  sqlite3* handle() const { return db_; }

  // Newest first.
  std::vector<CampaignRow> campaigns();
  std::optional<CampaignRow> campaign(std::int64_t id);
  // In dial order.
  std::vector<AttemptRow> attempts(std::int64_t campaign, const AttemptFilter& filter = {});
  // Campaigns whose program is gone while they were running are marked interrupted, their
  // open attempts too. Returns the newest interrupted campaign (or stopped one, when asked) that
  // still has members to call.
  std::optional<std::int64_t> unfinished_campaign(bool stopped_too = false);
  std::optional<ResumePlan> resume_plan(std::int64_t campaign);
  // The operator's word on a campaign (declining to continue it marks it stopped).
  bool mark(std::int64_t campaign, campaign::CampaignState state);

 private:
  friend class StoreRecorder;
  void mark_abandoned();
  CallsDatabase(std::filesystem::path file, sqlite3* db) : file_(std::move(file)), db_(db) {}
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
};

struct CallsDatabase::Opened {
  std::unique_ptr<CallsDatabase> db;
  std::string error_text;
  explicit operator bool() const { return db != nullptr; }
  CallsDatabase* operator->() const { return db.get(); }
  const std::string& error() const { return error_text; }
};

// This boot of the machine: with the process id, who runs a campaign.
std::string running_boot();

// A resumed campaign's members back into groups, in their order.
std::vector<campaign::PlannedGroup> plan_groups(std::vector<campaign::CampaignMember> members);

}  // namespace orvexa::records
