#include "platform/host/partial_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa::host {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPart = ".part";
constexpr std::string_view kJournal = "-journal";
constexpr std::size_t kMaxDigits = 6;
constexpr int kAttempts = 100;

std::error_code last_error() { return {errno, std::generic_category()}; }

// The number after "<target>.part" in `name`, when `name` is one of ours.
bool is_part_name(std::string_view name, std::string_view target) {
  if (!name.starts_with(target)) return false;
  name.remove_prefix(target.size());
  if (!name.starts_with(kPart)) return false;
  name.remove_prefix(kPart.size());
  return !name.empty() && name.size() <= kMaxDigits &&
         std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `path` still names the file open as `fd` (it was not renamed away or replaced).
bool still_names(const fs::path& path, int fd) {
  struct stat by_name {}, by_fd {};
  return ::lstat(path.c_str(), &by_name) == 0 && ::fstat(fd, &by_fd) == 0 &&
         by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

// Removes one partial copy when its writer is gone: its lock is free and it is still there.
bool remove_if_stale(const fs::path& part) {
  UniqueFd fd(::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;  // its writer is at work
  // A writer that finished between our open and our lock renamed it over its target.
  if (!still_names(part, fd.get())) return false;
  return ::unlink(part.c_str()) == 0;
}

}  // namespace

PartialFile::PartialFile(fs::path target, fs::path path, UniqueFd fd)
    : target_(std::move(target)), path_(std::move(path)), fd_(std::move(fd)) {}

PartialFile::PartialFile(PartialFile&& other) noexcept
    : target_(std::move(other.target_)),
      path_(std::move(other.path_)),
      fd_(std::move(other.fd_)),
      committed_(std::exchange(other.committed_, true)) {}

PartialFile::~PartialFile() {
  if (!committed_ && fd_) ::unlink(path_.c_str());
}

std::optional<PartialFile> PartialFile::create_beside(const fs::path& target, FileMode mode,
                                                      std::error_code& error) {
  std::random_device seed;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    fs::path path = target;
    path += std::string(kPart) + std::to_string(seed() % 1000000);
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       mode.create));
    if (!fd && errno == EEXIST) continue;
    if (!fd) {
      error = last_error();
      return std::nullopt;
    }
    // A cleaner may have taken the new file for a stale one before we locked it: then it has
    // the lock or has removed the name, and we start again under another name. A file system
    // without locks leaves the copy unlocked, and its cleaners, unable to lock either, never
    // take it for stale.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
    if (!still_names(path, fd.get())) continue;
    PartialFile part(target, std::move(path), std::move(fd));
    if ((error = apply_replaced_mode(part.fd(), target, mode))) return std::nullopt;
    error.clear();
    return part;
  }
  error = std::make_error_code(std::errc::file_exists);
  return std::nullopt;
}

std::error_code PartialFile::commit() {
  if (::rename(path_.c_str(), target_.c_str()) != 0) return last_error();
  committed_ = true;
  return sync_directory(target_.parent_path());
}

std::size_t remove_stale_partial_files(const fs::path& target) {
  const std::string name = target.filename().string();
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  std::vector<fs::path> parts, journals;  // journals: the copies they belong to
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (is_part_name(entry, name)) parts.push_back(it->path());
    if (!entry.ends_with(kJournal)) continue;
    const std::string base = entry.substr(0, entry.size() - kJournal.size());
    if (is_part_name(base, name)) journals.push_back(folder / base);
  }
  std::size_t removed = 0;
  for (const auto& part : parts) removed += remove_if_stale(part);
  // SQLite keeps a journal only while its copy exists, whose writer then holds the copy's lock.
  for (const auto& part : journals) {
    std::error_code status;
    if (fs::exists(part, status) || status) continue;
    if (::unlink((part.string() + std::string(kJournal)).c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace orvexa::host
