#include "app/cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace orvexa::cli {
namespace {

struct CliRun {
  CliOutcome outcome;
  std::string out, err;
};

CliRun run_orvexa(std::vector<std::string> args) {
  std::ostringstream out, err;
  std::istringstream in;
  args.insert(args.begin(), "orvexa");
  CliRun r{run_cli(args, {out, err, in}), "", ""};
  r.out = out.str();
  r.err = err.str();
  return r;
}

TEST(Cli, HelpVersionAndBadArguments) {
  struct Case {
    std::vector<std::string> args;
    int code;
    bool usage_on_err;
    std::string out_has;
  };
  const Case cases[] = {
      {{"--help"}, kExitDone, false, "Usage: orvexa"},
      {{"--version"}, kExitDone, false, "Orvexa 5.0"},
      {{"--no-such-option"}, kExitBadArguments, true, ""},
      {{"no-such-command"}, kExitBadArguments, true, ""},
      {{"--home"}, kExitBadArguments, true, ""},
  };
  for (const auto& c : cases) {
    CliRun r = run_orvexa(c.args);
    EXPECT_FALSE(r.outcome.open_gui) << c.args[0];
    EXPECT_EQ(r.outcome.exit_code, c.code) << c.args[0];
    EXPECT_NE(r.out.find(c.out_has), std::string::npos) << c.args[0];
    EXPECT_EQ(r.err.find("Usage: orvexa") != std::string::npos, c.usage_on_err) << c.args[0];
  }
}

TEST(Cli, NoSubcommandOrGuiOpensTheWindowOnTheChosenFolder) {
  const auto home = std::filesystem::temp_directory_path() / "orvexa-cli-home";
  for (const auto& args : {std::vector<std::string>{"--home", home.string()},
                           std::vector<std::string>{"--home", home.string(), "gui"}}) {
    CliRun r = run_orvexa(args);
    EXPECT_TRUE(r.outcome.open_gui);
    EXPECT_EQ(r.outcome.program_folder, home);
  }
  std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace orvexa::cli
