// Files a user would miss are written whole or not at all: temporary file, fsync, rename.
//
//   if (auto err = write_file_atomically(path, bytes)) report(err.message());
//   write_file_atomically(password_file, hash, nullptr, kSecretFileMode);
#pragma once

#include <sys/types.h>

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

// The permissions a write gives its file. A new file gets `create` (less the umask); a file that
// is replaced keeps its mode (and, as far as we may, its owner and group), less the bits outside
// `keep`, so a `chmod 600` or a root-owned 0640 survives the rewrite.
struct FileMode {
  mode_t create = 0644;
  mode_t keep = 0777;
};
// Passwords and personal data: never readable by others, nor writable by the group.
inline constexpr FileMode kSecretFileMode{0600, 0640};

std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view data,
                                      FileFaults* faults = nullptr, FileMode mode = {});

// Gives the open file `fd`, about to replace `path`, the mode (and owner and group) it should
// have: that of the regular file at `path` now, less the bits outside `mode.keep`; nothing when
// there is none (the file keeps the mode it was created with). Owner and group are kept where we
// may change them; a group that cannot be kept gets no permissions. Call it before writing.
std::error_code apply_replaced_mode(int fd, const std::filesystem::path& path, FileMode mode);

// Whole file as bytes; nullopt with `error` set when it cannot be read.
std::optional<std::string> read_file(const std::filesystem::path& path, std::error_code& error);

// fsync of a folder, so that a rename inside it survives a power cut.
std::error_code sync_directory(const std::filesystem::path& dir);

}  // namespace orvexa::host
