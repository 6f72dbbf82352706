// Three small windows beside the main window: the password prompt (TForm4), the web page
// window (TForm5) and the backup progress window (TForm7).
#pragma once

#include <QDialog>
#include <optional>

#include "app/access/password_prompt.h"
#include "app/campaign/ports.h"

class QLineEdit;
class QProgressBar;
class QTextBrowser;

namespace orvexa::app {

class TForm4 final : public QDialog {
 public:
  explicit TForm4(QWidget* parent = nullptr);
  // Shows the prompt modally for `stored`; true when the start may go on. The count of wrong
  // answers lasts as long as the window.
  bool ask(const access::StoredPassword& stored, campaign::OperatorDialogs& boxes);
  void Button1Click();  // confirm, also Enter in Edit1
  QLineEdit* field() const { return Edit1; }
  int wrong_attempts() const { return prompt_ ? prompt_->wrong_attempts() : 0; }

 private:
  QLineEdit* Edit1;
  std::optional<access::PasswordPrompt> prompt_;
  campaign::OperatorDialogs* boxes_ = nullptr;
};

// The program's own about and notices page, shipped inside the program; outside links open in
// the user's browser.
class TForm5 final : public QDialog {
 public:
  explicit TForm5(QWidget* parent = nullptr);
  // Shows the section with this anchor ("", "latest", "notices").
  void show_section(const QString& anchor);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

class TForm7 final : public QDialog {
 public:
  explicit TForm7(QWidget* parent = nullptr);
  void set_progress(int value, int maximum);
  QProgressBar* gauge() const { return progressbar1; }

 private:
  QProgressBar* progressbar1;
};

}  // namespace orvexa::app
