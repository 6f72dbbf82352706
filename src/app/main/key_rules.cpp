#include "app/main/key_rules.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace orvexa::app {

bool is_ascii_digit(QChar c) { return c >= u'0' && c <= u'9'; }
bool is_dial_character(QChar c) { return is_ascii_digit(c) || c == u'+'; }

KeyRule::KeyRule(QLineEdit* field, Actions actions) : QObject(field), actions_(std::move(actions)) {
  field->installEventFilter(this);
}

void KeyRule::install(QLineEdit* field, Actions actions) { new KeyRule(field, std::move(actions)); }

bool KeyRule::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    if (actions_.enter) {
      actions_.enter();
      return true;
    }
    return static_cast<bool>(actions_.allowed);
  }
  if (!actions_.allowed || key->key() == Qt::Key_Backspace) return false;
  const QString typed = key->text();
  // Keys that type nothing (arrows, Tab, Escape) and shortcuts such as paste pass.
  if (typed.isEmpty() || typed.front() < QChar(0x20) || typed.front() == QChar(0x7f)) return false;
  if (key->modifiers() & Qt::ControlModifier) return false;
  for (QChar c : typed) {
    if (!actions_.allowed(c)) {
      if (actions_.refused) actions_.refused();
      return true;
    }
  }
  return false;
}

}  // namespace orvexa::app
