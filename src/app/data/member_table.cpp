// The member-table half of ContactStore: counts, lists and row changes on one group's table.
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include "app/data/contact_store.h"
#include "app/data/data_messages.h"

namespace orvexa::data {
namespace {

std::string utf8(const QVariant& value) { return value.toString().toStdString(); }
QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr const char* kMemberColumns =
    "id,name,family,shsh,cod,num,tart,tarezd,targ,tar1,tar2,tar3,tar4,tar5,tar6,tar7,tar8,tar9,"
    "tar10,tar11,tar12,tare";

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

Member member_from_query(const QSqlQuery& query) {
  Member m;
  m.row = query.value(0).toLongLong();
  m.id = query.value(1).toInt();
  m.name = utf8(query.value(2));
  m.family = utf8(query.value(3));
  m.shsh = utf8(query.value(4));
  m.cod = utf8(query.value(5));
  m.num = utf8(query.value(6));
  m.tart = utf8(query.value(7));
  m.tarezd = utf8(query.value(8));
  m.targ = utf8(query.value(9));
  for (int i = 0; i < 12; ++i) m.tar[static_cast<std::size_t>(i)] = utf8(query.value(10 + i));
  m.tare = utf8(query.value(22));
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

std::optional<std::vector<Member>> ContactStore::members(const Group& group,
                                                         const MemberFilter* filter) {
  auto table = quoted_table(group.gcode);
  if (!table) return std::nullopt;
  QSqlQuery query(database());
  query.setForwardOnly(true);
  query.prepare(QString("select rowid,") + kMemberColumns + " from " + *table +
                where_clause(filter) + " order by rowid");
  bind_filter(query, filter);
  if (!query.exec()) {
    last_error_ = query.lastError().text().toStdString();
    return std::nullopt;
  }
  std::vector<Member> list;
  while (query.next()) list.push_back(member_from_query(query));
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

Outcome ContactStore::insert_rows(const Group& group, std::vector<Member>& rows) {
  auto table = quoted_table(group.gcode);
  QSqlDatabase db = database();
  QSqlQuery query(db);
  if (!table) return failed(query);
  if (!db.transaction()) return failed(query);
  auto id = next_member_id(group);
  query.prepare("insert into " + *table + "(" + kMemberColumns +
                ") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  for (Member& row : rows) {
    if (!id) break;
    row.id = (*id)++;
    query.addBindValue(row.id);
    bind_columns(query, row);
    if (!query.exec()) {
      Outcome outcome = failed(query);
      db.rollback();
      return outcome;
    }
    row.row = query.lastInsertId().toLongLong();
  }
  if (!id || !db.commit()) {
    Outcome outcome = failed(query);
    outcome.error = last_error_;
    db.rollback();
    return outcome;
  }
  return {true, {}, {}};
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
