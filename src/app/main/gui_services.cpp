#include "app/main/gui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace orvexa::app {

namespace {
QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::optional<std::string> chosen(const QString& file) {
  if (file.isEmpty()) return std::nullopt;
  return file.toStdString();
}
}  // namespace

void QtOperatorDialogs::message_box(std::string_view text) {
  QMessageBox::information(parent_, QApplication::applicationName(), q(text));
}

void QtOperatorDialogs::error_box(std::string_view text) {
  QMessageBox::critical(parent_, QApplication::applicationName(), q(text));
}

std::optional<std::string> QtFileChooser::open_log() {
  return chosen(QFileDialog::getOpenFileName(parent_, {}, {}, "Text Files (*.txt)"));
}

std::optional<std::string> QtFileChooser::save_log() {
  QFileDialog dialog(parent_, {}, {}, "Text Files (*.txt)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("txt");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return chosen(dialog.selectedFiles().front());
}

std::optional<std::string> QtFileChooser::open_wave() {
  QFileDialog dialog(parent_, {}, {}, "Wave File (*.wav)");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("wav");
  // Message files come from Windows folders as often as not: ".WAV" and ".Wav" count too.
  dialog.setOption(QFileDialog::DontUseNativeDialog, false);
  dialog.setNameFilter("Wave File (*.wav *.WAV *.Wav)");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return chosen(dialog.selectedFiles().front());
}

std::optional<std::string> QtFileChooser::save_report(ReportFormat format) {
  const bool csv = format == ReportFormat::Csv;
  QFileDialog dialog(parent_, {}, {}, csv ? "CSV (*.csv)" : "Excel (*.xlsx)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(csv ? "csv" : "xlsx");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return chosen(dialog.selectedFiles().front());
}

}  // namespace orvexa::app
