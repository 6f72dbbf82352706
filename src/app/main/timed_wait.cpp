#include "app/main/timed_wait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace orvexa::app {

namespace {

constexpr std::uintptr_t kPauseTimer = 1;

// Swallows the operator's input for as long as it exists.
class InputHold final : public QObject {
 public:
  InputHold() {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
  }
  ~InputHold() override {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: case QEvent::Wheel: case QEvent::KeyPress:
      case QEvent::KeyRelease: case QEvent::ShortcutOverride: case QEvent::Shortcut:
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

TimedWait::TimedWait(messaging::Loop& loop)
    : loop_(loop), window_(loop, [this](messaging::UINT message, messaging::WPARAM id, messaging::LPARAM) {
        if (message == messaging::WM_TIMER && id == kPauseTimer) {
          window_.kill_timer(kPauseTimer);
          due_ = true;
        }
        return messaging::LRESULT{0};
      }) {}

void TimedWait::wait(std::chrono::milliseconds duration) {
  const auto interval = std::max(duration, messaging::kMinimumTimerInterval);
  due_ = false;
  InputHold hold;
  window_.set_timer(kPauseTimer, interval);
  // The limit only matters when the loop is told to quit meanwhile.
  loop_.run_until([this] { return due_; }, interval);
  window_.kill_timer(kPauseTimer);
}

}  // namespace orvexa::app
