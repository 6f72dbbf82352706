// The calls database's own duties: refusing files it cannot trust, keeping members' data to its
// owner, and finding the campaigns whose program died.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "app/records/calls_database.h"
#include "app/records/calls_schema.h"
#include "app/records/store_recorder.h"
#include "platform/messaging/clock.h"

namespace orvexa::records {
namespace {

namespace fs = std::filesystem;
using campaign::CampaignState;
using campaign::MemberProgress;

struct Folder {
  fs::path path = fs::temp_directory_path() / ("orvexa-calls-" + std::to_string(::getpid()));
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  fs::path file() const { return path / kCallsFile; }
};

void sql(const fs::path& file, const char* text) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, text, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(CallsDatabase, FilesItCannotTrustAreRefusedByName) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* complaint;
  };
  const Case cases[] = {
      {"text", [](const fs::path& f) { std::ofstream(f) << "name,number\nAli,0912\n" << std::string(4096, 'x'); },
       "not a database"},
      {"newer schema", [](const fs::path& f) { sql(f, "PRAGMA user_version=7"); }, "newer version"},
      {"folder", [](const fs::path& f) { fs::create_directories(f); }, "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Folder f;
    c.make(f.file());
    const auto opened = CallsDatabase::open(f.file());
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.error().find(f.file().string()), std::string::npos) << opened.error();
    EXPECT_NE(opened.error().find(c.complaint), std::string::npos) << opened.error();
  }
}

TEST(CallsDatabase, IsTheOwnersAloneAndOpensAgain) {
  Folder f;
  ASSERT_TRUE(CallsDatabase::open(f.file()));
  struct stat st {};
  ASSERT_EQ(::stat(f.file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const auto again = CallsDatabase::open(f.file());
  ASSERT_TRUE(again) << again.error();
  EXPECT_TRUE(again->campaigns().empty());
}

// A campaign as a program that then died leaves it: an attempt begun, never ended.
std::int64_t begun_campaign(CallsDatabase& db, const messaging::Clock& clock) {
  StoreRecorder recorder(db, clock);
  std::vector<campaign::CampaignMember> members(3);
  for (std::size_t i = 0; i < members.size(); ++i) members[i].number = "10" + std::to_string(i);
  EXPECT_TRUE(recorder.begin({}, members));
  EXPECT_TRUE(recorder.attempt_started({0, 1, 0, 0, clock.wall_now()}));
  EXPECT_TRUE(recorder.attempt_ended({campaign::Outcome::HeardMain, clock.wall_now(), clock.wall_now()},
                                     MemberProgress::Done));
  EXPECT_TRUE(recorder.attempt_started({1, 1, 0, 0, clock.wall_now()}));
  return *recorder.campaign_id();
}

TEST(CallsDatabase, ACampaignWhoseProgramDiedIsInterruptedAndResumable) {
  Folder f;
  messaging::ManualClock clock;
  auto db = CallsDatabase::open(f.file());
  ASSERT_TRUE(db);
  const auto id = begun_campaign(*db.db, clock);
  EXPECT_FALSE(db->unfinished_campaign()) << "its program (this one) still runs";
  // Another process's campaign, and that process is gone.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  sql(f.file(), ("UPDATE campaigns SET owner_pid = " + std::to_string(child)).c_str());
  EXPECT_EQ(db->unfinished_campaign(), id);
  const auto plan = db->resume_plan(id);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->campaign.state, CampaignState::Interrupted);
  ASSERT_EQ(plan->members.size(), 3u);
  EXPECT_EQ(plan->members[0].progress, MemberProgress::Done);
  EXPECT_EQ(plan->members[1].progress, MemberProgress::Pending) << "the call it was in reached nobody";
  const auto attempts = db->attempts(id);
  ASSERT_EQ(attempts.size(), 2u);
  EXPECT_EQ(attempts[1].outcome, campaign::Outcome::Interrupted);
  // Declining to continue it: not asked again, but still there to continue by its number.
  ASSERT_TRUE(db->mark(id, CampaignState::Stopped));
  EXPECT_FALSE(db->unfinished_campaign());
  EXPECT_EQ(db->unfinished_campaign(true), id);
}

// A file of schema 1 (before retries by outcome) opens as schema 2 with its campaigns kept, and
// a member's due time comes back from its latest ended attempt.
TEST(CallsDatabase, ASchemaOneFileGainsDueTimesAndKeepsItsCampaigns) {
  Folder f;
  std::string old_schema = kCallsSchema;
  const std::string column = "  retry_at_ms INTEGER,\n";
  old_schema.erase(old_schema.find(column), column.size());
  sql(f.file(), (old_schema + "PRAGMA user_version=1;").c_str());
  sql(f.file(), "INSERT INTO campaigns (started_ms, choice, chosen, filter, settings, opening_path, "
                "opening_seconds, opening_sha256, main_path, main_seconds, main_sha256, lines, state, owner_pid, "
                "owner_boot) VALUES (1, 'group', 'G', '', '', '', 0, '', '', 0, '', '', 'stopped', 1, 'x')");
  messaging::ManualClock clock;
  auto db = CallsDatabase::open(f.file());
  ASSERT_TRUE(db) << db.error();
  EXPECT_EQ(db->campaigns().size(), 1u);
  const auto id = begun_campaign(*db.db, clock);
  StoreRecorder recorder(*db.db, clock);
  ASSERT_TRUE(recorder.reopen(id));
  const auto due = clock.wall_now() + std::chrono::minutes(10);
  ASSERT_TRUE(recorder.attempt_started({2, 1, 0, 1, clock.wall_now()}));
  campaign::AttemptEnd busy{campaign::Outcome::Busy, std::nullopt, clock.wall_now()};
  busy.channel = 1;
  busy.retry_at = due;
  ASSERT_TRUE(recorder.attempt_ended(busy, MemberProgress::RetryDue)) << recorder.problem();
  const auto plan = db->resume_plan(id);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->members[2].progress, MemberProgress::RetryDue);
  ASSERT_TRUE(plan->members[2].retry_at.has_value());
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(*plan->members[2].retry_at - due).count(), 0);
  EXPECT_FALSE(plan->members[0].retry_at.has_value());
}

}  // namespace
}  // namespace orvexa::records
