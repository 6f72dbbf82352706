// `orvexa lines` and `orvexa call` on simulated lines, in a temporary program folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/cli.h"

namespace orvexa::cli {
namespace {

struct Folder {
  std::filesystem::path path;
  Folder() {
    path = std::filesystem::temp_directory_path() /
           ("orvexa-lines-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
  }
};

struct CommandRun {
  int code;
  std::string out, err;
};

CommandRun Orvexa(const Folder& folder, std::vector<std::string> args) {
  std::ostringstream out, err;
  std::istringstream in;
  args.insert(args.begin(), {"orvexa", "--home", folder.path.string()});
  CliOutcome outcome = run_cli(args, {out, err, in});
  return {outcome.exit_code, out.str(), err.str()};
}

TEST(LineCommands, LinesListsTheDefaultLineOrNamesTheBrokenKey) {
  Folder folder;
  CommandRun r = Orvexa(folder, {"lines"});
  EXPECT_EQ(r.code, kExitDone) << r.err;
  EXPECT_NE(r.out.find("0\tSimulated line 1\tsim\t100\tcaller-id,tone-digits,wave"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Modem wave/out"), std::string::npos) << r.out;

  folder.Write("orvexa.toml", "[[line]]\nname = \"Desk\"\nring_timeout = \"long\"\n");
  r = Orvexa(folder, {"lines"});
  EXPECT_EQ(r.code, kExitBadArguments);
  EXPECT_NE(r.err.find("line 1 (\"Desk\"): key 'ring_timeout'"), std::string::npos) << r.err;
}

TEST(LineCommands, CallReportsStatesAndDigitsAndExitsByTheOutcome) {
  Folder folder;
  folder.Write("orvexa.toml", R"(
[[far_end]]
number = "201"
rings = 1
keys = [{ key = "1", at = 1000 }]
hangup_at = 2000
[[far_end]]
number = "202"
outcome = "busy"
[[far_end]]
number = "204"
rings = 0
[[far_end]]
number = "205"
rings = 0
)");
  struct Case {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> in_order;
  };
  const Case kCases[] = {
      {{"call", "201", "--fast"}, kExitDone,
       {"csDialing", "csRingBack", "csConnected", "digit 1", "csRemotePartyDisconnected",
        "csDisconnected"}},
      {{"call", "202", "--fast"}, kExitFailed, {"csBusy", "csDisconnected"}},
      {{"call", "201", "--fast", "--line", "3"}, kExitFailed, {}},
      {{"call", "201", "--fast", "--transfer-to", "203", "--after", "0.5"}, kExitDone,
       {"csConnected", "transferring to 203", "csDisconnected"}},
      {{"call", "201", "--fast", "--transfer-to", "20x", "--after", "0.5"}, kExitFailed,
       {"csConnected", "transferring to 20x", "csDisconnected"}},
      {{"call", "204", "--fast", "--transfer-to", "205", "--after", "0.2", "--consult"}, kExitDone,
       {"csConnected", "consulting 205", "csOnHold", "consultation state 3", "csDisconnected"}},
      {{"call", "204", "--fast", "--transfer-to", "202", "--after", "0.2", "--consult"},
       kExitFailed, {"consulting 202", "consultation state 5", "csDisconnected"}},
  };
  for (const Case& c : kCases) {
    CommandRun r = Orvexa(folder, c.args);
    EXPECT_EQ(r.code, c.code) << c.args[1] << r.out << r.err;
    std::size_t at = 0;
    for (const std::string& want : c.in_order) {
      at = r.out.find(want, at);
      EXPECT_NE(at, std::string::npos) << want << " in\n" << r.out;
    }
    // A hand-over is never the far end hanging up.
    if (c.args.size() > 3 && c.args[3] == "--transfer-to") {
      EXPECT_EQ(r.out.find("csRemotePartyDisconnected"), std::string::npos) << r.out;
    }
  }
  CommandRun bad = Orvexa(folder, {"call", "201", "--fast", "--play", (folder.path / "none.wav").string()});
  EXPECT_EQ(bad.code, kExitBadArguments);
}


TEST(LineCommands, PhoneDrivesTheDeviceAndPrintsItsState) {
  Folder folder;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string shown;  // in the printed state, or in the message on refusal
  };
  const Case kCases[] = {
      {{"phone", "ring", "2", "--volume", "100"}, kExitDone, "ring 2/3 volume 100"},
      {{"phone", "ring", "4"}, kExitFailed, "(-10)"},
      {{"phone", "lamp", "3", "flash"}, kExitDone, "lamps off off off flash"},
      {{"phone", "lamp", "4", "flash"}, kExitFailed, "(-10)"},
      {{"phone", "lamp", "0", "0x40"}, kExitFailed, "(164)"},
      {{"phone", "display", "hello", "--row", "1", "--column", "38"}, kExitDone,
       "display 1 \"" + std::string(38, ' ') + "he\""},
      {{"phone", "display", std::string(90, 'x')}, kExitDone,
       "display 1 \"" + std::string(40, 'x') + "\""},
      {{"phone", "hookswitch", "handset", "3"}, kExitDone, "handset mic+speaker"},
      {{"phone", "--line", "1", "hookswitch", "speaker", "2"}, kExitFailed, "line 1"},
  };
  for (const Case& c : kCases) {
    CommandRun r = Orvexa(folder, c.args);
    EXPECT_EQ(r.code, c.code) << c.args[1] << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(c.shown), std::string::npos)
        << c.shown << " in\n" << r.out << r.err;
  }
  CommandRun lines = Orvexa(folder, {"lines", "--phone"});
  EXPECT_EQ(lines.code, kExitDone) << lines.err;
  EXPECT_NE(lines.out.find("0\t3 ring modes, 4 lamps, 2x40 display; ring 0/3"), std::string::npos)
      << lines.out;
}

}  // namespace
}  // namespace orvexa::cli
