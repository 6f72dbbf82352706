// `orvexa campaigns` and `orvexa report` against a calls database the campaign recorder fills:
// the tables, the three exports, and a database that is missing, empty, not a database or newer.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <sstream>

#include "../data/temp_folder.h"
#include "../records/report_samples.h"
#include "app/cli/cli.h"
#include "app/records/calls_database.h"
#include "app/records/store_recorder.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {
namespace {

namespace fs = std::filesystem;
using namespace campaign;
using std::chrono::seconds;

messaging::WallTime at_ms(std::int64_t ms) {
  return messaging::WallTime(std::chrono::milliseconds(ms));
}

// Two members of one group: the first hears the main message, the second's line is busy.
void record_campaign(const fs::path& home, std::int64_t start_ms) {
  auto opened = records::CallsDatabase::open(home / records::kCallsFile);
  ASSERT_TRUE(opened) << opened.error();
  messaging::ManualClock clock(at_ms(start_ms));
  records::StoreRecorder recorder(*opened.db, clock);
  CampaignDescription description;
  description.choice = CampaignChoice::OneGroup;
  description.chosen = "فروش";
  std::vector<CampaignMember> members(2);
  members[0] = {"فروش", "1", 12, "Ali, \"Big\"", "رضایی", "09121234567"};
  members[1] = {"فروش", "1", 13, "Sara", "", "09350000000"};
  ASSERT_TRUE(recorder.begin(description, members)) << recorder.problem();
  const messaging::WallTime t = clock.wall_now();
  ASSERT_TRUE(recorder.attempt_started({0, 1, 0, 0, t + seconds(1)}));
  ASSERT_TRUE(recorder.attempt_ended(
      {Outcome::HeardMain, t + seconds(5), t + seconds(40), "1", 4.0, 30.0, {}},
      MemberProgress::Done));
  ASSERT_TRUE(recorder.attempt_started({1, 1, 0, 0, t + seconds(45)}));
  ASSERT_TRUE(recorder.attempt_ended(
      {Outcome::Busy, std::nullopt, t + seconds(50), "", 0, 0, {0, 0, 486, "Busy Here"}},
      MemberProgress::RetryDue));
  clock.advance(seconds(60));
  recorder.finish(CampaignState::Finished);
}

class ReportCommandTest : public ::testing::Test {
 protected:
  struct Run {
    int code;
    std::string out, err;
  };
  Run run(std::vector<std::string> args) {
    std::ostringstream out, err;
    std::istringstream in;
    args.insert(args.begin(), {"orvexa", "--home", home_.path().string()});
    const int code = run_cli(args, {out, err, in}).exit_code;
    return {code, out.str(), err.str()};
  }
  fs::path calls() const { return home_.path() / records::kCallsFile; }

