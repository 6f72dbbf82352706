// Where the program keeps its files: the program folder and the per-user folders.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvexa::host {

struct FolderChoice {
  std::filesystem::path folder;  // absolute, without a trailing separator
  std::string why;               // how it was chosen, for --help-style reports
};

// `--home DIR`, else ORVEXA_HOME, else the executable's folder; a folder that cannot be written
// gives way to the per-user data folder (XDG_DATA_HOME/orvexa).
FolderChoice resolve_program_folder(const std::optional<std::filesystem::path>& home_option,
                                    const std::filesystem::path& executable);

// The executable's own path (/proc/self/exe), or `fallback` when it cannot be read.
std::filesystem::path executable_path(const std::filesystem::path& fallback);

// XDG folders for this program ($XDG_CONFIG_HOME/orvexa, $XDG_DATA_HOME/orvexa).
std::filesystem::path user_config_folder();
std::filesystem::path user_data_folder();

bool folder_is_writable(const std::filesystem::path& folder);

}  // namespace orvexa::host
