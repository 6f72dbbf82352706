#include "platform/host/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>

namespace orvexa::host {
namespace {

namespace fs = std::filesystem;

TEST(ReadFile, RefusesWhatIsNotARegularReadableFile) {
  const fs::path dir = fs::temp_directory_path() / ("orvexa-read-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    fs::path path;
    std::errc want;
  };
  const Case cases[] = {
      {dir, std::errc::is_a_directory},
      {dir / "missing.txt", std::errc::no_such_file_or_directory},
  };
  for (const auto& c : cases) {
    std::error_code error;
    EXPECT_FALSE(read_file(c.path, error)) << c.path;
    EXPECT_EQ(error, std::make_error_code(c.want)) << c.path;
  }
  ASSERT_FALSE(write_file_atomically(dir / "a.txt", std::string("x\0y", 3)));
  std::error_code error;
  EXPECT_EQ(read_file(dir / "a.txt", error), std::string("x\0y", 3));
  EXPECT_FALSE(error);
  fs::remove_all(dir);
}

mode_t mode_of(const fs::path& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets the process umask for one scope.
class Umask {
 public:
  explicit Umask(mode_t mask) : saved_(::umask(mask)) {}
  ~Umask() { ::umask(saved_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t saved_;
};

// A rewrite must not open a file wider than it was (a `chmod 600` on a password file), and a
// secret is never readable by others, whatever the umask.
TEST(WriteFileAtomically, NewFilesGetTheirModeAndReplacedFilesKeepTheirs) {
  const fs::path dir = fs::temp_directory_path() / ("orvexa-modes-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    FileMode mode;
    std::optional<mode_t> existing;
    mode_t umask;
    mode_t want;
  };
  const FileMode plain{};
  const Case cases[] = {
      {"new plain file, umask 022", plain, std::nullopt, 022, 0644},
      {"new plain file, umask 0", plain, std::nullopt, 0, 0644},
      {"new plain file, umask 077", plain, std::nullopt, 077, 0600},
      {"plain file that was 0600", plain, 0600, 022, 0600},
      {"plain file that was 0640", plain, 0640, 0, 0640},
      {"plain file that was 0644", plain, 0644, 077, 0644},
      {"new secret, umask 022", kSecretFileMode, std::nullopt, 022, 0600},
      {"new secret, umask 0", kSecretFileMode, std::nullopt, 0, 0600},
      {"secret that was 0600", kSecretFileMode, 0600, 0, 0600},
      {"secret that was 0640 (an admin group)", kSecretFileMode, 0640, 022, 0640},
      {"secret that was 0644 loses others' read", kSecretFileMode, 0644, 0, 0640},
      {"secret that was 0666 loses write and others", kSecretFileMode, 0666, 022, 0640},
  };
  for (const auto& c : cases) {
    const fs::path file = dir / "file";
    fs::remove(file);
    if (c.existing) {
      std::ofstream(file) << "old";
      ASSERT_EQ(::chmod(file.c_str(), *c.existing), 0);
    }
    Umask scoped(c.umask);
    ASSERT_FALSE(write_file_atomically(file, "new", nullptr, c.mode)) << c.name;
    EXPECT_EQ(mode_of(file), c.want) << c.name << ": got 0" << std::oct << mode_of(file);
    std::error_code error;
    EXPECT_EQ(read_file(file, error), "new") << c.name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
      << "a temporary file was left behind";
  fs::remove_all(dir);
}

// A root-owned file of an admin group (/etc/orvexa/kms32.dll, 0640 root:orvexa) stays readable
// by that group after root rewrites it; only root can set up such a file.
TEST(WriteFileAtomically, RewriteKeepsOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file another owner";
  const fs::path dir = fs::temp_directory_path() / ("orvexa-owner-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "kms32.dll";
  std::ofstream(file) << "old";
  ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_FALSE(write_file_atomically(file, "new", nullptr, kSecretFileMode));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvexa::host
