// The campaign over the real contact database: groups in order, the date filter, a member
// table that has gone missing in the middle of an all-groups run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSqlQuery>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/adapters/contact_member_source.h"
#include "campaign_fakes.h"

namespace orvexa::campaign {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct DatabaseRig {
  fs::path folder = fs::temp_directory_path() / ("orvexa-cms-" + std::to_string(::getpid()));
  std::unique_ptr<data::ContactStore> store;
  DatabaseRig() {
    fs::remove_all(folder);
    fs::create_directories(folder);
    store = std::make_unique<data::ContactStore>(folder);
    EXPECT_TRUE(store->open().ok);
  }
  ~DatabaseRig() {
    store.reset();
    fs::remove_all(folder);
  }
  data::Group group(const std::string& name,
                    std::vector<std::pair<std::string, std::string>> members) {
    auto created = store->create_group(name);
    EXPECT_TRUE(created.ok) << created.error;
    for (const auto& [num, birthday_mmdd] : members) {
      data::MemberEntry entry;
      entry.name = "n";
      entry.num = num;
      entry.birthday = {birthday_mmdd.substr(3), birthday_mmdd.substr(0, 2)};
      EXPECT_TRUE(store->insert_member(*created.group, entry).ok);
    }
    return *created.group;
  }
};

TEST(ContactMemberSource, AllGroupsWithFilterOverTheDatabase) {
  DatabaseRig db;
  db.group("A", {{"101", "01/02"}, {"102", "03/04"}});
  auto broken = db.group("Gone", {{"201", "01/02"}});
  db.group("C", {{"301", "01/02"}});
  ASSERT_TRUE(QSqlQuery(db.store->database()).exec("drop table \"" + QString::fromStdString(broken.gcode) + "\""));

  Rig rig;
  ContactMemberSource source(*db.store, rig.clock);
  CampaignEngine engine(rig.loop, {rig.line, rig.voice, source, rig.log, rig.view, rig.dialogs,
                                   rig.shell, rig.settings, rig.paths});
  rig.line.bind(engine.call_flow());
  rig.voice.bind(engine.call_flow());
  bool ended = false;
  engine.on_operation_ended([&] { ended = true; });
  for (const char* n : {"101", "102", "301"}) rig.line.scripts[n] = {{FarEnd::Answer, '1'}};

  ASSERT_EQ(engine.start({CampaignChoice::AllGroups, "", "", DateFilterRequest{"birthday", "1", "2"}}),
            StartResult::Started);
  ASSERT_TRUE(rig.loop.run_until([&] { return ended; }, std::chrono::hours(1)));
  EXPECT_EQ(rig.line.dialled, (std::vector<std::string>{"101", "301"}));
  const auto& lines = rig.log.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(text::kGroupSkipped)), 1);
  EXPECT_EQ(lines.back(), std::string(text::kEndOfOperation));
}

TEST(ContactMemberSource, FilterRequestsAreCheckedAndPadded) {
  DatabaseRig db;
  db.group("A", {{"1", "07/09"}, {"2", "07/10"}});
  messaging::ManualClock clock;
  ContactMemberSource source(*db.store, clock);
  struct Case {
    DateFilterRequest request;
    bool accepted;
    std::size_t members;
  };
  const Case cases[] = {{{"birthday", "7", "9"}, true, 1},   {{"birthday", "07", "10"}, true, 1},
                        {{"birthday", "13", "01"}, false, 2}, {{"birthday", "", "01"}, false, 2},
                        {{"wedding", "07", "09"}, false, 2},  {{"marriage", "07", "09"}, true, 0}};
  const std::string gcode = db.store->groups().front().gcode;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.kind + " " + c.request.month + "/" + c.request.day);
    EXPECT_EQ(source.set_filter(c.request), c.accepted);
    std::string error;
    auto numbers = source.open_members(gcode, error);
    ASSERT_TRUE(numbers) << error;
    EXPECT_EQ(numbers->size(), c.members);
    source.clear_filter();
  }
}

}  // namespace
}  // namespace orvexa::campaign
