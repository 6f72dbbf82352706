// `orvexa holidays` against a program folder of its own: each edit as the list then shows it,
// refused dates named, and an import that names its bad line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/cli.h"

namespace orvexa::cli {
namespace {

namespace fs = std::filesystem;

class HolidaysCommandTest : public ::testing::Test {
 protected:
  HolidaysCommandTest() {
    std::string pattern = (fs::temp_directory_path() / "orvexa-holidays-XXXXXX").string();
    home = mkdtemp(pattern.data());
  }
  ~HolidaysCommandTest() override { fs::remove_all(home); }

  struct Run {
    int code;
    std::string out, err;
  };
  Run run(std::vector<std::string> args) {
    std::ostringstream out, err;
    std::istringstream in;
    args.insert(args.begin(), {"orvexa", "--home", home.string(), "holidays"});
    const int code = run_cli(args, {out, err, in}).exit_code;
    return {code, out.str(), err.str()};
  }
  bool listed(const std::string& line) {
    return run({"list", "--year", "1404"}).out.find(line + "\n") != std::string::npos;
  }

  fs::path home;
};

TEST_F(HolidaysCommandTest, EditsShowInTheList) {
  struct Step {
    std::vector<std::string> args;
    int code;
    std::string err;                  // a part of standard error; "" when it must be empty
    std::vector<std::string> listed;  // lines of `list --year 1404` after the step
    std::vector<std::string> gone;    // lines it no longer has
  };
  const std::string kGhadir = "1404/03/25  sunday  عید غدیر خم  estimate";
  const std::string kNature = "1404/01/13  wednesday  روز طبیعت  official";
  const Step steps[] = {
      {{"list", "--year", "1404"}, kExitDone, "", {kNature, kGhadir}, {}},
      {{"add", "1404/05/12", "تعطیلی اداره"}, kExitDone, "", {"1404/05/12  sunday  تعطیلی اداره  yours"}, {}},
      {{"add", "۱۴۰۴/۰۵/۱۳", "روز دوم"}, kExitDone, "", {"1404/05/13  monday  روز دوم  yours"}, {}},
      {{"remove", "1404/05/13"}, kExitDone, "", {}, {"1404/05/13  monday  روز دوم  yours"}},
      {{"remove", "1404/01/13"}, kExitDone, "", {}, {kNature}},
      {{"move", "1404/03/25", "1404/03/26"}, kExitDone, "", {"1404/03/26  monday  عید غدیر خم  yours"}, {kGhadir}},
      {{"remove", "1404/05/14"}, kExitFailed, "1404/05/14 is not a holiday", {}, {}},
      {{"move", "1404/05/14", "1404/05/15"}, kExitFailed, "1404/05/14 is not a holiday", {}, {}},
      {{"add", "1404/12/30", "x"}, kExitBadArguments, "1404/12/30 does not exist (1404 is not a leap year)", {}, {}},
      {{"move", "1404/03/26", "1404/13/01"}, kExitBadArguments, "1404/13/01 does not exist", {}, {}},
      {{"remove", "tomorrow"}, kExitBadArguments, "not a date: tomorrow", {}, {}},
  };
  for (const Step& s : steps) {
    const std::string what = s.args[0] + " " + (s.args.size() > 1 ? s.args[1] : "");
    const Run r = run(s.args);
    EXPECT_EQ(r.code, s.code) << what << "\n" << r.err;
    if (s.err.empty()) EXPECT_EQ(r.err, "") << what;
    else EXPECT_NE(r.err.find(s.err), std::string::npos) << what << "\n" << r.err;
    for (const auto& line : s.listed) EXPECT_TRUE(listed(line)) << what << ": " << line;
    for (const auto& line : s.gone) EXPECT_FALSE(listed(line)) << what << ": " << line;
  }
}

TEST_F(HolidaysCommandTest, ImportKeepsTheGoodLinesAndNamesTheBadOne) {
  const fs::path file = home / "days.txt";
  std::ofstream(file) << "# office days\n1404/05/12 تعطیلی اداره\n1404/12/30 روز نبوده\n1404/07/01 آغاز سال کاری\n";
  const Run r = run({"import", file.string()});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_EQ(r.out, "2 added, 1 refused\n");
  EXPECT_EQ(r.err, file.string() + ": line 3: 1404/12/30 does not exist (1404 is not a leap year)\n");
  EXPECT_TRUE(listed("1404/05/12  sunday  تعطیلی اداره  yours"));
  EXPECT_TRUE(listed("1404/07/01  tuesday  آغاز سال کاری  yours"));
  EXPECT_EQ(run({"import", (home / "missing.txt").string()}).code, kExitFailed);
}

}  // namespace
}  // namespace orvexa::cli
