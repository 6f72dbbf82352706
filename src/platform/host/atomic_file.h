// Files a user would miss are written whole or not at all: temporary file, fsync, rename.
//
//   if (auto err = write_file_atomically(path, bytes)) report(err.message());
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace orvexa::host {

// Test hook: fail the Nth file-system step (1-based) of the following calls with ENOSPC/EIO.
// Counts open, write, fsync, close and rename; 0 switches fault injection off.
struct FileFaults {
  int fail_at = 0;
  int steps = 0;
  bool next_fails() { return fail_at > 0 && ++steps == fail_at; }
};

std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view data,
                                      FileFaults* faults = nullptr);

// Whole file as bytes; nullopt with `error` set when it cannot be read.
std::optional<std::string> read_file(const std::filesystem::path& path, std::error_code& error);

// fsync of a folder, so that a rename inside it survives a power cut.
std::error_code sync_directory(const std::filesystem::path& dir);

}  // namespace orvexa::host
