// What the data pages ask the operator beyond message boxes: an OK/Cancel question, a
// folder and a line of text. The desktop shows Qt dialogs; tests queue the answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace orvexa::app {

class PageDialogs {
 public:
  virtual ~PageDialogs() = default;
  // A box without icon with OK and Cancel; true only for OK.
  virtual bool confirm(std::string_view text) = 0;
  // The chosen folder, or nullopt when the operator cancels.
  virtual std::optional<std::string> choose_folder(std::string_view title) = 0;
  // One line of text, or nullopt when the operator cancels; pages that ask none need not answer.
  virtual std::optional<std::string> ask_text(std::string_view /*title*/, std::string_view /*label*/) {
    return std::nullopt;
  }
};

class QtPageDialogs final : public PageDialogs {
 public:
  void set_parent(QWidget* parent) { parent_ = parent; }
  bool confirm(std::string_view text) override;
  std::optional<std::string> choose_folder(std::string_view title) override;
  std::optional<std::string> ask_text(std::string_view title, std::string_view label) override;

 private:
  QWidget* parent_ = nullptr;
};

}  // namespace orvexa::app
