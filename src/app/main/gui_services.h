// The desktop's forms of the operator services: modal message boxes and file choosers.
// Tests put recording versions in their place.
#pragma once

#include <optional>
#include <string>

#include "app/campaign/ports.h"

class QWidget;

namespace orvexa::app {

enum class ReportFormat { Csv, Xlsx };

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Status log files (OpenDialog1, SaveDialog1) and message files (OpenDialog2).
  virtual std::optional<std::string> open_log() = 0;
  virtual std::optional<std::string> save_log() = 0;
  virtual std::optional<std::string> open_wave() = 0;
  // Where the report page writes the attempts it shows.
  virtual std::optional<std::string> save_report(ReportFormat format) = 0;
};

class QtOperatorDialogs final : public campaign::OperatorDialogs {
 public:
  void set_parent(QWidget* parent) { parent_ = parent; }
  void message_box(std::string_view text) override;
  void error_box(std::string_view text) override;

 private:
  QWidget* parent_ = nullptr;
};

class QtFileChooser final : public FileChooser {
 public:
  void set_parent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> open_log() override;
  std::optional<std::string> save_log() override;
  std::optional<std::string> open_wave() override;
  std::optional<std::string> save_report(ReportFormat format) override;

 private:
  QWidget* parent_ = nullptr;
};

}  // namespace orvexa::app
