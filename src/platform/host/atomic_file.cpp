#include "platform/host/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>

#include "platform/host/unique_fd.h"

namespace orvexa::host {
namespace {

std::error_code last_error() { return {errno, std::generic_category()}; }
std::error_code from_errno(int code) { return {code, std::generic_category()}; }

std::error_code injected(int code) { return {code, std::generic_category()}; }

std::filesystem::path temporary_beside(const std::filesystem::path& path) {
  std::random_device seed;
  auto name = path.filename().string() + ".tmp" + std::to_string(seed() % 1000000);
  return path.parent_path() / name;
}

std::error_code write_all(int fd, std::string_view data, FileFaults* faults) {
  while (!data.empty()) {
    if (faults && faults->next_fails()) return injected(ENOSPC);
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return last_error();
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

}  // namespace

std::error_code apply_replaced_mode(int fd, const std::filesystem::path& path, FileMode mode) {
  struct stat old {};
  if (::stat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return {};
  struct stat now {};
  if (::fstat(fd, &now) != 0) return last_error();
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    // Root keeps both; anyone else may still keep a group they belong to.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    if (::fstat(fd, &now) != 0) return last_error();
  }
  mode_t bits = old.st_mode & mode.keep & 0777;
  if (now.st_gid != old.st_gid) bits &= ~static_cast<mode_t>(0070);  // not that group's to read
  if (::fchmod(fd, bits) != 0) return last_error();
  return {};
}

std::error_code sync_directory(const std::filesystem::path& dir) {
  UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return last_error();
  if (::fsync(fd.get()) != 0) return last_error();
  return {};
}

std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view data,
                                      FileFaults* faults, FileMode mode) {
  const auto temporary = temporary_beside(path);
  if (faults && faults->next_fails()) return injected(EACCES);
  UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode.create));
  if (!fd) return last_error();

  auto fail = [&](std::error_code error) {
    ::unlink(temporary.c_str());
    return error;
  };
  // Before the first byte: the data is never in a file more open than the one it replaces.
  if (auto error = apply_replaced_mode(fd.get(), path, mode)) return fail(error);
  if (auto error = write_all(fd.get(), data, faults)) return fail(error);
  if (faults && faults->next_fails()) return fail(injected(EIO));
  if (::fsync(fd.get()) != 0) return fail(last_error());
  if (faults && faults->next_fails()) return fail(injected(EIO));
  if (const int e = fd.close()) return fail(from_errno(e));
  if (faults && faults->next_fails()) return fail(injected(EIO));
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(last_error());
  sync_directory(path.parent_path());
  return {};
}

std::optional<std::string> read_file(const std::filesystem::path& path, std::error_code& error) {
  error.clear();
  // A folder opens as a stream on this platform but fails on the first read: refuse it here.
  std::error_code status_error;
  if (std::filesystem::is_directory(path, status_error)) {
    error = std::make_error_code(std::errc::is_a_directory);
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::filesystem::exists(path) ? std::make_error_code(std::errc::permission_denied)
                                          : std::make_error_code(std::errc::no_such_file_or_directory);
    return std::nullopt;
  }
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = std::make_error_code(std::errc::io_error);
    return std::nullopt;
  }
  return data;
}

}  // namespace orvexa::host
