// The member-table half of ContactStore: counts, lists and row changes on one group's table.
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "app/data/contact_store.h"
#include "app/data/data_messages.h"
#include "app/data/sqlite_handle.h"

namespace orvexa::data {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

void bind_filter(QSqlQuery& query, const MemberFilter* filter) {
  if (!filter) return;
  for (const BoundValue& value : filter->bindings()) {
    if (value.number) query.addBindValue(*value.number);
    else query.addBindValue(qt(value.text));
  }
}

QString where_clause(const MemberFilter* filter) {
  return filter ? " where " + QString::fromStdString(filter->sql_where()) : QString();
}

std::string column_text(sqlite3_stmt* row, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
              : std::string();
}

Member member_from_row(sqlite3_stmt* row) {
  Member m;
  m.row = sqlite3_column_int64(row, 0);
  m.id = sqlite3_column_int(row, 1);
  for (auto [field, column] : {std::pair{&m.name, 2}, {&m.family, 3}, {&m.shsh, 4}, {&m.cod, 5},
                               {&m.num, 6}, {&m.tart, 7}, {&m.tarezd, 8}, {&m.targ, 9}})
    *field = column_text(row, column);
  for (int i = 0; i < 12; ++i) m.tar[static_cast<std::size_t>(i)] = column_text(row, 10 + i);
  m.tare = column_text(row, 22);
  return m;
}

// Binds the 21 stored columns after `id`, in table order; tare as a number when it is one.
void bind_columns(QSqlQuery& query, const Member& m) {
  for (const std::string* text : {&m.name, &m.family, &m.shsh, &m.cod, &m.num, &m.tart,
                                  &m.tarezd, &m.targ})
    query.addBindValue(qt(*text));
  for (const std::string& tar : m.tar) query.addBindValue(qt(tar));
  bool numeric = false;
  const int tare = qt(m.tare).toInt(&numeric);
  query.addBindValue(numeric ? QVariant(tare) : QVariant(qt(m.tare)));
}

Outcome failed(const QSqlQuery& query) {
  Outcome outcome;
  outcome.error = query.lastError().text().toStdString();
  outcome.messages.push_back(text::kOperationFailed);
  return outcome;
}

}  // namespace

std::optional<long long> ContactStore::count_members(const Group& group,
                                                     const MemberFilter* filter) {
  auto table = quoted_table(group.gcode);
  if (!table) return std::nullopt;
  QSqlQuery query(database());
  query.prepare("select count(*) from " + *table + where_clause(filter));
  bind_filter(query, filter);
  if (!query.exec() || !query.next()) {
    last_error_ = query.lastError().text().toStdString();
    return std::nullopt;
  }
  return query.value(0).toLongLong();
}

// Read through SQLite itself: Qt would turn every value into UTF-16 and back.
std::optional<std::vector<Member>> ContactStore::members(const Group& group,
                                                         const MemberFilter* filter) {
  auto table = quoted_table(group.gcode);
  sqlite3* handle = sqlite_handle(database());
  if (!table || !handle) return std::nullopt;
  auto statement = prepare_statement(
      handle,
      std::string("select rowid,") + kMemberColumns + " from " + table->toStdString() +
          where_clause(filter).toStdString() + " order by rowid",
      last_error_);
  sqlite3_stmt* select = statement.get();
  if (!select) return std::nullopt;
  const std::vector<BoundValue> values = filter ? filter->bindings() : std::vector<BoundValue>{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    if (values[i].number) sqlite3_bind_int(select, index, *values[i].number);
    else bind_text(select, index, values[i].text);
  }
  std::vector<Member> list;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(select)) == SQLITE_ROW) list.push_back(member_from_row(select));
  if (step != SQLITE_DONE) {
    last_error_ = sqlite3_errmsg(handle);
    return std::nullopt;
  }
  return list;
}

std::optional<int> ContactStore::next_member_id(const Group& group) {
  auto table = quoted_table(group.gcode);
  if (!table) return std::nullopt;
  QSqlQuery query(database());
  if (!query.exec("select max(id+1) as mx from " + *table) || !query.next()) {
    last_error_ = query.lastError().text().toStdString();
    return std::nullopt;
  }
  const QVariant mx = query.value("mx");
  return mx.isNull() ? 1 : mx.toInt();
}

InsertOutcome ContactStore::insert_member(const Group& group, const MemberEntry& entry) {
  InsertOutcome outcome;
  if (qt(entry.num).trimmed().isEmpty()) {
    outcome.messages.push_back(text::kEnterPhone);
    return outcome;
  }
  auto member = member_from_entry(entry);
  if (!member) {
    outcome.error = "last-instalment date is not a number";
    outcome.messages.push_back(text::kOperationFailed);
    return outcome;
  }
  std::vector<Member> rows{*member};
  Outcome stored = insert_rows(group, rows);
  outcome.ok = stored.ok;
  outcome.error = stored.error;
  outcome.messages = stored.ok ? std::vector<std::string>{text::kMemberStored} : stored.messages;
  if (stored.ok) outcome.id = rows.front().id;
  return outcome;
}

Outcome ContactStore::update_member(const Group& group, const Member& member) {
  auto table = quoted_table(group.gcode);
  QSqlQuery query(database());
  if (!table) return failed(query);
  query.prepare("update " + *table +
                " set id=?,name=?,family=?,shsh=?,cod=?,num=?,tart=?,tarezd=?,targ=?,tar1=?,"
                "tar2=?,tar3=?,tar4=?,tar5=?,tar6=?,tar7=?,tar8=?,tar9=?,tar10=?,tar11=?,"
                "tar12=?,tare=? where rowid=?");
  query.addBindValue(member.id);
  bind_columns(query, member);
  query.addBindValue(static_cast<qlonglong>(member.row));
  if (!query.exec() || query.numRowsAffected() != 1) return failed(query);
  return {true, {}, {}};
}

Outcome ContactStore::delete_member(const Group& group, std::int64_t row) {
  auto table = quoted_table(group.gcode);
  QSqlQuery query(database());
  if (!table) return failed(query);
  query.prepare("delete from " + *table + " where rowid=?");
  query.addBindValue(static_cast<qlonglong>(row));
  if (!query.exec() || query.numRowsAffected() != 1) return failed(query);
  return {true, {}, {}};
}

}  // namespace orvexa::data
