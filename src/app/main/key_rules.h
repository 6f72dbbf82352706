// Key rules of the entry fields: which typed characters a field takes, what Enter does, and
// what the operator is told when a key is refused. Pasting is not a key and is not filtered.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;

namespace orvexa::app {

class KeyRule final : public QObject {
 public:
  using Allowed = std::function<bool(QChar)>;
  struct Actions {
    Allowed allowed;                 // empty: every key
    std::function<void()> refused;   // after a dropped key
    std::function<void()> enter;     // empty: Enter is dropped when `allowed` is set
  };
  // Installs itself on `field` and lives as long as it.
  static void install(QLineEdit* field, Actions actions);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyRule(QLineEdit* field, Actions actions);
  Actions actions_;
};

bool is_ascii_digit(QChar c);
// "0" to "9" and "+": a telephone number.
bool is_dial_character(QChar c);

}  // namespace orvexa::app
