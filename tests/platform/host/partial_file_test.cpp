#include "platform/host/partial_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>

namespace orvexa::host {
namespace {

namespace fs = std::filesystem;

class PartialFileTest : public ::testing::Test {
 protected:
  PartialFileTest() {
    fs::create_directories(dir);
    std::ofstream(target) << "whole";
  }
  ~PartialFileTest() override { fs::remove_all(dir); }

  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) found.insert(entry.path().filename());
    return found;
  }

  // A writer killed in the middle of its copy, as SIGKILL or a power cut leaves it.
  fs::path copy_of_a_killed_writer() {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
      std::error_code error;
      auto part = PartialFile::create_beside(target, kSecretFileMode, error);
      const std::string name = part ? part->path().filename().string() : "";
      if (part) (void)::write(part->fd(), "half", 4);
      (void)::write(ready[1], name.data(), name.size());
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char name[64] = {};
    const ssize_t got = ::read(ready[0], name, sizeof name - 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return got > 0 ? dir / std::string(name, static_cast<std::size_t>(got)) : fs::path();
  }

  fs::path dir = fs::temp_directory_path() / ("orvexa-partial-" + std::to_string(::getpid()));
  fs::path target = dir / "Orvexa.dll";
};

TEST_F(PartialFileTest, OnlyOurCopiesWhoseWriterIsGoneAreRemoved) {
  const fs::path killed = copy_of_a_killed_writer();
  ASSERT_FALSE(killed.empty());
  ASSERT_TRUE(fs::exists(killed));
  std::error_code error;
  auto live = PartialFile::create_beside(target, {}, error);  // a writer at work
  ASSERT_TRUE(live) << error.message();
  const std::string live_name = live->path().filename();
  std::ofstream(live->path().string() + "-journal") << "its journal";

  const std::set<std::string> stale = {
      killed.filename(), "Orvexa.dll.part7", "Orvexa.dll.part123456",
      "Orvexa.dll.part66", "Orvexa.dll.part66-journal",
      "Orvexa.dll.part55-journal",  // a journal whose copy is gone already
  };
  const std::set<std::string> others = {
      "Orvexa.dll", "Orvexa.dll.part1234567", "Orvexa.dll.partial", "Orvexa.dll.part12x",
      "Orvexa.dll.part", "Orvexa.dll.part-1", "Orvexa.dll.part5.old", "Other.dll.part5",
      "xOrvexa.dll.part5", "Orvexa.dll.bak", "Orvexa.dll-journal", "Orvexa.dll.part33-wal",
      "Orvexa.dll.part9",  // a folder
      "Orvexa.dll.part8",  // a link to the database
      live_name, live_name + "-journal",
  };
  for (const auto& name : stale) std::ofstream(dir / name) << "left";
  for (const auto& name : others) {
    if (name == "Orvexa.dll.part9") fs::create_directory(dir / name);
    else if (name == "Orvexa.dll.part8") fs::create_symlink(target, dir / name);
    else if (!fs::exists(dir / name)) std::ofstream(dir / name) << "not ours to remove";
  }

  EXPECT_EQ(remove_stale_partial_files(target), stale.size());
  EXPECT_EQ(names(), others);
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "whole");
}

TEST_F(PartialFileTest, AnAbandonedCopyRemovesItselfAndACommittedOneReplacesItsTarget) {
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
  std::error_code error;
  {
    auto part = PartialFile::create_beside(target, kSecretFileMode, error);
    ASSERT_TRUE(part) << error.message();
    ASSERT_EQ(::write(part->fd(), "abandoned", 9), 9);
  }
  EXPECT_EQ(names(), std::set<std::string>{"Orvexa.dll"});

  auto part = PartialFile::create_beside(target, kSecretFileMode, error);
  ASSERT_TRUE(part) << error.message();
  ASSERT_EQ(::write(part->fd(), "new", 3), 3);
  EXPECT_EQ(remove_stale_partial_files(target), 0u);  // still being written
  ASSERT_FALSE(part->commit());
  part.reset();
  EXPECT_EQ(names(), std::set<std::string>{"Orvexa.dll"});
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a secret keeps no read for others
}

}  // namespace
}  // namespace orvexa::host
