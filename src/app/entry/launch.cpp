#include "app/entry/launch.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "platform/host/program_folder.h"

namespace orvexa::entry {

std::optional<std::string> quick_wave_info_file(const std::vector<std::string>& args) {
  std::size_t i = 0;
  if (i < args.size() && args[i].starts_with("--home=")) {
    ++i;
  } else if (i + 1 < args.size() && args[i] == "--home" && !args[i + 1].starts_with("-")) {
    i += 2;
  }
  // The program folder plays no part in reading a file, so --home needs no checking here.
  if (args.size() != i + 3 || args[i] != "wave" || args[i + 1] != "info") return std::nullopt;
  const std::string& file = args[i + 2];
  if (file.empty() || file.starts_with("-")) return std::nullopt;
  return file;
}

std::filesystem::path whole_program_path(const std::filesystem::path& executable) {
  return executable.parent_path() / kWholeProgramName;
}

int start_whole_program(char** argv, std::ostream& err) {
  const std::filesystem::path self =
      host::executable_path(argv[0] ? std::filesystem::path(argv[0]) : std::filesystem::path());
  const std::filesystem::path whole = whole_program_path(self);
  ::execv(whole.c_str(), argv);
  err << "orvexa: cannot start " << whole.string() << ": " << std::strerror(errno) << '\n';
  return 1;
}

}  // namespace orvexa::entry
