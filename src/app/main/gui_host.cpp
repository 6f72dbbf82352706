#include "app/main/gui_host.h"

#include <QApplication>
#include <QMessageBox>

namespace orvexa::app {

void WaitCursor::begin() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void WaitCursor::end() { QApplication::restoreOverrideCursor(); }

void QtComponentMessageBox::show(std::string_view text) {
  QMessageBox::information(parent_, QApplication::applicationName(),
                           QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace orvexa::app
