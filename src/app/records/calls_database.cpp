#include "app/records/calls_database.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/records/calls_schema.h"
#include "platform/host/atomic_file.h"
#include "platform/host/unique_fd.h"
#include "app/records/sqlite_statement.h"

namespace orvexa::records {

using campaign::CampaignState;
using campaign::MemberProgress;

namespace {

std::string complaint(const std::filesystem::path& file, sqlite3* db) {
  return file.string() + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

// Members hold names and numbers: the file is the owner's alone from its first byte, and
// SQLite gives its journal files the same mode.
bool create_private(const std::filesystem::path& file, std::string& error) {
  const host::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                 host::kSecretFileMode.create));
  if (fd || errno == EEXIST) return true;
  error = file.string() + ": " + std::strerror(errno);
  return false;
}

constexpr const char* kCampaignColumns =
    "SELECT id, started_ms, ended_ms, choice, chosen, filter, settings, opening_path, "
    "opening_seconds, opening_sha256, main_path, main_seconds, main_sha256, lines, state, "
    "(SELECT COUNT(*) FROM members m WHERE m.campaign = c.id), "
    "(SELECT COUNT(DISTINCT member) FROM attempts a WHERE a.campaign = c.id AND a.progress = 'done'), "
    "(SELECT COUNT(*) FROM attempts a WHERE a.campaign = c.id) FROM campaigns c ";

CampaignRow campaign_row(const Statement& q) {
  CampaignRow r;
  r.id = q.integer(0);
  r.started_ms = q.integer(1);
  r.ended_ms = q.maybe_integer(2);
  r.choice = campaign::choice_from_token(q.text(3)).value_or(campaign::CampaignChoice::OneNumber);
  r.chosen = q.text(4);
  r.filter = q.text(5);
  r.settings = q.text(6);
  r.opening = {q.text(7), q.real(8), q.text(9)};
  r.main = {q.text(10), q.real(11), q.text(12)};
  r.lines = q.text(13);
  r.state = campaign::state_from_token(q.text(14)).value_or(CampaignState::Interrupted);
  r.members = static_cast<int>(q.integer(15));
  r.members_done = static_cast<int>(q.integer(16));
  r.attempts = static_cast<int>(q.integer(17));
  return r;
}

void add_outcomes(sqlite3* db, std::vector<CampaignRow>& rows) {
  Statement q(db, "SELECT outcome, COUNT(*) FROM attempts WHERE campaign = ?1 AND outcome IS NOT NULL "
                  "GROUP BY outcome");
  for (auto& row : rows) {
    q.reset().bind(1, row.id);
    while (q.step() == SQLITE_ROW) {
      if (auto o = campaign::outcome_from_token(q.text(0))) row.outcomes[*o] = static_cast<int>(q.integer(1));
    }
  }
}

// The program that ran the campaign still runs (on this machine, since its last start).
bool owner_alive(std::int64_t pid, const std::string& boot) {
  if (boot != running_boot() || pid <= 0) return false;
  if (pid == ::getpid()) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string running_boot() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

CallsDatabase::Opened CallsDatabase::open(const std::filesystem::path& file) {
  Opened result;
  std::error_code ec;
  if (std::filesystem::exists(file, ec) && !std::filesystem::is_regular_file(file, ec)) {
    result.error_text = file.string() + ": not a regular file";
    return result;
  }
  if (!create_private(file, result.error_text)) return result;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<CallsDatabase> owner(new CallsDatabase(file, db));
  if (rc != SQLITE_OK) {
    result.error_text = complaint(file, db);
    return result;
  }
  sqlite3_busy_timeout(db, 5000);
  std::int64_t found = 0;
  {
    Statement version(db, "PRAGMA user_version");
    if (version.step() != SQLITE_ROW) {
      result.error_text = complaint(file, db);
      return result;
    }
    found = version.integer(0);
  }
  if (found > kSchemaVersion) {
    result.error_text = file.string() + ": written by a newer version of the program (schema " +
                        std::to_string(found) + ", this one knows " + std::to_string(kSchemaVersion) + ")";
    return result;
  }
  // WAL: a reader (the report page) never blocks the campaign; FULL: each call's record is on
  // the disk before the next dial, so not even a power cut loses it.
  if (!execute(db, "PRAGMA journal_mode=WAL") || !execute(db, "PRAGMA synchronous=FULL") ||
      !execute(db, "BEGIN IMMEDIATE") || (found == 1 && !execute(db, kCallsSchema2)) ||
      !execute(db, kCallsSchema) ||
      !execute(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str()) ||
      !execute(db, "COMMIT")) {
    result.error_text = complaint(file, db);
    execute(db, "ROLLBACK");
    return result;
  }
  result.db = std::move(owner);
  return result;
}

CallsDatabase::~CallsDatabase() { sqlite3_close_v2(db_); }

void CallsDatabase::simulated_calls_only() { execute(db_, "PRAGMA synchronous=NORMAL"); }

std::vector<CampaignRow> CallsDatabase::campaigns() {
  std::vector<CampaignRow> rows;
  Statement q(db_, std::string(kCampaignColumns) + "ORDER BY id DESC");
  while (q.step() == SQLITE_ROW) rows.push_back(campaign_row(q));
  add_outcomes(db_, rows);
  return rows;
}

std::optional<CampaignRow> CallsDatabase::campaign(std::int64_t id) {
  Statement q(db_, std::string(kCampaignColumns) + "WHERE id = ?1");
  q.bind(1, id);
  if (q.step() != SQLITE_ROW) return std::nullopt;
  std::vector<CampaignRow> rows{campaign_row(q)};
  add_outcomes(db_, rows);
  return rows.front();
}

std::vector<AttemptRow> CallsDatabase::attempts(std::int64_t campaign, const AttemptFilter& f) {
  Statement q(db_,
              "SELECT a.id, a.attempt, m.group_name, m.member_row, m.name, m.family, m.number, a.line, "
              "a.channel, a.dialled_ms, a.answered_ms, a.ended_ms, a.outcome, a.keys, a.opening_heard_s, "
              "a.main_heard_s, a.line_error, a.disconnect_mode, a.sip_status, a.reason "
              "FROM attempts a JOIN members m ON m.campaign = a.campaign AND m.position = a.member "
              "WHERE a.campaign = ?1 AND (?2 IS NULL OR a.dialled_ms >= ?2) AND (?3 IS NULL OR "
              "a.dialled_ms < ?3) AND (?4 IS NULL OR a.outcome = ?4) AND (?5 IS NULL OR m.group_name = ?5) "
              "AND (?6 IS NULL OR instr(m.number, ?6) > 0) ORDER BY a.id");
  std::optional<std::string_view> outcome;
  if (f.outcome) outcome = campaign::outcome_token(*f.outcome);
  q.bind(1, campaign).bind(2, f.from_ms).bind(3, f.until_ms).bind(4, outcome).bind(5, f.group).bind(6, f.number);
  std::vector<AttemptRow> rows;
  while (q.step() == SQLITE_ROW) {
    AttemptRow r;
    r.campaign = campaign;
    r.id = q.integer(0);
    r.attempt = static_cast<int>(q.integer(1));
    r.group = q.text(2);
    r.member_id = q.maybe_integer(3);
    r.name = q.text(4);
    r.family = q.text(5);
    r.number = q.text(6);
    r.line = static_cast<int>(q.integer(7));
    r.channel = static_cast<int>(q.integer(8));
    r.dialled_ms = q.integer(9);
    r.answered_ms = q.maybe_integer(10);
    r.ended_ms = q.maybe_integer(11);
    if (!q.null(12)) r.outcome = campaign::outcome_from_token(q.text(12));
    r.keys = q.text(13);
    r.opening_heard_s = q.real(14);
    r.main_heard_s = q.real(15);
    r.cause = campaign::CallCause{static_cast<int>(q.integer(16)), static_cast<unsigned>(q.integer(17)),
                                  static_cast<int>(q.integer(18)), q.text(19)}
                  .text();
    rows.push_back(std::move(r));
  }
  return rows;
}

bool CallsDatabase::mark(std::int64_t campaign, CampaignState state) {
  Statement q(db_, "UPDATE campaigns SET state = ?2 WHERE id = ?1");
  return q.bind(1, campaign).bind(2, campaign::state_token(state)).run();
}

void CallsDatabase::mark_abandoned() {
  std::vector<std::int64_t> dead;
  {
    Statement q(db_, "SELECT id, owner_pid, owner_boot FROM campaigns WHERE state = 'running'");
    while (q.step() == SQLITE_ROW) {
      if (!owner_alive(q.integer(1), q.text(2))) dead.push_back(q.integer(0));
    }
  }
  for (const auto id : dead) {
    execute(db_, "BEGIN IMMEDIATE");
    Statement calls(db_, "UPDATE attempts SET outcome = 'interrupted' WHERE campaign = ?1 AND outcome IS NULL");
    // (its progress stays unknown: the member's progress is its last ended call's)
    calls.bind(1, id).run();
    mark(id, CampaignState::Interrupted);
    execute(db_, "COMMIT");
  }
}

std::optional<std::int64_t> CallsDatabase::unfinished_campaign(bool stopped_too) {
  mark_abandoned();
  Statement q(db_,
              "SELECT id FROM campaigns WHERE state = 'interrupted' OR (?1 AND state = 'stopped') "
              "ORDER BY id DESC");
  q.bind(1, stopped_too ? 1 : 0);
  while (q.step() == SQLITE_ROW) {
    const auto row = campaign(q.integer(0));
    if (row && row->members_done < row->members) return row->id;
  }
  return std::nullopt;
}

std::optional<ResumePlan> CallsDatabase::resume_plan(std::int64_t id) {
  mark_abandoned();
  auto row = campaign(id);
  if (!row) return std::nullopt;
  ResumePlan plan{*row, {}};
  Statement q(db_,
              "SELECT group_name, gcode, member_row, name, family, number FROM members "
              "WHERE campaign = ?1 ORDER BY position");
  q.bind(1, id);
  while (q.step() == SQLITE_ROW) {
    plan.members.push_back(campaign::CampaignMember{q.text(0), q.text(1), q.maybe_integer(2), q.text(3),
                                                    q.text(4), q.text(5)});
  }
  // Each member's progress and count of calls that reached an end, from its attempts in order.
  Statement calls(db_, "SELECT member, progress, outcome, retry_at_ms FROM attempts WHERE campaign = ?1 AND "
                       "progress IS NOT NULL ORDER BY id");
  calls.bind(1, id);
  while (calls.step() == SQLITE_ROW) {
    const auto member = static_cast<std::size_t>(calls.integer(0));
    if (member >= plan.members.size()) continue;
    auto& m = plan.members[member];
    m.progress = campaign::progress_from_token(calls.text(1));
    if (calls.text(2) == "interrupted") continue;  // keeps the due time the call before left
    ++m.attempts;
    m.retry_at.reset();
    if (const auto at = calls.maybe_integer(3)) m.retry_at = messaging::WallTime(std::chrono::milliseconds(*at));
  }
  return plan;
}

std::vector<campaign::PlannedGroup> plan_groups(std::vector<campaign::CampaignMember> members) {
  std::vector<campaign::PlannedGroup> plan;
  for (auto& m : members) {
    if (plan.empty() || plan.back().row.gcode != m.gcode || plan.back().row.gname != m.group_name)
      plan.push_back({{m.group_name, m.gcode}, {}, std::nullopt});
    plan.back().members.push_back(std::move(m));
  }
  return plan;
}

}  // namespace orvexa::records
