#include "app/data/contact_store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <cctype>
#include <system_error>

#include "app/data/data_messages.h"
#include "platform/host/partial_file.h"

namespace orvexa::data {
namespace {

std::string utf8(const QString& text) { return text.toStdString(); }
QString qt(const std::string& text) { return QString::fromStdString(text); }

// Other processes may hold the file: wait for their lock rather than fail at once.
constexpr const char* kConnectOptions = "QSQLITE_BUSY_TIMEOUT=5000";
constexpr const char* kCacheSize = "pragma cache_size = -16384";

}  // namespace

std::optional<QString> quoted_table(const std::string& gcode) {
  if (gcode.empty() || gcode.size() > 10 ||
      !std::all_of(gcode.begin(), gcode.end(), [](unsigned char c) { return std::isdigit(c); }))
    return std::nullopt;
  return "\"" + qt(gcode) + "\"";
}

QString create_member_table_sql(const QString& quoted_name) {
  return "create table " + quoted_name +
         "(id int,name varchar(40),family varchar(50),shsh varchar(15),cod varchar(15),num "
         "varchar(15) not null,tart varchar(5),tarezd varchar(5),targ varchar(5),\n"
         "tar1 varchar(5),tar2 varchar(5),tar3 varchar(5),tar4 varchar(5),tar5 varchar(5),tar6 "
         "varchar(5),tar7 varchar(5),tar8 varchar(5),tar9 varchar(5),tar10 varchar(5),tar11 "
         "varchar(5),tar12 varchar(5),tare int)";
}

ContactStore::ContactStore(std::filesystem::path program_folder)
    : connection_("orvexa-contacts-" + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
  // Absolute, so that the window, backup and restore use one file whatever the current folder.
  std::error_code error;
  auto folder = std::filesystem::absolute(program_folder, error);
  database_path_ = ((error ? program_folder : folder) / kDatabaseFileName).lexically_normal();
  // A restore killed midway left a copy as large as the database beside it: gone at this start.
  host::remove_stale_partial_files(database_path_);
}

ContactStore::~ContactStore() {
  close();
  QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase ContactStore::database() const { return QSqlDatabase::database(connection_, false); }

bool ContactStore::is_open() const { return database().isOpen(); }

void ContactStore::close() {
  if (!QSqlDatabase::contains(connection_)) return;
  close_datasets();
  QSqlDatabase db = database();
  db.close();
}

OpenStatus ContactStore::refuse(const std::string& why) {
  last_error_ = why;
  {
    QSqlDatabase db = database();
    db.close();
  }
  return {false, false, std::string(text::kDatabaseUnusable) + database_path_.string()};
}

OpenStatus ContactStore::open() {
  if (is_open()) return {true, false, {}};
  std::error_code error;
  const bool existed = std::filesystem::exists(database_path_, error);
  // SQLite treats an empty file as an empty database; it gets the initial contents too.
  const bool fresh = !existed || std::filesystem::file_size(database_path_, error) == 0;
  if (!QSqlDatabase::contains(connection_)) QSqlDatabase::addDatabase("QSQLITE", connection_);
  QSqlDatabase db = database();
  db.setDatabaseName(qt(database_path_.string()));
  db.setConnectOptions(kConnectOptions);
  if (!db.open()) return refuse(utf8(db.lastError().text()));
  // Room for a large group's date indexes and filtered rows (SQLite's default is 2 MB), so a
  // campaign start that filters again reads them from memory.
  exec(kCacheSize);
  if (fresh) {
    if (!db.transaction() ||
        !exec("create table groups (code int, gname varchar(50), gcode varchar(50))") ||
        !exec("insert into groups (code, gname, gcode) values (0, '', '0')") || !db.commit()) {
      db.rollback();
      return refuse(last_error_);
    }
    return {true, true, {}};
  }
  QSqlQuery check(db);
  if (!check.exec("select count(*) from sqlite_master where type='table' and name='groups'") ||
      !check.next())
    return refuse(utf8(check.lastError().text()));
  if (check.value(0).toInt() != 1) return refuse("no groups table");
  check.finish();
  index_existing_tables();
  return {true, false, {}};
}

bool ContactStore::exec(const QString& sql) {
  QSqlQuery query(database());
  if (query.exec(sql)) return true;
  last_error_ = utf8(query.lastError().text());
  return false;
}

bool ContactStore::has_table(const std::string& name) {
  QSqlQuery query(database());
  query.prepare("select count(*) from sqlite_master where type='table' and name=?");
  query.addBindValue(qt(name));
  return query.exec() && query.next() && query.value(0).toInt() > 0;
}

std::vector<Group> ContactStore::groups() {
  std::vector<Group> list;
  QSqlQuery query(database());
  query.setForwardOnly(true);
  if (!query.exec("select * from groups where (code<>0)")) {
    last_error_ = utf8(query.lastError().text());
    return list;
  }
  while (query.next()) {
    list.push_back({query.value("code").toInt(), utf8(query.value("gname").toString()),
                    utf8(query.value("gcode").toString())});
  }
  return list;
}

std::optional<Group> ContactStore::find_group(std::string_view name) {
  for (Group& group : groups())
    if (group.name == name) return std::move(group);
  return std::nullopt;
}

int ContactStore::group_row_count() {
  QSqlQuery query(database());
  if (!query.exec("select count(*) from groups") || !query.next()) return 0;
  return query.value(0).toInt();
}

int ContactStore::next_group_code() {
  QSqlQuery query(database());
  // An empty groups table gives NULL: the first group then gets code 1.
  if (!query.exec("select max(code+1) as ng from groups") || !query.next()) return 1;
  const QVariant ng = query.value("ng");
  return ng.isNull() ? 1 : std::max(1, ng.toInt());
}

CreateGroupOutcome ContactStore::create_group(const std::string& name) {
  CreateGroupOutcome outcome;
  if (name.empty()) {
    outcome.messages.push_back(text::kEnterGroupName);
    return outcome;
  }
  const int code = next_group_code();
  {
    QSqlQuery rows(database());
    rows.setForwardOnly(true);
    if (!rows.exec("select gname from groups")) {
      outcome.error = last_error_ = utf8(rows.lastError().text());
      outcome.messages.push_back(text::kOperationFailed);
      return outcome;
    }
    while (rows.next()) {
      if (utf8(rows.value(0).toString()) == name) {
        outcome.messages.push_back(text::kDuplicateGroup);
        return outcome;
      }
    }
  }
  const std::string gcode = std::to_string(code);
  QSqlDatabase db = database();
  QSqlQuery insert(db);
  insert.prepare("insert into groups (gname, gcode, code) values (?, ?, ?)");
  insert.addBindValue(qt(name));
  insert.addBindValue(qt(gcode));
  insert.addBindValue(code);
  bool stored = db.transaction();
  if (stored && !insert.exec()) {
    last_error_ = utf8(insert.lastError().text());
    stored = false;
  }
  stored = stored && exec(create_member_table_sql(*quoted_table(gcode))) &&
           create_date_indexes(gcode) && db.commit();
  if (!stored) {
    db.rollback();
    outcome.error = last_error_;
    outcome.messages.push_back(text::kOperationFailed);
    return outcome;
  }
  outcome.ok = true;
  outcome.group = Group{code, name, gcode};
  outcome.messages.push_back(text::kGroupCreated);
  return outcome;
}

Outcome ContactStore::drop_group(const std::string& name) {
  Outcome outcome;
  auto group = name.empty() ? std::nullopt : find_group(name);
  if (!group) {
    outcome.messages.push_back(text::kChooseGroup);
    return outcome;
  }
  close_datasets();
  QSqlDatabase db = database();
  if (!db.transaction()) {
    outcome.error = last_error_ = utf8(db.lastError().text());
    outcome.messages.push_back(text::kOperationFailed);
    return outcome;
  }
  auto table = quoted_table(group->gcode);
  const bool dropped = table && exec("drop table " + *table);
  if (!dropped) {
    outcome.error = last_error_;
    outcome.messages.push_back(text::kOperationFailed);
    // Only a table that is really gone lets the row go: a new group must never find old members.
    if (table && has_table(group->gcode)) {
      db.rollback();
      return outcome;
    }
  }
  QSqlQuery remove(db);
  remove.prepare("delete from groups where code = ?");
  remove.addBindValue(group->code);
  if (!remove.exec() || !db.commit()) {
    outcome.error = last_error_ = utf8(remove.lastError().text());
    db.rollback();
    outcome.messages.push_back(text::kOperationFailed);
    return outcome;
  }
  outcome.ok = dropped;
  outcome.messages.push_back(text::kGroupDropped);
  return outcome;
}

}  // namespace orvexa::data
