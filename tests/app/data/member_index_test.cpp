// The date indexes of member tables: present after every way a table comes to be, used by the
// filter, and never changing which rows it gives.
#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QVariant>
#include <charconv>
#include <random>

#include "app/data/contact_store.h"
#include "temp_folder.h"

namespace orvexa::data {
namespace {

using testing_support::TempFolder;

int index_count(ContactStore& store, const std::string& table) {
  QSqlQuery query(store.database());
  query.prepare("select count(*) from sqlite_master where type='index' and tbl_name=?");
  query.addBindValue(QString::fromStdString(table));
  return query.exec() && query.next() ? query.value(0).toInt() : -1;
}

std::string query_plan(ContactStore& store, const Group& group, const MemberFilter& filter) {
  QSqlQuery query(store.database());
  query.prepare("explain query plan select * from " + *quoted_table(group.gcode) + " where " +
                QString::fromStdString(filter.sql_where()));
  for (const BoundValue& value : filter.bindings())
    query.addBindValue(value.number ? QVariant(*value.number)
                                    : QVariant(QString::fromStdString(value.text)));
  std::string plan;
  if (!query.exec()) return "failed";
  while (query.next()) plan += query.value(3).toString().toStdString() + "\n";
  return plan;
}

// The row predicates, written out independently of the SQL.
bool matches(const Member& m, const MemberFilter& filter) {
  switch (filter.kind) {
    case DateKind::Birthday: return m.tart == filter.date;
    case DateKind::Marriage: return m.tarezd == filter.date;
    case DateKind::Contract: return m.targ == filter.date;
    case DateKind::Instalments: break;
  }
  long long tare = 0;
  std::from_chars(m.tare.data(), m.tare.data() + m.tare.size(), tare);
  if (tare < filter.today) return false;
  for (const std::string& tar : m.tar)
    if (tar == filter.date) return true;
  return false;
}

std::vector<Member> random_members(std::mt19937& random, std::size_t count) {
  const char* dates[] = {"03/05", "3/5", "/", "12/30", "03/06", ""};
  const char* tares[] = {"88888888", "14030514", "14030515", "14030516", "text", ""};
  auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
  std::vector<Member> rows(count);
  for (Member& m : rows) {
    m.num = std::to_string(random() % 100000000);
    m.tart = pick(dates);
    m.tarezd = pick(dates);
    m.targ = pick(dates);
    for (std::string& tar : m.tar) tar = random() % 4 ? "/" : pick(dates);
    m.tare = pick(tares);
  }
  return rows;
}

const MemberFilter kFilters[] = {{DateKind::Birthday, "03/05", 14030515},
                                 {DateKind::Marriage, "03/05", 14030515},
                                 {DateKind::Contract, "12/30", 14030515},
                                 {DateKind::Instalments, "03/05", 14030515},
                                 {DateKind::Instalments, "12/30", 14030516}};

// A large import rebuilds the indexes, a small one updates them; both give what the predicates
// give, and every filter is answered through its index rather than a scan of the table.
TEST(MemberIndexes, FilterRowsStayThoseOfThePredicates) {
  TempFolder folder;
  ContactStore store(folder.path());
  ASSERT_TRUE(store.open().ok);
  Group group = *store.create_group("g").group;
  EXPECT_EQ(index_count(store, group.gcode), 15);
  std::mt19937 random(5);
  std::vector<Member> all;
  for (std::size_t batch : {3000u, 40u}) {
    auto rows = random_members(random, batch);
    ASSERT_TRUE(store.insert_rows(group, rows).ok);
    all.insert(all.end(), rows.begin(), rows.end());
    EXPECT_EQ(index_count(store, group.gcode), 15);
    for (const MemberFilter& filter : kFilters) {
      std::vector<Member> want;
      for (const Member& m : all)
        if (matches(m, filter)) want.push_back(m);
      auto got = store.members(group, &filter);
      ASSERT_TRUE(got);
      EXPECT_TRUE(*got == want) << filter.expression() << ": " << got->size() << " rows, want "
                                << want.size();
      EXPECT_EQ(store.count_members(group, &filter), static_cast<long long>(want.size()));
      const std::string plan = query_plan(store, group, filter);
      EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
      EXPECT_NE(plan.find("INDEX"), std::string::npos) << plan;
    }
  }
}

TEST(MemberIndexes, OlderFilesGainThemAndDropTakesThem) {
  TempFolder folder;
  Group group;
  {
    ContactStore store(folder.path());
    ASSERT_TRUE(store.open().ok);
    group = *store.create_group("old").group;
    QSqlQuery query(store.database());
    for (const char* column : {"tart", "tarezd", "targ", "tar1", "tar7", "tar12"})
      ASSERT_TRUE(query.exec(QString("drop index \"1_") + column + "\""));
    // A group row whose table is gone must not stop the others from being indexed.
    ASSERT_TRUE(query.exec("insert into groups (code, gname, gcode) values (9, 'gone', '9')"));
    EXPECT_EQ(index_count(store, group.gcode), 9);
  }
  ContactStore store(folder.path());
  ASSERT_TRUE(store.open().ok);
  EXPECT_EQ(index_count(store, group.gcode), 15);
  ASSERT_TRUE(store.drop_group("old").ok);
  QSqlQuery left(store.database());
  ASSERT_TRUE(left.exec("select count(*) from sqlite_master where type='index'") && left.next());
  EXPECT_EQ(left.value(0).toInt(), 0);
}

}  // namespace
}  // namespace orvexa::data
