// Lets Qt's event loop drive our message loop: a post from any thread wakes Qt, the next timer
// deadline is one single-shot QTimer, and process_pending() also handles Qt's waiting events so
// that operations which "let the loop run" keep the windows painted.
#pragma once

#include <QObject>
#include <QTimer>

#include "platform/messaging/loop.h"

namespace orvexa::app {

class QtLoopHost final : public QObject {
 public:
  explicit QtLoopHost(messaging::Loop& loop, QObject* parent = nullptr);
  ~QtLoopHost() override;

  // Dispatches what the loop has due now and re-arms the timer for the next deadline.
  void dispatch();

 private:
  void arm_timer();

  messaging::Loop& loop_;
  QTimer timer_;
  int pump_depth_ = 0;
};

}  // namespace orvexa::app
