#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/cli.h"

namespace orvexa::cli {
namespace {

namespace fs = std::filesystem;

class DataCliTest : public ::testing::Test {
 protected:
  DataCliTest() {
    std::string pattern = (fs::temp_directory_path() / "orvexa-cli-XXXXXX").string();
    home = mkdtemp(pattern.data());
  }
  ~DataCliTest() override { fs::remove_all(home); }

  struct Run {
    int code;
    std::string out, err;
  };
  Run run(std::vector<std::string> args, const std::string& input = "") {
    std::ostringstream out, err;
    std::istringstream in(input);
    args.insert(args.begin(), {"orvexa", "--home", home.string()});
    const int code = run_cli(args, {out, err, in}).exit_code;
    return {code, out.str(), err.str()};
  }

  fs::path home;
};

TEST_F(DataCliTest, SolarDates) {
  struct Case {
    std::string date;
    int code;
    std::string out;
  };
  const Case cases[] = {{"2024-03-20", kExitDone, "1403/01/01\n"},
                        {"2029-03-20", kExitDone, "1408/01/01\n"},
                        {"2023-02-29", kExitFailed, ""},
                        {"tomorrow", kExitFailed, ""}};
  for (const Case& c : cases) {
    Run r = run({"solar", c.date});
    EXPECT_EQ(r.code, c.code) << c.date;
    EXPECT_EQ(r.out, c.out) << c.date;
  }
  Run today = run({"solar"});
  EXPECT_EQ(today.code, kExitDone);
  EXPECT_EQ(today.out.size(), 11u) << today.out;
}

TEST_F(DataCliTest, GroupsMembersAndTheFilter) {
  struct Step {
    std::vector<std::string> args;
    int code;
    std::string out;  // expected standard output ("" when checked elsewhere)
  };
  const Step steps[] = {
      {{"group", "add", "friends"}, kExitDone, "گروه جديد ثبت گرديد\n"},
      {{"group", "add", "friends"}, kExitFailed, ""},
      {{"member", "add", "--group", "friends", "--phone", "۰۹۱۲ ۱۱۱ ۲۲۲۲", "--name", "Ali",
        "--birthday", "03/05", "--instalment", "01/01", "--instalment", "05/12", "--last-instalment",
        "9999/12/29"},
       kExitDone, "اطلاعات ثبت گرديد\n"},
      {{"member", "add", "--group", "friends", "--phone", "+98 935 444 5555", "--local",
        "--birthday", "3/5"},
       kExitDone, "اطلاعات ثبت گرديد\n"},
      {{"member", "add", "--group", "friends", "--phone", "0912-ABC"}, kExitFailed, ""},
      {{"member", "add", "--group", "friends", "--phone", "0912-ABC", "--as-typed"}, kExitDone,
       "اطلاعات ثبت گرديد\n"},
      {{"member", "add", "--group", "nobody", "--phone", "09354445555"}, kExitFailed, ""},
      {{"member", "add", "--group", "friends", "--phone", "0935", "--birthday", "0305"},
       kExitBadArguments, ""},
      {{"group", "list"}, kExitDone, "friends\t3\n"},
      {{"member", "list", "--group", "friends", "--filter", "birthday", "--date", "3/5"}, kExitDone,
       "1\t09121112222\tAli\t\n"},
      {{"member", "list", "--group", "friends", "--filter", "instalments", "--date", "05/12"},
       kExitDone, "1\t09121112222\tAli\t\n"},
      {{"member", "list", "--group", "friends", "--filter", "birthday", "--date", "07/31"},
       kExitFailed, ""},
      {{"group", "drop", "friends"}, kExitFailed, ""},  // not confirmed
      {{"group", "drop", "friends", "--yes"}, kExitDone, "گروه انتخاب شده حذف گرديد\n"},
      {{"group", "list"}, kExitDone, ""},
  };
  for (const Step& step : steps) {
    Run r = run(step.args);
    std::string joined;
    for (const auto& a : step.args) joined += a + " ";
    EXPECT_EQ(r.code, step.code) << joined << r.err;
    EXPECT_EQ(r.out, step.out) << joined;
  }
}

TEST_F(DataCliTest, ImportExportBackupRestore) {
  ASSERT_EQ(run({"group", "add", "g"}).code, kExitDone);
  const fs::path csv = home / "in.csv";
  std::ofstream(csv) << "name,phone,tart\nA,+98 912 111 2222,03/05\nB,,\nC,0912-333,\n";
  Run imported = run({"member", "import", "--group", "g", csv.string(), "--local"});
  EXPECT_EQ(imported.code, kExitDone) << imported.err;
  EXPECT_EQ(imported.out, "added 2, skipped 1\n");
  EXPECT_NE(imported.err.find("in.csv:3: no usable telephone number"), std::string::npos)
      << imported.err;

  Run exported = run({"member", "export", "--group", "g"});
  EXPECT_EQ(exported.code, kExitDone);
  EXPECT_NE(exported.out.find("\n1,A,,,,09121112222,03/05,"), std::string::npos) << exported.out;
  EXPECT_NE(exported.out.find("\n2,C,,,,0912333,/,"), std::string::npos) << exported.out;

  const fs::path chosen = home / "bk";
  fs::create_directory(chosen);
  Run backup = run({"backup", chosen.string()});
  EXPECT_EQ(backup.code, kExitDone) << backup.err;
  EXPECT_TRUE(fs::exists(chosen / "Orvexa Backup" / "OrvexaBack.cfg"));
  ASSERT_EQ(run({"group", "add", "after"}).code, kExitDone);
  EXPECT_EQ(run({"restore", chosen.string()}).code, kExitFailed);  // the folder above
  Run restore = run({"restore", (chosen / "Orvexa Backup").string()});
  EXPECT_EQ(restore.code, kExitDone) << restore.err;
  EXPECT_EQ(run({"group", "list"}).out, "g\t2\n");
}

TEST_F(DataCliTest, PasswordSetAndRemove) {
  if (fs::exists("/etc/orvexa")) GTEST_SKIP() << "a system password folder exists here";
  EXPECT_EQ(run({"password", "set"}, "12\n13\n").code, kExitFailed);
  EXPECT_EQ(run({"password", "set"}, "1234\n").code, kExitDone);
  std::ifstream file(home / "kms32.dll");
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(content.starts_with("$argon2id$")) << content;
  EXPECT_EQ(run({"password", "remove"}).code, kExitDone);
  EXPECT_FALSE(fs::exists(home / "kms32.dll"));
}

}  // namespace
}  // namespace orvexa::cli
