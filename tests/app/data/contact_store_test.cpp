#include "app/data/contact_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSqlQuery>

#include "app/data/data_messages.h"
#include "temp_folder.h"

namespace orvexa::data {
namespace {

using testing_support::read_all;
using testing_support::TempFolder;
using testing_support::write_all;
using Messages = std::vector<std::string>;

class ContactStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store.open().ok); }
  bool run(const QString& sql) { return QSqlQuery(store.database()).exec(sql); }
  Group make_group(const std::string& name) {
    auto created = store.create_group(name);
    EXPECT_TRUE(created.ok) << created.error;
    return created.group.value_or(Group{});
  }
  Member insert(const Group& group, MemberEntry entry) {
    auto outcome = store.insert_member(group, entry);
    EXPECT_TRUE(outcome.ok) << outcome.error;
    auto rows = store.members(group);
    return rows && !rows->empty() ? rows->back() : Member{};
  }

  TempFolder folder;
  ContactStore store{folder.path()};
};

TEST_F(ContactStoreTest, MissingFileBecomesTheInitialDatabase) {
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "Orvexa.dll"));
  EXPECT_TRUE(store.groups().empty());
  EXPECT_EQ(store.group_row_count(), 1);  // the code-0 row, never listed
  EXPECT_EQ(store.next_group_code(), 1);
  store.close();
  ContactStore again(folder.path());
  auto opened = again.open();
  EXPECT_TRUE(opened.ok);
  EXPECT_FALSE(opened.created);
}

TEST(ContactStoreOpen, RefusesFilesThatAreNotContactDatabases) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {{"text", "this is not a database, do not overwrite"},
                        {"truncated header", std::string("SQLite format 3\0\x10\x00", 18)}};
  for (const Case& c : cases) {
    TempFolder folder;
    write_all(folder.path() / "Orvexa.dll", c.bytes);
    ContactStore store(folder.path());
    auto opened = store.open();
    EXPECT_FALSE(opened.ok) << c.name;
    EXPECT_NE(opened.message.find((folder.path() / "Orvexa.dll").string()), std::string::npos);
    EXPECT_EQ(opened.message.rfind(text::kDatabaseUnusable, 0), 0u);
    EXPECT_EQ(read_all(folder.path() / "Orvexa.dll"), c.bytes) << c.name;
  }
}

TEST(ContactStoreOpen, ForeignDatabaseWithoutGroupsIsRefused) {
  TempFolder folder;
  {
    ContactStore other(folder.path());
    ASSERT_TRUE(other.open().ok);
    QSqlQuery(other.database()).exec("drop table groups");
  }
  ContactStore store(folder.path());
  EXPECT_FALSE(store.open().ok);
}

TEST(ContactStoreOpen, UsesTheProgramFolderWhateverTheCurrentFolder) {
  TempFolder program, elsewhere;
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(program.path());
  ContactStore store(".");  // made absolute when the store is built
  std::filesystem::current_path(elsewhere.path());
  ASSERT_TRUE(store.open().ok);
  std::filesystem::current_path(before);
  EXPECT_EQ(store.database_path(), program.path() / "Orvexa.dll");
  EXPECT_TRUE(std::filesystem::exists(program.path() / "Orvexa.dll"));
  EXPECT_FALSE(std::filesystem::exists(elsewhere.path() / "Orvexa.dll"));
}

TEST_F(ContactStoreTest, EmptyGroupsTableStartsAtCodeOne) {
  ASSERT_TRUE(run("delete from groups"));
  EXPECT_EQ(store.next_group_code(), 1);
  EXPECT_EQ(make_group("first").gcode, "1");
}

TEST_F(ContactStoreTest, CreatingGroups) {
  struct Step {
    std::string name;
    bool ok;
    Messages messages;
  };
  const Step steps[] = {
      {"", false, {text::kEnterGroupName}},
      {"دوستان", true, {text::kGroupCreated}},
      {"دوستان", false, {text::kDuplicateGroup}},
      {"دوستان ", true, {text::kGroupCreated}},  // a trailing blank is another name
      {"   ", true, {text::kGroupCreated}},
  };
  for (const Step& step : steps) {
    auto outcome = store.create_group(step.name);
    EXPECT_EQ(outcome.ok, step.ok) << step.name;
    EXPECT_EQ(outcome.messages, step.messages) << step.name;
  }
  auto groups = store.groups();
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0], (Group{1, "دوستان", "1"}));
  EXPECT_EQ(groups[2], (Group{3, "   ", "3"}));
  EXPECT_EQ(store.count_members(groups[1]), 0);
}

TEST_F(ContactStoreTest, GroupCodeTwelveNamesTableTwelve) {
  ASSERT_TRUE(run("insert into groups (code, gname, gcode) values (11, 'old', '11')"));
  Group group = make_group("new");
  EXPECT_EQ(group, (Group{12, "new", "12"}));
  EXPECT_EQ(store.count_members(group), 0);
  QSqlQuery query(store.database());
  ASSERT_TRUE(query.exec("select sql from sqlite_master where name='12'") && query.next());
  // SQLite keeps the statement as written, apart from the capitals of its first two words.
  EXPECT_EQ(query.value(0).toString().mid(12), create_member_table_sql("\"12\"").mid(12));
}

