#include "app/main/channel_table.h"

#include <QHeaderView>
#include <algorithm>
#include <cmath>

namespace orvexa::app {

using campaign::ChannelStage;

namespace {
constexpr const char* kTitles[] = {"کانال", "شماره", "وضعیت", "ثانیه"};
// Three channels at a time, more scroll: the status log below keeps a few lines of its own.
constexpr int kVisibleRows = 3;

QString stage_text(ChannelStage stage) {
  switch (stage) {
    case ChannelStage::Idle: return QString::fromUtf8("آزاد");
    case ChannelStage::Between: return QString::fromUtf8("بین دو تماس");
    case ChannelStage::Dialing: return QString::fromUtf8("در حال شماره‌گیری");
    case ChannelStage::Opening: return QString::fromUtf8("پیام آغازین");
    case ChannelStage::WaitingForKey: return QString::fromUtf8("در انتظار کلید");
    case ChannelStage::Main: return QString::fromUtf8("پیام اصلی");
    case ChannelStage::Failed: return QString::fromUtf8("از کار افتاده");
  }
  return {};
}
}  // namespace

ChannelTable::ChannelTable(QWidget* parent) : QTableWidget(0, kColumns, parent) {
  setObjectName("ChannelTable");
  QStringList titles;
  for (const char* t : kTitles) titles << QString::fromUtf8(t);
  setHorizontalHeaderLabels(titles);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (auto [column, width] : {std::pair{Column::Channel, 50}, {Column::Number, 130}, {Column::Stage, 150}})
    horizontalHeader()->resizeSection(static_cast<int>(column), width);
  horizontalHeader()->setStretchLastSection(true);
}

void ChannelTable::fit_height() {
  // Measured when shown: the window's Persian font reaches the table after it is built.
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  const int rows = std::min(rowCount(), kVisibleRows);
  setFixedHeight(horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() +
                 2 * frameWidth());
}

void ChannelTable::show_status(const std::vector<campaign::ChannelStatus>& status) {
  if (rowCount() != static_cast<int>(status.size())) {
    setRowCount(static_cast<int>(status.size()));
    fit_height();
  }
  for (int row = 0; row < rowCount(); ++row) {
    const auto& s = status[static_cast<std::size_t>(row)];
    // An idle or failed channel has no call up, so no time to show.
    const bool calling = s.stage != ChannelStage::Idle && s.stage != ChannelStage::Between &&
                         s.stage != ChannelStage::Failed;
    set_text(row, Column::Channel, QString::number(s.channel));
    set_text(row, Column::Number, QString::fromStdString(s.number));
    set_text(row, Column::Stage, stage_text(s.stage));
    set_text(row, Column::Seconds, calling ? QString::number(static_cast<int>(std::floor(s.seconds))) : QString());
  }
}

void ChannelTable::set_text(int row, Column column, const QString& text) {
  const int c = static_cast<int>(column);
  if (QTableWidgetItem* cell = item(row, c)) {
    if (cell->text() != text) cell->setText(text);
    return;
  }
  auto* cell = new QTableWidgetItem(text);
  cell->setFlags(Qt::ItemIsEnabled);
  // Figures sit centred under their titles; the stage reads from the right, as text does.
  if (column != Column::Stage) cell->setTextAlignment(Qt::AlignCenter);
  setItem(row, c, cell);
}

}  // namespace orvexa::app
