#include "app/records/schedule_table.h"

#include "app/records/sqlite_statement.h"

namespace orvexa::records {

namespace {

// Solar days are kept as YYYYMMDD numbers, which order as the days do.
std::optional<data::SolarDate> day_from(std::optional<std::int64_t> compact) {
  if (!compact) return std::nullopt;
  const int v = static_cast<int>(*compact);
  return data::SolarDate{v / 10000, v / 100 % 100, v % 100};
}

std::optional<std::string> maybe_text(const Statement& q, int c) {
  return q.null(c) ? std::nullopt : std::optional<std::string>(q.text(c));
}

}  // namespace

std::optional<std::int64_t> ScheduleTable::add(const schedule::DailySchedule& s) {
  Statement q(db_.handle(),
              "INSERT INTO schedules (group_name, kind, ahead, at_minute, opening_path, main_path, "
              "channels, calling_hours, enabled) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  q.bind(1, s.group).bind(2, std::string_view(schedule::date_kind_name(s.kind))).bind(3, s.ahead);
  q.bind(4, s.at_minute).bind(5, s.opening).bind(6, s.main).bind(7, s.channels);
  q.bind(8, s.calling_hours ? 1 : 0).bind(9, s.enabled ? 1 : 0);
  if (!q.run()) return std::nullopt;
  return sqlite3_last_insert_rowid(db_.handle());
}

bool ScheduleTable::remove(std::int64_t id) {
  Statement q(db_.handle(), "DELETE FROM schedules WHERE id = ?1");
  return q.bind(1, id).run() && sqlite3_changes(db_.handle()) > 0;
}

std::vector<schedule::DailySchedule> ScheduleTable::schedules() {
  std::vector<schedule::DailySchedule> out;
  Statement q(db_.handle(),
              "SELECT id, group_name, kind, ahead, at_minute, opening_path, main_path, channels, "
              "calling_hours, enabled, last_run_day, last_campaign FROM schedules ORDER BY id");
  while (q.step() == SQLITE_ROW) {
    schedule::DailySchedule s;
    s.id = q.integer(0);
    s.group = maybe_text(q, 1);
    s.kind = data::date_kind_from_name(q.text(2)).value_or(data::DateKind::Birthday);
    s.ahead = static_cast<int>(q.integer(3));
    s.at_minute = static_cast<int>(q.integer(4));
    s.opening = maybe_text(q, 5);
    s.main = maybe_text(q, 6);
    s.channels = static_cast<int>(q.integer(7));
    s.calling_hours = q.integer(8) != 0;
    s.enabled = q.integer(9) != 0;
    s.last_run = day_from(q.maybe_integer(10));
    s.last_campaign = q.maybe_integer(11);
    out.push_back(std::move(s));
  }
  return out;
}

bool ScheduleTable::claim(std::int64_t id, const data::SolarDate& day) {
  // One statement: the check and the mark cannot be split by another program's pass.
  Statement q(db_.handle(),
              "UPDATE schedules SET last_run_day = ?2, last_campaign = NULL WHERE id = ?1 AND "
              "(last_run_day IS NULL OR last_run_day < ?2)");
  return q.bind(1, id).bind(2, day.compact()).run() && sqlite3_changes(db_.handle()) == 1;
}

bool ScheduleTable::set_campaign(std::int64_t id, std::int64_t campaign) {
  Statement q(db_.handle(), "UPDATE schedules SET last_campaign = ?2 WHERE id = ?1");
  return q.bind(1, id).bind(2, campaign).run() && sqlite3_changes(db_.handle()) == 1;
}

}  // namespace orvexa::records
