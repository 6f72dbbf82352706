#include "platform/host/host_services.h"

#include <spawn.h>
#include <sys/wait.h>

#include <ostream>

extern char** environ;

namespace orvexa::host {

void StreamMessageBox::show(std::string_view text) { out_ << text << '\n' << std::flush; }

bool SystemShell::power_off() {
  if (command_.empty()) return false;
  std::vector<char*> argv;
  for (auto& arg : command_) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace orvexa::host
