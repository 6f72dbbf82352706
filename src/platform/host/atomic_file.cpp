#include "platform/host/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <utility>

namespace orvexa::host {
namespace {

std::error_code last_error() { return {errno, std::generic_category()}; }

std::error_code injected(int code) { return {code, std::generic_category()}; }

std::filesystem::path temporary_beside(const std::filesystem::path& path) {
  std::random_device seed;
  auto name = path.filename().string() + ".tmp" + std::to_string(seed() % 1000000);
  return path.parent_path() / name;
}

// One owner for the descriptor: closed however the write ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

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

std::error_code sync_directory(const std::filesystem::path& dir) {
  Descriptor fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return last_error();
  if (::fsync(fd.get()) != 0) return last_error();
  return {};
}

std::error_code write_file_atomically(const std::filesystem::path& path, std::string_view data,
                                      FileFaults* faults) {
  const auto temporary = temporary_beside(path);
  if (faults && faults->next_fails()) return injected(EACCES);
  Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) return last_error();

  auto fail = [&](std::error_code error) {
    ::unlink(temporary.c_str());
    return error;
  };
  if (auto error = write_all(fd.get(), data, faults)) return fail(error);
  if (faults && faults->next_fails()) return fail(injected(EIO));
  if (::fsync(fd.get()) != 0) return fail(last_error());
  if (faults && faults->next_fails()) return fail(injected(EIO));
  if (::close(fd.release()) != 0) return fail(last_error());
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
