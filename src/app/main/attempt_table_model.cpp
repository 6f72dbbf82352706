#include "app/main/attempt_table_model.h"

#include "app/main/report_texts.h"
#include "app/records/report_row.h"

namespace orvexa::app {

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString AttemptTableModel::column_title(Column column) {
  switch (column) {
    case Column::Id: return q("ردیف");
    case Column::Dialled: return q("زمان تماس");
    case Column::Group: return q("گروه");
    case Column::Name: return q("نام");
    case Column::Family: return q("نام خانوادگی");
    case Column::Number: return q("شماره");
    case Column::Attempt: return q("نوبت");
    case Column::Line: return q("خط");
    case Column::Outcome: return q("نتیجه");
    case Column::Keys: return q("کلیدها");
    case Column::MainHeard: return q("شنیدن پیام اصلی (ثانیه)");
    case Column::Cause: return q("علت");
  }
  return {};
}

void AttemptTableModel::set_rows(std::vector<records::AttemptRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int AttemptTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AttemptTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant AttemptTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) return {};
  if (role != Qt::DisplayRole) return {};
  return text(rows_[static_cast<std::size_t>(index.row())], static_cast<Column>(index.column()));
}

QVariant AttemptTableModel::text(const records::AttemptRow& row, Column column) const {
  switch (column) {
    case Column::Id: return QVariant::fromValue(row.id);
    case Column::Dialled: return q(records::solar_time_text(row.dialled_ms));
    case Column::Group: return q(row.group);
    case Column::Name: return q(row.name);
    case Column::Family: return q(row.family);
    case Column::Number: return q(row.number);
    case Column::Attempt: return row.attempt;
    case Column::Line: return row.line;
    case Column::Outcome:
      return row.outcome ? q(campaign::outcome_label(*row.outcome)) : q(report_text::kInProgress);
    case Column::Keys: return q(row.keys);
    case Column::MainHeard: return QString::number(row.main_heard_s, 'f', 1);
    case Column::Cause: return q(row.cause);
  }
  return {};
}

QVariant AttemptTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumns)
    return QAbstractTableModel::headerData(section, orientation, role);
  return column_title(static_cast<Column>(section));
}

}  // namespace orvexa::app
