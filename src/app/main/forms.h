// The dialogs and small windows beside the main window: device dialog (TForm2), member dates
// (TForm3), progress (TForm7), password prompt (TForm4), web page (TForm5), pre-call settings
// (TForm6), splash (TForm8) and help (TForm9).
#pragma once

#include <QDialog>
#include <memory>

#include "app/campaign/ports.h"
#include "app/campaign/pre_call_settings.h"
#include "app/main/pictures.h"
#include "platform/messaging/hidden_window.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace orvexa::app {

// Lines of a memo start at the right and read right to left, whatever the text begins with.
void read_right_to_left(QPlainTextEdit* memo);

// A dialog with a fixed border, system menu only, centred on its parent.
class FixedDialog : public QDialog {
 public:
  FixedDialog(const char* object_name, const QString& caption, QWidget* parent);
};

class TForm2 final : public FixedDialog {
 public:
  explicit TForm2(QWidget* parent = nullptr);
  // Fills the list from the line and selects the active device. False: no device at all.
  void prepare(campaign::LinePort& line, campaign::OperatorDialogs& dialogs);
  void ComboBoxLinesChange();
  void BitBtn6Click();
  void BitBtn8Click() { reject(); }

 private:
  campaign::LinePort* Phone = nullptr;
  campaign::OperatorDialogs* dialogs_ = nullptr;
  QComboBox* lines_;
  QPlainTextEdit* report_;
};

class TForm6 final : public FixedDialog {
 public:
  // `target` is where the call flow and the campaign read the values; kept in step with the
  // controls, which start at the defaults.
  explicit TForm6(campaign::PreCallSettings& target, QWidget* parent = nullptr);

 private:
  void read_controls();
  campaign::PreCallSettings& settings_;
  QCheckBox* retry_;
  QSlider* wait_;
  QCheckBox* shutdown_;
  QSpinBox* channels_;
  QCheckBox* key2_dnc_;
  QCheckBox* calling_hours_;
  QCheckBox* retry_policy_;
};

// Closes itself 1.5 s after it is shown, on the loop's clock.
class TForm8 final : public QDialog {
 public:
  static constexpr std::chrono::milliseconds kShowTime{1500};
  TForm8(messaging::Loop& loop, const Pictures& pictures, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  messaging::FunctionWindow timer_;
};

class TForm9 final : public FixedDialog {
 public:
  explicit TForm9(const Pictures& pictures, QWidget* parent = nullptr);
};


}  // namespace orvexa::app
