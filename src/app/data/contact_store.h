// The contact database "Orvexa.dll" in the program folder: groups, their member tables, exact
// counts and the date filter. Each store has its own connection, so several may be open.
//
//   ContactStore store(program_folder);
//   if (auto opened = store.open(); !opened.ok) show(opened.message);
//   for (const Group& g : store.groups()) ...;
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/data/date_filter.h"
#include "app/data/member.h"

namespace orvexa::data {

inline constexpr const char* kDatabaseFileName = "Orvexa.dll";

struct Group {
  int code = 0;
  std::string name;   // gname
  std::string gcode;  // the member table's name
  friend bool operator==(const Group&, const Group&) = default;
};

struct OpenStatus {
  bool ok = false;
  bool created = false;  // the file did not exist and was made as the initial database
  std::string message;   // Persian, with the path, when !ok
};

// What an operation tells the operator, in order, and whether it did what it was asked.
struct Outcome {
  bool ok = false;
  std::vector<std::string> messages;
  std::string error;  // the database's own text, for logs
};

struct CreateGroupOutcome : Outcome {
  std::optional<Group> group;
};

struct InsertOutcome : Outcome {
  int id = 0;
};

class ContactStore {
 public:
  explicit ContactStore(std::filesystem::path program_folder);
  ~ContactStore();
  ContactStore(const ContactStore&) = delete;
  ContactStore& operator=(const ContactStore&) = delete;

  // Opens (creating a missing file as the initial database); refuses a file that is not one.
  OpenStatus open();
  void close();
  bool is_open() const;
  std::filesystem::path database_path() const { return database_path_; }
  // The connection, for models that show a table; closed by close().
  QSqlDatabase database() const;
  // Called before anything that needs no statement left open on a member table
  // (drop, backup, restore, close): the windows close their models here, and clear the hook
  // before those models go away.
  void set_close_datasets(std::function<void()> hook) { close_datasets_ = std::move(hook); }
  void close_datasets() const {
    if (close_datasets_) close_datasets_();
  }

  // "select * from groups where (code<>0)", in table order.
  std::vector<Group> groups();
  // The first listed group whose name equals `name` exactly.
  std::optional<Group> find_group(std::string_view name);
  // All rows of `groups`, the code-0 row included (the backup gauge counts them).
  int group_row_count();
  int next_group_code();

  // The row and its member table are created together or not at all.
  CreateGroupOutcome create_group(const std::string& name);
  // The confirmation is the caller's. A table that cannot be dropped keeps its row.
  Outcome drop_group(const std::string& name);

  // Exact counts (SELECT COUNT(*)), with the filter when given; nullopt on a database error.
  std::optional<long long> count_members(const Group& group, const MemberFilter* filter = nullptr);
  std::optional<std::vector<Member>> members(const Group& group,
                                             const MemberFilter* filter = nullptr);
  // "select max(id+1) as mx from" the table; 1 for an empty table.
  std::optional<int> next_member_id(const Group& group);
  InsertOutcome insert_member(const Group& group, const MemberEntry& entry);
  // Rows already formed (import): one transaction, ids numbered on from the next id.
  Outcome insert_rows(const Group& group, std::vector<Member>& rows);
  Outcome update_member(const Group& group, const Member& member);
  Outcome delete_member(const Group& group, std::int64_t row);

  std::string last_error() const { return last_error_; }

 private:
  bool exec(const QString& sql);
  bool has_table(const std::string& name);
  OpenStatus refuse(const std::string& why);
  // The indexes on the date columns that the filter compares (made when missing, so that files
  // from older versions gain them); dropped around a large import and made again after it.
  bool create_date_indexes(const std::string& gcode);
  bool drop_date_indexes(const std::string& gcode);
  void index_existing_tables();
  bool insert_raw(const QString& table, std::vector<Member>& rows, int first_id);

  std::filesystem::path database_path_;
  QString connection_;
  std::function<void()> close_datasets_;
  std::string last_error_;
};

// The member table's columns in table order.
inline constexpr const char* kMemberColumns =
    "id,name,family,shsh,cod,num,tart,tarezd,targ,tar1,tar2,tar3,tar4,tar5,tar6,tar7,tar8,tar9,"
    "tar10,tar11,tar12,tare";

// A digit-named table quoted for SQL; nullopt for a name that is not all digits.
std::optional<QString> quoted_table(const std::string& gcode);
// The member table's create statement, its two halves joined by a line break.
QString create_member_table_sql(const QString& quoted_name);

}  // namespace orvexa::data
