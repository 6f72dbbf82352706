#include "app/main/member_table_model.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "app/data/data_messages.h"

namespace orvexa::app {

namespace {

struct Column {
  const char* name;
  const char* title;
  int limit;
};

constexpr Column kGridColumns[MemberTableModel::kColumns] = {
    {"name", "نام", 40},           {"family", "نام خانوادگي", 50}, {"num", "شماره تلفن", 15},
    {"shsh", "شماره شناسنامه", 15}, {"cod", "کد ملي يا ...", 15},  {"tart", "تاريخ تولد", 5},
    {"tarezd", "تاريخ ازدواج", 5},  {"targ", "تاريخ قرارداد", 5},  {"tar1", "تاريخ اقساط", 5},
    {"tar2", "تاريخ اقساط", 5},     {"tar3", "تاريخ اقساط", 5},    {"tar4", "تاريخ اقساط", 5},
    {"tar5", "تاريخ اقساط", 5},     {"tar6", "تاريخ اقساط", 5},    {"tar7", "تاريخ اقساط", 5},
    {"tar8", "تاريخ اقساط", 5},     {"tar9", "تاريخ اقساط", 5},    {"tar10", "تاريخ اقساط", 5},
    {"tar11", "تاريخ اقساط", 5},    {"tar12", "تاريخ اقساط", 5},   {"tare", "آخرين قسط", 11},
};
constexpr int kTareColumn = 20;

QString select_columns() {
  QString list = "rowid,id";
  for (const Column& c : kGridColumns) list += QString(",") + c.name;
  return list;
}

std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace

const char* MemberTableModel::column_name(int column) { return kGridColumns[column].name; }
QString MemberTableModel::column_title(int column) {
  return QString::fromUtf8(kGridColumns[column].title);
}
int MemberTableModel::column_limit(int column) { return kGridColumns[column].limit; }

MemberTableModel::MemberTableModel(data::ContactStore& store, bool editable, QObject* parent)
    : QAbstractTableModel(parent), store_(store), editable_(editable) {}

bool MemberTableModel::open(const data::Group& group) {
  group_ = group;
  return reread();
}

void MemberTableModel::close() {
  beginResetModel();
  group_.reset();
  rowids_.clear();
  blocks_.clear();
  block_order_.clear();
  pending_row_ = -1;
  endResetModel();
}

bool MemberTableModel::reread() {
  beginResetModel();
  rowids_.clear();
  blocks_.clear();
  block_order_.clear();
  pending_row_ = -1;
  bool ok = false;
  if (auto table = group_ ? data::quoted_table(group_->gcode) : std::nullopt) {
    QSqlQuery query(store_.database());
    query.setForwardOnly(true);
    ok = query.exec("select rowid from " + *table + " order by rowid");
    while (ok && query.next()) rowids_.push_back(query.value(0).toLongLong());
  }
  if (!ok) group_.reset();
  endResetModel();
  return ok;
}

bool MemberTableModel::load_block(int block) const {
  if (blocks_.count(block)) return true;
  auto table = data::quoted_table(group_->gcode);
  const std::size_t first = static_cast<std::size_t>(block) * kBlockRows;
  const std::size_t last = std::min(rowids_.size(), first + kBlockRows) - 1;
  QSqlQuery query(store_.database());
  query.setForwardOnly(true);
  query.prepare("select " + select_columns() + " from " + *table +
                " where rowid between ? and ? order by rowid");
  query.addBindValue(static_cast<qlonglong>(rowids_[first]));
  query.addBindValue(static_cast<qlonglong>(rowids_[last]));
  if (!query.exec()) return false;
  std::vector<Row> rows(last - first + 1);
  std::size_t at = 0;
  while (query.next()) {
    const std::int64_t rowid = query.value(0).toLongLong();
    // Rows another program removed meanwhile stay empty until the next reading.
    while (at < rows.size() && rowids_[first + at] < rowid) ++at;
    if (at == rows.size()) break;
    Row& row = rows[at++];
    row.rowid = rowid;
    row.id = query.value(1).toInt();
    for (int c = 0; c < kColumns; ++c) row.values[static_cast<std::size_t>(c)] = query.value(2 + c).toString();
  }
  if (block_order_.size() >= kCachedBlocks) {
    blocks_.erase(block_order_.front());
    block_order_.pop_front();
  }
  blocks_.emplace(block, std::move(rows));
  block_order_.push_back(block);
  return true;
}

const MemberTableModel::Row* MemberTableModel::row_at(int row) const {
  if (!group_ || row < 0 || static_cast<std::size_t>(row) >= rowids_.size()) return nullptr;
  if (row == pending_row_) return &pending_;
  const int block = row / kBlockRows;
  if (!load_block(block)) return nullptr;
  return &blocks_.at(block)[static_cast<std::size_t>(row % kBlockRows)];
}

int MemberTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rowids_.size());
}

int MemberTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant MemberTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const Row* row = row_at(index.row());
  if (!row || index.column() < 0 || index.column() >= kColumns) return {};
  return row->values[static_cast<std::size_t>(index.column())];
}

QVariant MemberTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (role == Qt::DisplayRole) return column_title(section);
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
  return {};
}

Qt::ItemFlags MemberTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (editable_ && index.isValid()) f |= Qt::ItemIsEditable;
  return f;
}

bool MemberTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!editable_ || role != Qt::EditRole || !index.isValid()) return false;
  if (pending_row_ >= 0 && pending_row_ != index.row()) {
    std::string ignored;  // the grid posts on a row change; this only covers a direct call
    if (!post(ignored)) return false;
  }
  if (pending_row_ != index.row()) {
    const Row* current = row_at(index.row());
    if (!current) return false;
    pending_ = *current;
    pending_row_ = index.row();
  }
  const int column = index.column();
  pending_.values[static_cast<std::size_t>(column)] = value.toString().left(column_limit(column));
  emit dataChanged(index, index);
  return true;
}

bool MemberTableModel::post(std::string& error) {
  if (pending_row_ < 0) return true;
  const Row edited = pending_;
  const int edited_row = pending_row_;
  pending_row_ = -1;
  data::Member member;
  member.row = edited.rowid;
  member.id = edited.id;
  const auto& v = edited.values;
  std::string* texts[] = {&member.name, &member.family, &member.num, &member.shsh, &member.cod,
                          &member.tart, &member.tarezd, &member.targ};
  for (std::size_t c = 0; c < 8; ++c) *texts[c] = utf8(v[c]);
  for (std::size_t i = 0; i < 12; ++i) member.tar[i] = utf8(v[8 + i]);
  member.tare = utf8(v[kTareColumn]);
  bool number = true;
  if (!v[kTareColumn].isEmpty()) v[kTareColumn].toInt(&number);
  data::Outcome outcome;
  if (!number) {
    // The column is an integer: the database refuses text there.
    outcome.messages.push_back(data::text::kOperationFailed);
    outcome.error = "tare is not an integer";
  } else {
    outcome = store_.update_member(*group_, member);
  }
  if (!outcome.ok) {
    error = outcome.messages.empty() ? std::string(data::text::kOperationFailed) : outcome.messages.front();
    reread();
    return false;
  }
  const int block = edited_row / kBlockRows;
  blocks_.erase(block);
  std::erase(block_order_, block);
  emit dataChanged(this->index(block * kBlockRows, 0),
                   this->index(std::min<int>(rowCount() - 1, (block + 1) * kBlockRows - 1), kColumns - 1));
  return true;
}

bool MemberTableModel::remove(int row, std::string& error) {
  const Row* current = row_at(row);
  if (!current) return false;
  const std::int64_t rowid = current->rowid;
  pending_row_ = pending_row_ == row ? -1 : pending_row_;
  std::string posted;
  if (!post(posted)) {
    error = posted;
    return false;
  }
  data::Outcome outcome = store_.delete_member(*group_, rowid);
  if (!outcome.ok) error = outcome.messages.empty() ? std::string(data::text::kOperationFailed) : outcome.messages.front();
  reread();
  return outcome.ok;
}

}  // namespace orvexa::app
