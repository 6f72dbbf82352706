#include "platform/host/atomic_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

}  // namespace
}  // namespace orvexa::host
