// A copy in progress beside its target ("Orvexa.dll.part123456"): locked for as long as its
// writer has it open, renamed over the target once complete, removed when abandoned. A copy
// whose writer was killed is unlocked, so the next writer (or the next start) removes it.
//
//   std::error_code error;
//   auto part = PartialFile::create_beside(target, kSecretFileMode, error);
//   if (!part) return error;
//   write to part->path() or part->fd(), then: return part->commit();
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/host/atomic_file.h"
#include "platform/host/unique_fd.h"

namespace orvexa::host {

class PartialFile {
 public:
  // A new empty file "<target>.partN", open for reading and writing, locked; its mode is that of
  // the target it will replace (see apply_replaced_mode), or mode.create for a new target.
  static std::optional<PartialFile> create_beside(const std::filesystem::path& target,
                                                  FileMode mode, std::error_code& error);
  ~PartialFile();  // removes the file unless it was committed
  PartialFile(PartialFile&& other) noexcept;
  PartialFile& operator=(PartialFile&&) = delete;
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  int fd() const { return fd_.get(); }

  // Renames the file over its target and syncs the folder, so the rename survives a power cut.
  std::error_code commit();

 private:
  PartialFile(std::filesystem::path target, std::filesystem::path path, UniqueFd fd);

  std::filesystem::path target_;
  std::filesystem::path path_;
  UniqueFd fd_;  // holds the lock that tells a live copy from a stale one
  bool committed_ = false;
};

// Removes the partial copies of `target` that nobody is writing: "<target>.partN" (N of one to
// six digits) that are regular files no one holds locked, and SQLite's "-journal" beside such a
// copy. Nothing else beside the target is touched. Returns how many files went.
std::size_t remove_stale_partial_files(const std::filesystem::path& target);

}  // namespace orvexa::host
