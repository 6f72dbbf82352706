#include "app/main/qt_loop_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <thread>

#include "platform/messaging/hidden_window.h"

namespace orvexa::app {
namespace {

using namespace std::chrono_literals;

// One application for the whole test program, shared with the other window tests in it, and
// never destroyed: at exit it would outlive what Qt's own statics need.
QApplication& application() {
  static int argc = 1;
  static char name[] = "main_window_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  return *new QApplication(argc, argv);
}

class Ticks final : public messaging::HiddenWindow {
 public:
  using HiddenWindow::HiddenWindow;
  int timers = 0;
  messaging::LRESULT window_proc(messaging::UINT m, messaging::WPARAM, messaging::LPARAM) override {
    timers += m == messaging::WM_TIMER;
    return 0;
  }
};

TEST(QtLoopHost, QtEventLoopDeliversPostsFromOtherThreadsAndTimers) {
  application();
  messaging::SteadyClock clock;
  messaging::Loop loop(clock);
  QtLoopHost host(loop);
  Ticks window(loop);
  window.set_timer(1, 20ms);
  int posted = 0;
  std::thread sender([&] {
    for (int i = 0; i < 50; ++i) loop.post([&] { ++posted; });
  });
  sender.join();
  QEventLoop events;
  QTimer guard;  // bounded: never waits more than 10 s for the work
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &events, &QEventLoop::quit);
  guard.start(10000);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (posted == 50 && window.timers >= 3) events.quit();
  });
  poll.start(5);
  events.exec();
  EXPECT_EQ(posted, 50);
  EXPECT_GE(window.timers, 3);
}

TEST(QtLoopHost, ProcessPendingAlsoHandlesQtEvents) {
  application();
  messaging::ManualClock clock;
  messaging::Loop loop(clock);
  QtLoopHost host(loop);
  bool qt_event_ran = false;
  QMetaObject::invokeMethod(qApp, [&] { qt_event_ran = true; }, Qt::QueuedConnection);
  loop.process_pending();  // as a component does when it lets the loop run
  EXPECT_TRUE(qt_event_ran);
}

}  // namespace
}  // namespace orvexa::app
