// The calls database's tables. Times are milliseconds since the epoch (UTC); a campaign's
// members are numbered by their place in its plan; attempts are numbered within their campaign
// and stored in that order, so one campaign's calls are one range of the table. An attempt
// without an outcome is a call in progress (or one whose program died); a member's progress is
// the one its latest ended attempt left, so ending a call is one row's update. The do-not-call
// list holds numbers in the form the member import gives them. With retries by outcome an
// attempt also keeps when its member is due again (retry_at_ms, added in schema 2).
#pragma once

namespace orvexa::records {

// What schema 2 added to a file of schema 1.
inline constexpr const char* kCallsSchema2 = "ALTER TABLE attempts ADD COLUMN retry_at_ms INTEGER;";

inline constexpr const char* kCallsSchema = R"sql(
CREATE TABLE IF NOT EXISTS campaigns (
  id INTEGER PRIMARY KEY,
  started_ms INTEGER NOT NULL,
  ended_ms INTEGER,
  choice TEXT NOT NULL,
  chosen TEXT NOT NULL,
  filter TEXT NOT NULL,
  settings TEXT NOT NULL,
  opening_path TEXT NOT NULL, opening_seconds REAL NOT NULL, opening_sha256 TEXT NOT NULL,
  main_path TEXT NOT NULL, main_seconds REAL NOT NULL, main_sha256 TEXT NOT NULL,
  lines TEXT NOT NULL,
  state TEXT NOT NULL,
  owner_pid INTEGER NOT NULL,
  owner_boot TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS members (
  campaign INTEGER NOT NULL REFERENCES campaigns(id),
  position INTEGER NOT NULL,
  group_name TEXT NOT NULL,
  gcode TEXT NOT NULL,
  member_row INTEGER,
  name TEXT NOT NULL,
  family TEXT NOT NULL,
  number TEXT NOT NULL,
  PRIMARY KEY (campaign, position)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS attempts (
  campaign INTEGER NOT NULL REFERENCES campaigns(id),
  id INTEGER NOT NULL,
  member INTEGER NOT NULL,
  attempt INTEGER NOT NULL,
  line INTEGER NOT NULL,
  channel INTEGER NOT NULL,
  dialled_ms INTEGER NOT NULL,
  answered_ms INTEGER,
  ended_ms INTEGER,
  outcome TEXT,
  keys TEXT NOT NULL DEFAULT '',
  opening_heard_s REAL NOT NULL DEFAULT 0,
  main_heard_s REAL NOT NULL DEFAULT 0,
  line_error INTEGER NOT NULL DEFAULT 0,
  disconnect_mode INTEGER NOT NULL DEFAULT 0,
  sip_status INTEGER NOT NULL DEFAULT 0,
  reason TEXT NOT NULL DEFAULT '',
  progress TEXT,
  retry_at_ms INTEGER,
  PRIMARY KEY (campaign, id)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS dnc (
  number TEXT PRIMARY KEY,
  added_ms INTEGER NOT NULL,
  reason TEXT NOT NULL DEFAULT ''
) WITHOUT ROWID;
-- The operator's changes to the official holidays in the order made: kind add, remove or move;
-- Solar dates as YYYY/MM/DD.
CREATE TABLE IF NOT EXISTS holiday_changes (
  id INTEGER PRIMARY KEY,
  kind TEXT NOT NULL,
  date TEXT NOT NULL,
  to_date TEXT NOT NULL DEFAULT '',
  name TEXT NOT NULL DEFAULT '',
  added_ms INTEGER NOT NULL
);
-- Daily reminders: a NULL group_name is every group; at_minute is the local time of day;
-- last_run_day is the Solar day (YYYYMMDD) of the latest run, marked before its calls start.
CREATE TABLE IF NOT EXISTS schedules (
  id INTEGER PRIMARY KEY,
  group_name TEXT,
  kind TEXT NOT NULL,
  ahead INTEGER NOT NULL,
  at_minute INTEGER NOT NULL,
  opening_path TEXT,
  main_path TEXT,
  channels INTEGER NOT NULL DEFAULT 1,
  calling_hours INTEGER NOT NULL DEFAULT 1,
  enabled INTEGER NOT NULL DEFAULT 1,
  last_run_day INTEGER,
  last_campaign INTEGER
);
)sql";

}  // namespace orvexa::records
