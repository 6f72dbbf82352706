#include "platform/settings/settings_store.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/host/atomic_file.h"

namespace orvexa::settings {
namespace {

namespace fs = std::filesystem;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("orvexa-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(SettingsStoreTest, ValuesSurviveASaveAndAReload) {
  const fs::path file = dir / "sub" / "settings.toml";
  {
    SettingsStore store(file);
    store.set_string("Sound Mapper/Playback", "Office speaker \"left\"");
    store.set_string("Persian", "صدای خط");
    store.set_int("Sound Mapper/PreferredOnly", 1);
    store.set_int("negative", -42);
    store.set_bytes("Lines/0/Config", {0, 1, 0xfe, 0xff});
    store.set_bytes("empty", {});
    ASSERT_FALSE(store.save());
  }
  SettingsStore again(file);
  EXPECT_TRUE(again.load_problem().empty()) << again.load_problem();
  EXPECT_EQ(again.get_string("Sound Mapper/Playback"), "Office speaker \"left\"");
  EXPECT_EQ(again.get_string("Persian"), "صدای خط");
  EXPECT_EQ(again.get_int("Sound Mapper/PreferredOnly"), 1);
  EXPECT_EQ(again.get_int("negative"), -42);
  EXPECT_EQ(again.get_bytes("Lines/0/Config"), (Bytes{0, 1, 0xfe, 0xff}));
  EXPECT_EQ(again.get_bytes("empty"), Bytes{});
  // A value is read back only as the type it was stored with.
  EXPECT_FALSE(again.get_int("Persian"));
  EXPECT_FALSE(again.get_string("negative"));
  EXPECT_FALSE(again.get_bytes("missing"));
}

TEST_F(SettingsStoreTest, DamagedFilesGiveDefaultsAndOneReport) {
  const std::string damaged[] = {
      "[strings\n\"a\" = ",           // not TOML
      "[binary]\n\"x\" = \"0g\"\n",   // not hex
      "[binary]\n\"x\" = \"abc\"\n",  // odd length
      std::string("\xff\xfe\x00[", 4),
  };
  for (const auto& text : damaged) {
    const fs::path file = dir / "settings.toml";
    std::ofstream(file, std::ios::binary) << text;
    SettingsStore store(file);
    EXPECT_FALSE(store.load_problem().empty()) << text;
    EXPECT_FALSE(store.contains("x"));
    // The damaged file is left for the user to inspect until the next save replaces it.
    store.set_int("fresh", 7);
    ASSERT_FALSE(store.save());
    EXPECT_EQ(SettingsStore(file).get_int("fresh"), 7);
  }
}

TEST_F(SettingsStoreTest, FailedSaveAtAnyStepKeepsTheOldFile) {
  const fs::path file = dir / "settings.toml";
  SettingsStore store(file);
  store.set_string("k", "old");
  ASSERT_FALSE(store.save());
  std::error_code ec;
  const std::string before = *host::read_file(file, ec);

  store.set_string("k", std::string(100000, 'n'));
  for (int step = 1;; ++step) {
    host::FileFaults faults{step};
    std::error_code error = store.save(&faults);
    if (faults.steps < step) {  // the fault was never reached: the save went through
      EXPECT_FALSE(error);
      break;
    }
    EXPECT_TRUE(error) << "step " << step;
    EXPECT_EQ(*host::read_file(file, ec), before) << "step " << step;
    ASSERT_LT(step, 50);
  }
  EXPECT_EQ(SettingsStore(file).get_string("k"), std::string(100000, 'n'));
  // No temporary files are left behind by the failed attempts.
  int files = 0;
  for (auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(SettingsStoreMemory, StoreWithoutAFileSavesNothing) {
  SettingsStore store;
  store.set_int("a", 1);
  EXPECT_FALSE(store.save());
  EXPECT_TRUE(store.remove("a"));
  EXPECT_FALSE(store.remove("a"));
}

}  // namespace
}  // namespace orvexa::settings
