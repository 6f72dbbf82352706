// The date indexes of member tables and inserting many members at once.
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <charconv>
#include <memory>
#include <set>

#include "app/data/contact_store.h"
#include "app/data/data_messages.h"
#include "app/data/sqlite_handle.h"

namespace orvexa::data {
namespace {

// One index per date the filter compares; an instalment index also holds `tare`, so that the
// instalment filter's row test needs nothing else.
struct DateIndex {
  const char* column;
  const char* key;
};
constexpr DateIndex kDateIndexes[] = {
    {"tart", "tart"},        {"tarezd", "tarezd"},    {"targ", "targ"},
    {"tar1", "tar1,tare"},   {"tar2", "tar2,tare"},   {"tar3", "tar3,tare"},
    {"tar4", "tar4,tare"},   {"tar5", "tar5,tare"},   {"tar6", "tar6,tare"},
    {"tar7", "tar7,tare"},   {"tar8", "tar8,tare"},   {"tar9", "tar9,tare"},
    {"tar10", "tar10,tare"}, {"tar11", "tar11,tare"}, {"tar12", "tar12,tare"}};

// Index names cannot meet a member table's: those are digits only.
QString index_name(const std::string& gcode, const char* column) {
  return "\"" + QString::fromStdString(gcode) + "_" + column + "\"";
}

// Below this many new rows, or when they are few beside the rows already there, updating the
// indexes row by row is cheaper than building them again.
constexpr std::size_t kRebuildAtLeast = 2000;
constexpr long long kRebuildShare = 8;

// tare goes in as a number when it is one, as the grid's edits do.
bool bind_tare(sqlite3_stmt* statement, int index, const std::string& tare) {
  int value = 0;
  auto [end, error] = std::from_chars(tare.data(), tare.data() + tare.size(), value);
  if (!tare.empty() && error == std::errc() && end == tare.data() + tare.size())
    return sqlite3_bind_int(statement, index, value) == SQLITE_OK;
  return bind_text(statement, index, tare);
}

bool bind_member(sqlite3_stmt* statement, const Member& m) {
  bool ok = sqlite3_bind_int(statement, 1, m.id) == SQLITE_OK;
  int index = 2;
  for (const std::string* text : {&m.name, &m.family, &m.shsh, &m.cod, &m.num, &m.tart,
                                  &m.tarezd, &m.targ})
    ok = ok && bind_text(statement, index++, *text);
  for (const std::string& tar : m.tar) ok = ok && bind_text(statement, index++, tar);
  return ok && bind_tare(statement, index, m.tare);
}

}  // namespace

bool ContactStore::create_date_indexes(const std::string& gcode) {
  auto table = quoted_table(gcode);
  if (!table) return false;
  for (const DateIndex& index : kDateIndexes) {
    if (!exec("create index if not exists " + index_name(gcode, index.column) + " on " + *table +
              "(" + index.key + ")"))
      return false;
  }
  return true;
}

bool ContactStore::drop_date_indexes(const std::string& gcode) {
  for (const DateIndex& index : kDateIndexes)
    if (!exec("drop index if exists " + index_name(gcode, index.column))) return false;
  return true;
}

// Member tables of files written before the indexes existed get them once; a file we may not
// write keeps working without them.
void ContactStore::index_existing_tables() {
  std::set<std::string> indexed;
  QSqlQuery query(database());
  if (!query.exec("select name from sqlite_master where type='index'")) return;
  while (query.next()) indexed.insert(query.value(0).toString().toStdString());
  query.finish();
  auto complete = [&](const std::string& gcode) {
    return std::all_of(std::begin(kDateIndexes), std::end(kDateIndexes), [&](const DateIndex& i) {
      return indexed.contains(gcode + "_" + i.column);
    });
  };
  for (const Group& group : groups()) {
    if (complete(group.gcode) || !has_table(group.gcode)) continue;
    QSqlDatabase db = database();
    if (!db.transaction()) return;
    if (!create_date_indexes(group.gcode) || !db.commit()) db.rollback();
  }
}

bool ContactStore::insert_raw(const QString& table, std::vector<Member>& rows, int first_id) {
  sqlite3* handle = sqlite_handle(database());
  if (!handle) {
    last_error_ = "no SQLite connection";
    return false;
  }
  auto statement = prepare_statement(
      handle,
      "insert into " + table.toStdString() + "(" + kMemberColumns +
          ") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
      last_error_);
  sqlite3_stmt* prepared = statement.get();
  if (!prepared) return false;
  int id = first_id;
  for (Member& row : rows) {
    row.id = id++;
    if (!bind_member(prepared, row) || sqlite3_step(prepared) != SQLITE_DONE) {
      last_error_ = sqlite3_errmsg(handle);
      return false;
    }
    sqlite3_reset(prepared);
    row.row = sqlite3_last_insert_rowid(handle);
  }
  return true;
}

Outcome ContactStore::insert_rows(const Group& group, std::vector<Member>& rows) {
  Outcome outcome;
  outcome.messages.push_back(text::kOperationFailed);
  auto table = quoted_table(group.gcode);
  QSqlDatabase db = database();
  if (!table || !db.transaction()) {
    outcome.error = table ? db.lastError().text().toStdString() : "not a member table";
    return outcome;
  }
  const auto id = next_member_id(group);
  const auto existing = count_members(group);
  const bool rebuild = existing && rows.size() >= kRebuildAtLeast &&
                       static_cast<long long>(rows.size()) * kRebuildShare >= *existing;
  const bool stored = id && existing && (!rebuild || drop_date_indexes(group.gcode)) &&
                      insert_raw(*table, rows, *id) &&
                      (!rebuild || create_date_indexes(group.gcode)) && db.commit();
  if (!stored) {
    outcome.error = last_error_;
    db.rollback();
    return outcome;
  }
  return {true, {}, {}};
}

}  // namespace orvexa::data
