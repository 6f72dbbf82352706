#include "app/records/holiday_store.h"

#include <sqlite3.h>

#include "app/data/holiday_text.h"
#include "app/records/sqlite_statement.h"

namespace orvexa::records {

namespace {
std::int64_t ms(messaging::WallTime t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// A row written by hand or by a later program with a date this one cannot read is passed over
// rather than taken as some other day.
std::optional<data::SolarDate> stored_date(const std::string& text) { return data::read_holiday_date(text).date; }
}  // namespace

data::HolidayChanges HolidayStore::changes() {
  data::HolidayChanges out;
  Statement q(db_.handle(), "SELECT kind, date, to_date, name FROM holiday_changes ORDER BY id");
  while (q.step() == SQLITE_ROW) {
    const std::string kind = q.text(0);
    const auto date = stored_date(q.text(1));
    if (!date) continue;
    if (kind == "remove") {
      out.removed.push_back(*date);
    } else if (kind == "add") {
      out.added.push_back({*date, q.text(3)});
    } else if (const auto to = stored_date(q.text(2)); kind == "move" && to) {
      out.moved.push_back({*date, *to});
    }
  }
  return out;
}

// The years around the day, so a holiday moved across the new year is found on either side.
bool HolidayStore::is_holiday(const data::SolarDate& date) {
  return data::HolidayCalendar(date.year - 1, date.year + 1, changes()).is_holiday(date);
}

bool HolidayStore::insert(std::string_view kind, const data::SolarDate& date, std::string_view to_date,
                          std::string_view name) {
  Statement q(db_.handle(),
              "INSERT INTO holiday_changes (kind, date, to_date, name, added_ms) VALUES (?1, ?2, ?3, ?4, ?5)");
  return q.bind(1, kind).bind(2, date.text()).bind(3, to_date).bind(4, name).bind(5, ms(clock_.wall_now())).run();
}

bool HolidayStore::update(const char* sql, std::initializer_list<std::string_view> values) {
  Statement q(db_.handle(), sql);
  int i = 0;
  for (const std::string_view v : values) q.bind(++i, v);
  return q.run();
}

HolidayEdit HolidayStore::commit(bool ok) {
  if (ok && execute(db_.handle(), "COMMIT")) return HolidayEdit::Done;
  execute(db_.handle(), "ROLLBACK");
  return HolidayEdit::Failed;
}

bool HolidayStore::add(const std::vector<data::HolidayAddition>& holidays) {
  if (!execute(db_.handle(), "BEGIN IMMEDIATE")) return false;
  bool ok = true;
  for (const auto& h : holidays) ok = ok && insert("add", h.date, "", h.name);
  return commit(ok) == HolidayEdit::Done;
}

HolidayEdit HolidayStore::remove(const data::SolarDate& date) {
  if (!is_holiday(date)) return HolidayEdit::NotAHoliday;
  if (!execute(db_.handle(), "BEGIN IMMEDIATE")) return HolidayEdit::Failed;
  const std::string day = date.text();
  bool ok = update("DELETE FROM holiday_changes WHERE kind = 'add' AND date = ?1", {day}) &&
            update("UPDATE holiday_changes SET kind = 'remove', to_date = '' WHERE kind = 'move' AND to_date = ?1",
                   {day});
  // What is left on the day is shipped.
  if (ok && is_holiday(date)) ok = insert("remove", date, "", "");
  return commit(ok);
}

HolidayEdit HolidayStore::move(const data::SolarDate& from, const data::SolarDate& to) {
  if (!is_holiday(from)) return HolidayEdit::NotAHoliday;
  if (from == to) return HolidayEdit::Done;
  if (!execute(db_.handle(), "BEGIN IMMEDIATE")) return HolidayEdit::Failed;
  const std::string day = from.text(), target = to.text();
  bool ok = update("UPDATE holiday_changes SET date = ?2 WHERE kind = 'add' AND date = ?1", {day, target}) &&
            update("UPDATE holiday_changes SET to_date = ?2 WHERE kind = 'move' AND to_date = ?1", {day, target}) &&
            // A holiday moved back to its shipped day needs no change.
            update("DELETE FROM holiday_changes WHERE kind = 'move' AND date = to_date", {});
  if (ok && is_holiday(from)) ok = insert("move", from, target, "");
  return commit(ok);
}

}  // namespace orvexa::records
