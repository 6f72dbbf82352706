#include "platform/host/program_folder.h"

#include <unistd.h>

#include <cstdlib>

namespace orvexa::host {
namespace fs = std::filesystem;
namespace {

fs::path env_path(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? fs::path(value) : fs::path();
}

fs::path home_folder() {
  fs::path home = env_path("HOME");
  return home.empty() ? fs::temp_directory_path() : home;
}

fs::path absolute_clean(const fs::path& p) {
  std::error_code ec;
  fs::path result = fs::weakly_canonical(fs::absolute(p, ec), ec);
  if (result.has_filename() || result == result.root_path()) return result;
  return result.parent_path();  // drop a trailing separator
}

}  // namespace

fs::path user_config_folder() {
  fs::path base = env_path("XDG_CONFIG_HOME");
  return (base.empty() ? home_folder() / ".config" : base) / "orvexa";
}

fs::path user_data_folder() {
  fs::path base = env_path("XDG_DATA_HOME");
  return (base.empty() ? home_folder() / ".local" / "share" : base) / "orvexa";
}

bool folder_is_writable(const fs::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path executable_path(const fs::path& fallback) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fallback : self;
}

FolderChoice resolve_program_folder(const std::optional<fs::path>& home_option,
                                    const fs::path& executable) {
  FolderChoice choice;
  if (home_option && !home_option->empty()) {
    choice = {absolute_clean(*home_option), "--home"};
  } else if (fs::path env = env_path("ORVEXA_HOME"); !env.empty()) {
    choice = {absolute_clean(env), "ORVEXA_HOME"};
  } else {
    choice = {absolute_clean(executable).parent_path(), "the program's folder"};
  }
  std::error_code ec;
  fs::create_directories(choice.folder, ec);
  if (!folder_is_writable(choice.folder)) {
    fs::path fallback = user_data_folder();
    fs::create_directories(fallback, ec);
    choice = {fallback, choice.folder.string() + " is not writable; the per-user data folder"};
  }
  return choice;
}

}  // namespace orvexa::host
