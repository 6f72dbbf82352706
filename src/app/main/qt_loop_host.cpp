#include "app/main/qt_loop_host.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>

namespace orvexa::app {

QtLoopHost::QtLoopHost(messaging::Loop& loop, QObject* parent) : QObject(parent), loop_(loop) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { dispatch(); });

  QPointer<QtLoopHost> self(this);
  // Called from any thread: a queued call is Qt's thread-safe way into the GUI thread.
  loop_.set_wake_handler([self] {
    if (self) QMetaObject::invokeMethod(self.data(), [self] { if (self) self->dispatch(); },
                                        Qt::QueuedConnection);
  });
  loop_.set_pump([this] {
    // A nested pump inside a pump would only recurse; one level keeps windows painted.
    if (pump_depth_ > 0) return;
    ++pump_depth_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --pump_depth_;
  });
  QMetaObject::invokeMethod(this, [this] { dispatch(); }, Qt::QueuedConnection);
}

QtLoopHost::~QtLoopHost() {
  loop_.set_wake_handler({});
  loop_.set_pump({});
}

void QtLoopHost::dispatch() {
  loop_.dispatch_pending();
  if (loop_.queued_count() > 0) {
    QMetaObject::invokeMethod(this, [this] { dispatch(); }, Qt::QueuedConnection);
  }
  arm_timer();
}

void QtLoopHost::arm_timer() {
  auto next = loop_.next_timer_deadline();
  // Under the manual clock the test moves time itself; there is nothing real to wait for.
  if (!next || loop_.clock().is_manual()) {
    timer_.stop();
    return;
  }
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - loop_.now());
  timer_.start(static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 24 * 3600 * 1000)));
}

}  // namespace orvexa::app
