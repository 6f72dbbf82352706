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

}  // namespace
}  // namespace orvexa::cli
