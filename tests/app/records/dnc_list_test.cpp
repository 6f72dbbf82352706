// The do-not-call list in calls.db: one number however it is written, removal, and imports that
// name the lines they refuse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/records/dnc_list.h"

namespace orvexa::records {
namespace {

namespace fs = std::filesystem;

struct ListRig {
  fs::path folder = fs::temp_directory_path() / ("orvexa-dnc-" + std::to_string(::getpid()));
  messaging::ManualClock clock;
  std::unique_ptr<CallsDatabase> db;
  std::unique_ptr<DncList> list;
  ListRig() {
    fs::remove_all(folder);
    fs::create_directories(folder);
    db = CallsDatabase::open(folder / kCallsFile).db;
    list = std::make_unique<DncList>(*db, clock);
  }
  ~ListRig() { fs::remove_all(folder); }
};

TEST(DncList, ANumberIsListedHoweverItIsWritten) {
  ListRig rig;
  ASSERT_TRUE(rig.db);
  ASSERT_TRUE(rig.list->add("+98 912 345 6789", "asked"));
  for (const char* form : {"09123456789", "0098-912-345-6789", "+989123456789", "۰۹۱۲۳۴۵۶۷۸۹"})
    EXPECT_TRUE(rig.list->listed(form)) << form;
  EXPECT_FALSE(rig.list->listed("09123456780"));
  EXPECT_FALSE(rig.list->add("not a number", ""));
  EXPECT_TRUE(rig.list->add("2 05", "extension"));
  EXPECT_TRUE(rig.list->listed("205"));
  EXPECT_TRUE(rig.list->remove("205"));
  EXPECT_TRUE(rig.list->add("0912 345 6789", "again"));  // already there: kept as it was
  ASSERT_EQ(rig.list->entries().size(), 1u);
  EXPECT_EQ(rig.list->entries()[0].number, "09123456789");
  EXPECT_EQ(rig.list->entries()[0].reason, "asked");
  EXPECT_TRUE(rig.list->remove("+98 912 345 6789"));
  EXPECT_FALSE(rig.list->remove("09123456789"));
  EXPECT_FALSE(rig.list->listed("09123456789"));
}

TEST(DncList, AnImportAddsWhatItCanAndNamesTheRest) {
  ListRig rig;
  ASSERT_TRUE(rig.list->add("02112345678", ""));
  const auto result = rig.list->import("# from the front desk\r\n09121111111\r\n\r\nabc\r\n021 1234 5678\r\n"
                                       "09122222222\n+98 912 111 1111\n",
                                       "import");
  EXPECT_EQ(result.added, 2);
  EXPECT_EQ(result.already, 2);
  EXPECT_EQ(result.refused, (std::vector<std::string>{"line 4: not a telephone number: abc"}));
  EXPECT_EQ(rig.list->entries().size(), 3u);
}

}  // namespace
}  // namespace orvexa::records
