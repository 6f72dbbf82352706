// A sipp peer for tests: started on a free loopback port, stopped by its PID.
//
//   auto peer = SippProcess::start("registrar_digest.xml", {"-key", "user", "201"});
//   if (!peer) GTEST_SKIP() << SippProcess::missing_reason();
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvexa::sip::testing {

class SippProcess {
 public:
  // Starts sipp with the scenario from tests/platform/sip/scenarios/ on 127.0.0.1 and a free
  // port, with a global timeout so that it ends by itself. Null when sipp is not installed.
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

  ~SippProcess();  // SIGTERM, then SIGKILL after a bounded wait
  std::uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Waits (bounded) for sipp to end by itself; its exit code, or -1 when it had to be killed.
  int wait(int seconds);
  std::string log() const;  // what sipp printed, for failure messages

 private:
  SippProcess() = default;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
  std::filesystem::path log_;
  int exit_code_ = -2;
};

}  // namespace orvexa::sip::testing
