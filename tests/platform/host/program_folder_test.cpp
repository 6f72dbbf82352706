#include "platform/host/program_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace orvexa::host {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class ProgramFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("orvexa-folder-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "bin");
  }
  void TearDown() override {
    fs::permissions(root / "bin", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root);
  }
  fs::path root;
};

TEST_F(ProgramFolderTest, OptionBeatsEnvironmentBeatsExecutableFolder) {
  ScopedEnv data("XDG_DATA_HOME", (root / "data").c_str());
  {
    ScopedEnv env("ORVEXA_HOME", nullptr);
    EXPECT_EQ(resolve_program_folder(std::nullopt, root / "bin" / "orvexa").folder, root / "bin");
  }
  ScopedEnv env("ORVEXA_HOME", (root / "env").c_str());
  EXPECT_EQ(resolve_program_folder(std::nullopt, root / "bin" / "orvexa").folder, root / "env");
  // A trailing separator and a relative form name the same folder.
  EXPECT_EQ(resolve_program_folder(root / "opt/", root / "bin" / "orvexa").folder, root / "opt");
  EXPECT_TRUE(fs::is_directory(root / "opt"));
}

TEST_F(ProgramFolderTest, UnwritableFolderGivesWayToTheUserDataFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root can write everywhere";
  ScopedEnv data("XDG_DATA_HOME", (root / "data").c_str());
  ScopedEnv env("ORVEXA_HOME", nullptr);
  fs::permissions(root / "bin", fs::perms::owner_read | fs::perms::owner_exec);
  auto choice = resolve_program_folder(std::nullopt, root / "bin" / "orvexa");
  EXPECT_EQ(choice.folder, root / "data" / "orvexa");
  EXPECT_NE(choice.why.find("not writable"), std::string::npos);
}

TEST_F(ProgramFolderTest, UserFoldersFollowXdg) {
  ScopedEnv config("XDG_CONFIG_HOME", "/x/config");
  ScopedEnv data("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", "/home/u");
  EXPECT_EQ(user_config_folder(), fs::path("/x/config/orvexa"));
  EXPECT_EQ(user_data_folder(), fs::path("/home/u/.local/share/orvexa"));
}

}  // namespace
}  // namespace orvexa::host
