// The members of one group's table for the grids: 21 columns, rows read in blocks as the grid
// scrolls to them, so a table of 100,000 members opens at once and keeps little in memory.
// The editable form keeps the row being edited apart until it is posted.
//
//   MemberTableModel model(store, /*editable=*/true);
//   if (!model.open(group)) show(store.last_error());
//   grid->setModel(&model);
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/data/contact_store.h"

namespace orvexa::app {

class MemberTableModel final : public QAbstractTableModel {
 public:
  static constexpr int kColumns = 21;
  static constexpr int kBlockRows = 256;
  static constexpr std::size_t kCachedBlocks = 8;

  // Column names in grid order, their titles and the longest text each takes.
  static const char* column_name(int column);
  static QString column_title(int column);
  static int column_limit(int column);

  MemberTableModel(data::ContactStore& store, bool editable, QObject* parent = nullptr);

  // Closes what was open and shows the group's table. False, closed, on a database error.
  bool open(const data::Group& group);
  void close();
  bool is_open() const { return group_.has_value(); }
  const std::optional<data::Group>& group() const { return group_; }
  // Reads the table again (row list and blocks); the row being edited is dropped.
  bool reread();

  bool has_pending() const { return pending_row_ >= 0; }
  int pending_row() const { return pending_row_; }
  // Stores the row being edited. False with the reason; the table is then read again so the
  // grid shows what the database holds.
  bool post(std::string& error);
  bool remove(int row, std::string& error);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  struct Row {
    std::int64_t rowid = 0;
    int id = 0;
    std::array<QString, kColumns> values;
  };
  const Row* row_at(int row) const;
  bool load_block(int block) const;

  data::ContactStore& store_;
  const bool editable_;
  std::optional<data::Group> group_;
  std::vector<std::int64_t> rowids_;
  mutable std::map<int, std::vector<Row>> blocks_;
  mutable std::deque<int> block_order_;
  int pending_row_ = -1;
  Row pending_;
};

}  // namespace orvexa::app
