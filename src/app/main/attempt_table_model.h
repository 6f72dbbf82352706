// The attempts of one campaign for the report grid: the rows are held as read, and each cell is
// formatted only when the grid asks for it, so 100,000 rows cost one vector and no widgets.
//
//   AttemptTableModel model;
//   model.set_rows(db.attempts(campaign, filter));
//   grid->setModel(&model);
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "app/records/calls_database.h"

namespace orvexa::app {

class AttemptTableModel final : public QAbstractTableModel {
 public:
  enum class Column { Id, Dialled, Group, Name, Family, Number, Attempt, Line, Outcome, Keys,
                      MainHeard, Cause };
  static constexpr int kColumns = static_cast<int>(Column::Cause) + 1;
  static QString column_title(Column column);

  using QAbstractTableModel::QAbstractTableModel;

  void set_rows(std::vector<records::AttemptRow> rows);
  void clear() { set_rows({}); }
  const std::vector<records::AttemptRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QVariant text(const records::AttemptRow& row, Column column) const;

  std::vector<records::AttemptRow> rows_;
};

}  // namespace orvexa::app
