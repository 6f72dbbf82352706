// The operations page's table of a campaign's channels: each channel's number, the number it
// dialled, where its call stands and the seconds since the dial. Only campaigns on several
// channels show it; the window fills it from the engine on a timer of its own.
//
//   auto* table = new ChannelTable(page);
//   table->show_status(engine.channel_status());
#pragma once

#include <QTableWidget>
#include <vector>

#include "app/campaign/campaign_engine.h"

namespace orvexa::app {

class ChannelTable final : public QTableWidget {
 public:
  enum class Column { Channel, Number, Stage, Seconds };
  static constexpr int kColumns = static_cast<int>(Column::Seconds) + 1;

  explicit ChannelTable(QWidget* parent = nullptr);

  // One row per channel; rows are reused, so a refresh of many channels makes no new widgets.
  void show_status(const std::vector<campaign::ChannelStatus>& status);

 private:
  void fit_height();
  void set_text(int row, Column column, const QString& text);
};

}  // namespace orvexa::app
