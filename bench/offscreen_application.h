// One offscreen QApplication per benchmark process, made on first use.
#pragma once

#include <QApplication>

namespace orvexa::bench {

inline QApplication& offscreen_application() {
  static int argc = 1;
  static char name[] = "orvexa_bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

}  // namespace orvexa::bench