TEST_F(ContactStoreTest, FailedCreateStatementLeavesNoRow) {
  ASSERT_TRUE(run("create table \"1\"(x int)"));  // a stray table in the way of code 1
  auto outcome = store.create_group("first");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.messages, Messages{text::kOperationFailed});
  EXPECT_TRUE(store.groups().empty());
  EXPECT_EQ(store.group_row_count(), 1);
}

TEST_F(ContactStoreTest, DroppingGroups) {
  struct Case {
    const char* name;
    std::function<void(ContactStore&, const Group&)> before;
    bool ok;
    Messages messages;
    bool row_left;
  };
  std::optional<QSqlQuery> held;
  const Case cases[] = {
      {"plain", nullptr, true, {text::kGroupDropped}, false},
      {"table already missing",
       [](ContactStore& s, const Group& g) { QSqlQuery(s.database()).exec("drop table \"" + QString::fromStdString(g.gcode) + "\""); },
       false, {text::kOperationFailed, text::kGroupDropped}, false},
      {"table held open",
       [&held](ContactStore& s, const Group& g) {
         held.emplace(s.database());
         held->setForwardOnly(true);
         held->exec("select * from \"" + QString::fromStdString(g.gcode) + "\"");
         held->next();
       },
       false, {text::kOperationFailed}, true},
  };
  for (const Case& c : cases) {
    Group group = make_group(c.name);
    MemberEntry entry;
    entry.num = "0912";
    insert(group, entry);
    insert(group, entry);
    if (c.before) c.before(store, group);
    auto outcome = store.drop_group(c.name);
    held.reset();
    EXPECT_EQ(outcome.ok, c.ok) << c.name;
    EXPECT_EQ(outcome.messages, c.messages) << c.name;
    EXPECT_EQ(store.find_group(c.name).has_value(), c.row_left) << c.name;
    if (c.row_left) {
      EXPECT_EQ(store.count_members(group), 2) << c.name;
    }
  }
  EXPECT_EQ(store.drop_group("").messages, Messages{text::kChooseGroup});
}

TEST_F(ContactStoreTest, DropClosesTheWindowsDatasetsFirst) {
  Group group = make_group("g");
  std::optional<QSqlQuery> model(std::in_place, store.database());
  model->exec("select * from \"1\"");
  model->next();
  store.set_close_datasets([&] { model.reset(); });
  EXPECT_TRUE(store.drop_group("g").ok);
  EXPECT_FALSE(store.find_group("g").has_value());
  store.set_close_datasets(nullptr);  // the hook must not outlive what it closes
}

TEST_F(ContactStoreTest, InsertedMemberTexts) {
  Group group = make_group("g");
  struct Case {
    const char* name;
    std::function<void(MemberEntry&)> fill;
    std::function<void(const Member&)> check;
  };
  const Case cases[] = {
      {"no dates", [](MemberEntry&) {},
       [](const Member& m) {
         EXPECT_EQ(m.tart, "/");
         EXPECT_EQ(m.tarezd, "/");
         EXPECT_EQ(m.targ, "/");
         for (const auto& t : m.tar) EXPECT_EQ(t, "/");
         EXPECT_EQ(m.tare, "88888888");
       }},
      {"one digit each", [](MemberEntry& e) { e.birthday = {"5", "3"}; },
       [](const Member& m) { EXPECT_EQ(m.tart, "3/5"); }},
      {"month only", [](MemberEntry& e) { e.marriage = {"", "07"}; },
       [](const Member& m) { EXPECT_EQ(m.tarezd, "07/"); }},
      {"full last instalment",
       [](MemberEntry& e) {
         e.last_instalment = {"15", "05"};
         e.last_instalment_year = "1404";
         e.instalments[11] = {"01", "12"};
       },
       [](const Member& m) {
         EXPECT_EQ(m.tare, "14040515");
         EXPECT_EQ(m.tar[11], "12/01");
       }},
      {"last instalment without year",
       [](MemberEntry& e) { e.last_instalment = {"15", "05"}; },
       [](const Member& m) { EXPECT_EQ(m.tare, "88888888"); }},
      {"trimmed names, numbers as typed",
       [](MemberEntry& e) {
         e.name = "  علي ";
         e.family = " رضايي";
         e.num = " 0912";
         e.shsh = " 12 ";
       },
       [](const Member& m) {
         EXPECT_EQ(m.name, "علي");
         EXPECT_EQ(m.family, "رضايي");
         EXPECT_EQ(m.num, " 0912");
         EXPECT_EQ(m.shsh, " 12 ");
       }},
  };
  for (const Case& c : cases) {
    MemberEntry entry;
    entry.num = "0912";
    c.fill(entry);
    SCOPED_TRACE(c.name);
    c.check(insert(group, entry));
  }
  MemberEntry blank;
  blank.num = "   ";
  auto refused = store.insert_member(group, blank);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.messages, Messages{text::kEnterPhone});
}

