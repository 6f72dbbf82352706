#include "sipp_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

extern char** environ;

namespace orvexa::sip::testing {
namespace {

constexpr const char* kSipp = "/usr/bin/sipp";

const char* sipp_program() {
  const char* other = std::getenv("ORVEXA_SIPP");
  return other && *other ? other : kSipp;
}

}  // namespace

bool peers_required() {
  const char* required = std::getenv("ORVEXA_REQUIRE_PEERS");
  return required && std::string_view(required) == "1";
}

bool SippProcess::installed() { return ::access(sipp_program(), X_OK) == 0; }

std::filesystem::path SippProcess::scenario_dir() {
  const char* src = std::getenv("ORVEXA_SOURCE_DIR");
  return std::filesystem::path(src ? src : ".") / "tests/platform/sip/scenarios";
}

std::filesystem::path SippProcess::filled_scenario(
    const std::string& scenario, const std::vector<std::pair<std::string, std::string>>& fills) {
  std::ifstream in(scenario_dir() / scenario);
  std::stringstream text;
  text << in.rdbuf();
  std::string xml = text.str();
  for (const auto& [from, to] : fills) {
    for (auto at = xml.find(from); at != std::string::npos; at = xml.find(from, at + to.size()))
      xml.replace(at, from.size(), to);
  }
  const auto path = std::filesystem::temp_directory_path() /
                    ("orvexa_" + std::to_string(::getpid()) + "_" +
                     std::to_string(std::hash<std::string>()(xml)) + ".xml");
  std::ofstream(path) << xml;
  return path;
}

std::uint16_t SippProcess::free_udp_port() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  std::uint16_t port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

std::unique_ptr<SippProcess> SippProcess::start(const std::string& scenario,
                                                std::vector<std::string> extra_args,
                                                int timeout_seconds) {
  if (!installed()) return nullptr;
  std::unique_ptr<SippProcess> p(new SippProcess());
  p->port_ = free_udp_port();
  std::vector<std::string> args = {"-sf",      (scenario_dir() / scenario).string(),
                                   "-i",       "127.0.0.1", "-p", std::to_string(p->port_),
                                   "-mi",      "127.0.0.1", "-nostdin", "-timeout",
                                   std::to_string(timeout_seconds) + "s"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  p->child_ = ChildProcess::spawn(
      sipp_program(), std::move(args),
      std::filesystem::temp_directory_path() /
          ("orvexa_sipp_" + std::to_string(::getpid()) + "_" + std::to_string(p->port_) + ".log"));
  if (!p->child_) return nullptr;
  // Give it time to bind before the first request; UDP retransmission covers the rest.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  return p;
}

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::string& program,
                                                  std::vector<std::string> args,
                                                  std::filesystem::path log) {
  std::unique_ptr<ChildProcess> p(new ChildProcess());
  p->log_ = std::move(log);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, p->log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int rc = posix_spawn(&p->pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) p->pid_ = -1;
  return rc == 0 ? std::move(p) : nullptr;
}

int ChildProcess::wait(int seconds) {
  if (pid_ <= 0) return exit_code_;
  for (int i = 0; i <= seconds * 20; ++i) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exit_code_;
    }
    if (i < seconds * 20) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

int ChildProcess::stop(int seconds) {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  const int code = wait(seconds);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return code;
}

ChildProcess::~ChildProcess() {
  stop(3);
  std::error_code ec;
  std::filesystem::remove(log_, ec);
}

std::string ChildProcess::log() const {
  std::ifstream in(log_);
  std::ostringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  return text.size() > 4000 ? text.substr(text.size() - 4000) : text;
}

}  // namespace orvexa::sip::testing
