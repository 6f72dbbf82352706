#include "app/main/page_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace orvexa::app {

namespace {
QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

bool QtPageDialogs::confirm(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), q(text),
                  QMessageBox::Ok | QMessageBox::Cancel, parent_);
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> QtPageDialogs::choose_folder(std::string_view title) {
  const QString folder = QFileDialog::getExistingDirectory(
      parent_, q(title), QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

std::optional<std::string> QtPageDialogs::ask_text(std::string_view title, std::string_view label) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent_, q(title), q(label), QLineEdit::Normal, QString(), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

}  // namespace orvexa::app
