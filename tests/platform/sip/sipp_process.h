// A sipp peer for tests: started on a free loopback port, stopped by its PID.
//
//   auto peer = SippProcess::start("registrar_digest.xml", {"-key", "user", "201"});
//   if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvexa::sip::testing {

// Whether a missing peer fails the test: ./test sets ORVEXA_REQUIRE_PEERS=1 (scripts/setup has
// installed sipp and baresip), so a suite whose SIP tests all skipped cannot pass there.
bool peers_required();

// A peer the test needs is missing: a failure under ./test, a skip with the reason for a developer
// running one test by hand.
#define ORVEXA_PEER_MISSING(reason)                                                          \
  do {                                                                                       \
    if (::orvexa::sip::testing::peers_required())                                            \
      GTEST_FAIL() << (reason) << "; ORVEXA_REQUIRE_PEERS=1 makes a missing peer a failure"; \
    else                                                                                     \
      GTEST_SKIP() << (reason) << "; ./test (ORVEXA_REQUIRE_PEERS=1) fails here";            \
  } while (false)

// A peer program started by a test with its output in a log file; ended by its PID.
class ChildProcess {
 public:
  // Null when the program could not be started.
  static std::unique_ptr<ChildProcess> spawn(const std::string& program,
                                             std::vector<std::string> args,
                                             std::filesystem::path log);
  ~ChildProcess();  // SIGTERM, then SIGKILL after a bounded wait
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Waits (bounded) for the program to end by itself; its exit code, or -1 when it still runs
  // or was killed by a signal.
  int wait(int seconds);
  // SIGTERM now; the bounded wait for its end. Its exit code as for wait().
  int stop(int seconds);
  std::string log() const;  // the last of what it printed, for failure messages

 private:
  ChildProcess() = default;
  pid_t pid_ = -1;
  std::filesystem::path log_;
  int exit_code_ = -2;
};

class SippProcess {
 public:
  // Starts sipp with the scenario from tests/platform/sip/scenarios/ on 127.0.0.1 and a free
  // port, with a global timeout so that it ends by itself. Null when sipp is not installed.
  // ORVEXA_SIPP names another program in its place (the harness's own tests point it nowhere).
  static std::unique_ptr<SippProcess> start(const std::string& scenario,
                                            std::vector<std::string> extra_args,
                                            int timeout_seconds = 20);
  static bool installed();
  static std::string missing_reason() { return "sipp is not installed (scripts/setup)"; }
  static std::filesystem::path scenario_dir();
  // A copy of a scenario with each `from` replaced by its `to`, in the test's temporary folder
  // (for what sipp only reads when it loads the file, such as status codes and file paths).
  static std::filesystem::path filled_scenario(
      const std::string& scenario, const std::vector<std::pair<std::string, std::string>>& fills);
  // A UDP port on 127.0.0.1 that nobody holds now.
  static std::uint16_t free_udp_port();

  std::uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Waits (bounded) for sipp to end by itself; its exit code, or -1 when it had to be killed.
  int wait(int seconds) { return child_->wait(seconds); }
  std::string log() const { return child_->log(); }  // what sipp printed

 private:
  SippProcess() = default;
  std::unique_ptr<ChildProcess> child_;
  std::uint16_t port_ = 0;
};

}  // namespace orvexa::sip::testing
