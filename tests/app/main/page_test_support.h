// What the tests of a single page need without the main window: an offscreen application, and
// the operator's answers to the page's questions, scripted in order.
#pragma once

#include <QApplication>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "app/main/page_dialogs.h"

namespace orvexa::app::testing {

inline QApplication& page_application() {
  static int argc = 1;
  static char name[] = "orvexa_page_tests";
  static char* argv[] = {name, nullptr};
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  return *new QApplication(argc, argv);  // never destroyed: Qt's statics need it at exit
}

// Texts asked for are answered from `texts` (cancelled once it is empty); confirmations by `agree`.
class QueuedAnswers final : public PageDialogs {
 public:
  std::deque<std::string> texts;
  bool agree = true;
  bool confirm(std::string_view) override { return agree; }
  std::optional<std::string> choose_folder(std::string_view) override { return std::nullopt; }
  std::optional<std::string> ask_text(std::string_view, std::string_view) override {
    if (texts.empty()) return std::nullopt;
    std::string t = texts.front();
    texts.pop_front();
    return t;
  }
};

}  // namespace orvexa::app::testing