  records::testing::TimeZone zone_{records::testing::kTehran};
  testing_support::TempFolder home_;
};

TEST_F(ReportCommandTest, CampaignsAndReportsOfARecordedDatabase) {
  record_campaign(home_.path(), records::testing::utc_ms(2026, 12, 10, 6, 50, 0));
  record_campaign(home_.path(), records::testing::utc_ms(2026, 12, 11, 5, 0, 0));

  Run campaigns = run({"campaigns"});
  EXPECT_EQ(campaigns.code, kExitDone) << campaigns.err;
  EXPECT_EQ(campaigns.out,
            "id  started              state     members  attempts  outcomes\n"
            " 2  1405/09/20 08:30:00  finished        2         2  heard-main 1, busy 1\n"
            " 1  1405/09/19 10:20:00  finished        2         2  heard-main 1, busy 1\n");

  Run last = run({"report"});
  EXPECT_EQ(last.code, kExitDone) << last.err;
  EXPECT_TRUE(last.out.starts_with("campaign 2  1405/09/20 08:30:00  finished")) << last.out;
  EXPECT_EQ(run({"report", "--last"}).out, last.out);
  Run first = run({"report", "1"});
  EXPECT_TRUE(first.out.starts_with("campaign 1  1405/09/19 10:20:00")) << first.out;
  EXPECT_NE(first.out.find("1405/09/19 10:20:01  فروش   Ali, \"Big\"  رضایی   09121234567"),
            std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("486 Busy Here"), std::string::npos) << first.out;

  Run missing = run({"report", "99"});
  EXPECT_EQ(missing.code, kExitFailed);
  EXPECT_EQ(missing.err, "orvexa report: no campaign 99\n");

  Run json = run({"report", "1", "--json"});
  ASSERT_EQ(json.code, kExitDone) << json.err;
  const QJsonArray attempts = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
  ASSERT_EQ(attempts.size(), 2);
  EXPECT_EQ(attempts[0].toObject()["number"].toString(), "09121234567");
  EXPECT_EQ(attempts[0].toObject()["name"].toString().toStdString(), "Ali, \"Big\"");
  EXPECT_DOUBLE_EQ(attempts[0].toObject()["answered_after_s"].toDouble(), 4.0);
  EXPECT_EQ(attempts[1].toObject()["outcome"].toString(), "busy");
  EXPECT_EQ(attempts[1].toObject()["cause"].toString(), "486 Busy Here");
}

TEST_F(ReportCommandTest, ExportsToFiles) {
  record_campaign(home_.path(), records::testing::utc_ms(2026, 12, 10, 6, 50, 0));
  const fs::path csv = home_.path() / "out.csv", xlsx = home_.path() / "out.xlsx";
  Run wrote_csv = run({"report", "--csv", csv.string()});
  EXPECT_EQ(wrote_csv.code, kExitDone) << wrote_csv.err;
  EXPECT_EQ(wrote_csv.out, "2 attempts written to " + csv.string() + "\n");
  const std::string text = testing_support::read_all(csv);
  EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF" "campaign,attempt,group,")) << text;
  EXPECT_NE(text.find("\"Ali, \"\"Big\"\"\",رضایی,09121234567"), std::string::npos) << text;

  Run wrote_xlsx = run({"report", "1", "--xlsx", xlsx.string()});
  EXPECT_EQ(wrote_xlsx.code, kExitDone) << wrote_xlsx.err;
  EXPECT_TRUE(testing_support::read_all(xlsx).starts_with("PK\x03\x04"));
  struct stat info {};
  ASSERT_EQ(::stat(xlsx.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  Run nowhere = run({"report", "--csv", (home_.path() / "none" / "r.csv").string()});
  EXPECT_EQ(nowhere.code, kExitFailed);
  EXPECT_NE(nowhere.err.find("none/r.csv"), std::string::npos) << nowhere.err;
}

TEST_F(ReportCommandTest, MissingEmptyBrokenAndNewerDatabases) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string out, err;  // err: a part of standard error
  };
  const Case no_file[] = {
      {"campaigns, no calls.db", {"campaigns"}, kExitDone, "no campaigns yet\n", ""},
      {"report, no calls.db", {"report"}, kExitFailed, "", "no campaigns yet"},
  };
  for (const Case& c : no_file) {
    Run r = run(c.args);
    EXPECT_EQ(r.code, c.code) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(calls())) << "a report must not create the database";

  ASSERT_TRUE(records::CallsDatabase::open(calls()));
  EXPECT_EQ(run({"campaigns"}).out, "no campaigns yet\n");
  EXPECT_EQ(run({"report"}).code, kExitFailed);

  {
    auto opened = records::CallsDatabase::open(calls());
    ASSERT_TRUE(opened);
    ASSERT_EQ(sqlite3_exec(opened.db->handle(), "PRAGMA user_version = 99", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
  }
  for (const char* command : {"campaigns", "report"}) {
    Run newer = run({command});
    EXPECT_EQ(newer.code, kExitFailed) << command;
    EXPECT_NE(newer.err.find(calls().string()), std::string::npos) << newer.err;
    EXPECT_NE(newer.err.find("newer"), std::string::npos) << newer.err;
  }

  testing_support::write_all(calls(), std::string(4096, 'x'));
  for (const char* command : {"campaigns", "report"}) {
    Run broken = run({command});
    EXPECT_EQ(broken.code, kExitFailed) << command;
    EXPECT_NE(broken.err.find(calls().string()), std::string::npos) << broken.err;
  }
}

TEST_F(ReportCommandTest, BadArgumentsExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"report", "1", "--last"},        {"report", "--csv", "a", "--xlsx", "b"},
      {"report", "--json", "--csv", "a"}, {"report", "--xlsx", "b", "--json"},
      {"report", "first"},             {"report", "--csv"},
      {"campaigns", "extra"}};
  for (const auto& args : cases) {
    Run r = run(args);
    EXPECT_EQ(r.code, kExitBadArguments) << args[0] << " " << args[1];
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace orvexa::cli
