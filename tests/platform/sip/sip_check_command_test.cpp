// `orvexa sip check` end to end: the toml file, the registration against sipp, the exit code.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "app/cli/cli.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

using testing::SippProcess;

struct CheckRun {
  int code;
  std::string out, err;
};

CheckRun run_check(const std::filesystem::path& home, const std::string& line) {
  std::ostringstream out, err;
  std::istringstream in;
  const auto outcome = cli::run_cli(
      {"orvexa", "--home", home.string(), "sip", "check", "--line", line}, {out, err, in});
  return {outcome.exit_code, out.str(), err.str()};
}

std::filesystem::path home_with(const std::string& toml, mode_t mode) {
  const auto home = std::filesystem::path(::testing::TempDir()) / "sip_check_home";
  std::filesystem::create_directories(home);
  { std::ofstream(home / "orvexa.toml") << toml; }
  ::chmod((home / "orvexa.toml").c_str(), mode);
  return home;
}

TEST(SipCheckCommand, OutcomesAndExitCodes) {
  auto peer = SippProcess::start("registrar_digest.xml",
                                 {"-key", "user", "201", "-key", "pass", "secret", "-m", "2"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  const std::string lines = "[[line]]\nkind = \"sim\"\n"
                            "[[line]]\nkind = \"sip\"\nname = \"Office 201\"\nregistrar = \"" +
                            peer->address() + "\"\nuser = \"201\"\n";
  struct Case {
    const char* name;
    std::string toml;
    mode_t mode;
    std::string line;
    int exit_code;
    std::string in_out, in_err;
  };
  const Case cases[] = {
      {"registers", lines + "password = \"secret\"\n", 0600, "1", cli::kExitDone,
       "line 1 \"Office 201\": registered, code 200", ""},
      {"wrong password", lines + "password = \"nope\"\n", 0600, "1", cli::kExitFailed,
       "failed (403 Forbidden), code 403", ""},
      {"readable file", lines + "password = \"secret\"\n", 0644, "1", cli::kExitBadArguments, "",
       "chmod 600"},
      {"not a sip line", lines, 0600, "0", cli::kExitBadArguments, "", "is not a sip line"},
      {"bad key", lines + "expires = -1\n", 0600, "1", cli::kExitBadArguments, "",
       "key \"expires\""},
  };
  for (const Case& c : cases) {
    const CheckRun r = run_check(home_with(c.toml, c.mode), c.line);
    EXPECT_EQ(r.code, c.exit_code) << c.name << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find(c.in_out), std::string::npos) << c.name << ": " << r.out;
    EXPECT_NE(r.err.find(c.in_err), std::string::npos) << c.name << ": " << r.err;
  }
}

}  // namespace
}  // namespace orvexa::sip
