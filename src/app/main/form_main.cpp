#include "app/main/form_main.h"

#include <QFontDatabase>
#include <QPalette>

namespace orvexa::app {

QString persian_font_family() {
  const QStringList families = QFontDatabase::families();
  for (const char* wanted : {"Tahoma", "Noto Sans Arabic UI", "Noto Sans Arabic"}) {
    if (families.contains(QString::fromLatin1(wanted))) return QString::fromLatin1(wanted);
  }
  return QString();
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  setWindowTitle(QString::fromUtf8(kMainCaption));
  setLayoutDirection(Qt::RightToLeft);
  setFixedSize(913, 615);  // single fixed border: no resizing, no maximise
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(185, 204, 240));
  setPalette(colours);
  setAutoFillBackground(true);
  if (QString family = persian_font_family(); !family.isEmpty()) {
    QFont font(family);
    setFont(font);
  }
}

}  // namespace orvexa::app