TEST_F(ContactStoreTest, MemberIdsFollowTheLargest) {
  Group group = make_group("g");
  EXPECT_EQ(store.next_member_id(group), 1);
  MemberEntry entry;
  entry.num = "1";
  EXPECT_EQ(store.insert_member(group, entry).id, 1);
  EXPECT_EQ(store.insert_member(group, entry).id, 2);
  ASSERT_TRUE(run("update \"1\" set id=7 where id=2"));
  EXPECT_EQ(store.insert_member(group, entry).id, 8);
}

TEST_F(ContactStoreTest, EditAndDeleteInPlace) {
  Group group = make_group("g");
  MemberEntry entry;
  entry.num = "0912";
  Member member = insert(group, entry);
  member.num = "0935";
  member.tart = "01/01";
  member.tare = "abc";  // the grid stores what the column accepts
  EXPECT_TRUE(store.update_member(group, member).ok);
  auto rows = store.members(group);
  ASSERT_TRUE(rows && rows->size() == 1);
  EXPECT_EQ(rows->front(), member);
  EXPECT_TRUE(store.delete_member(group, member.row).ok);
  EXPECT_FALSE(store.delete_member(group, member.row).ok);
  EXPECT_EQ(store.count_members(group), 0);
}

TEST_F(ContactStoreTest, CountsAreExactBeyondAFetchBlock) {
  Group group = make_group("g");
  std::vector<Member> rows(1000);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].num = std::to_string(9120000 + i);
    rows[i].tart = i % 4 == 0 ? "03/05" : "/";
    rows[i].tare = "88888888";
  }
  ASSERT_TRUE(store.insert_rows(group, rows).ok);
  EXPECT_EQ(rows.back().id, 1000);
  EXPECT_EQ(store.count_members(group), 1000);
  MemberFilter filter{DateKind::Birthday, "03/05", 14030101};
  EXPECT_EQ(store.count_members(group, &filter), 250);
  auto matching = store.members(group, &filter);
  ASSERT_TRUE(matching);
  EXPECT_EQ(matching->size(), 250u);
  EXPECT_EQ(matching->front().num, "9120000");
  EXPECT_FALSE(store.count_members(Group{5, "x", "5"}).has_value());
  EXPECT_FALSE(store.count_members(Group{5, "x", "5\"; drop table groups; --"}).has_value());
}

TEST_F(ContactStoreTest, FilterMatchesRowsAsTheCampaignSeesThem) {
  Group group = make_group("g");
  auto add = [&](const char* num, auto fill) {
    Member m;
    m.num = num;
    m.tart = m.tarezd = m.targ = "/";
    m.tar.fill("/");
    m.tare = "88888888";
    fill(m);
    std::vector<Member> rows{m};
    ASSERT_TRUE(store.insert_rows(group, rows).ok);
  };
  add("1", [](Member& m) { m.tart = "03/05"; });
  add("2", [](Member& m) { m.tart = "3/5"; });  // never matches the padded filter
  add("3", [](Member& m) { m.tarezd = "03/05"; });
  add("4", [](Member& m) { m.targ = "03/05"; });
  add("5", [](Member& m) { m.tar[3] = "03/05"; });                        // 88888888: called
  add("6", [](Member& m) { m.tar[3] = "03/05"; m.tare = "14030514"; });  // a day before today
  add("7", [](Member& m) { m.tar[11] = "03/05"; m.tare = "14030515"; });  // today
  add("8", [](Member& m) { m.tar[0] = "03/05"; m.tare = "text"; });      // not a number: 0
  add("9", [](Member& m) { m.tart = "03/05' or '1'='1"; });
  struct Case {
    DateKind kind;
    std::vector<std::string> nums;
  };
  const Case cases[] = {{DateKind::Birthday, {"1"}},
                        {DateKind::Marriage, {"3"}},
                        {DateKind::Contract, {"4"}},
                        {DateKind::Instalments, {"5", "7"}}};
  for (const Case& c : cases) {
    MemberFilter filter{c.kind, "03/05", 14030515};
    auto rows = store.members(group, &filter);
    ASSERT_TRUE(rows);
    std::vector<std::string> nums;
    for (const Member& m : *rows) nums.push_back(m.num);
    EXPECT_EQ(nums, c.nums) << filter.expression();
    EXPECT_EQ(store.count_members(group, &filter), static_cast<long long>(c.nums.size()));
  }
  MemberFilter injected{DateKind::Birthday, "03/05' or '1'='1", 0};
  EXPECT_EQ(store.count_members(group, &injected), 1);  // only the row holding that very text
}

TEST(ContactStoreConnections, SeveralStoresOnOneFile) {
  TempFolder folder;
  ContactStore first(folder.path()), second(folder.path());
  ASSERT_TRUE(first.open().ok);
  ASSERT_TRUE(second.open().ok);
  ASSERT_TRUE(first.create_group("shared").ok);
  auto seen = second.find_group("shared");
  ASSERT_TRUE(seen);
  EXPECT_EQ(second.count_members(*seen), 0);
}

}  // namespace
}  // namespace orvexa::data
