#include "app/main/backup_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/data/backup.h"
#include "app/main/pictures.h"
#include "app/main/side_windows.h"

namespace orvexa::app {

namespace text = data::text;

namespace {

QWidget* copy_box(const char* title, const char* button_name, const char* path_name,
                  const char* note_name, QWidget* parent) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  auto* g = new QGridLayout(box);
  auto* b = new QPushButton(box);
  b->setObjectName(button_name);
  set_glyph(b, std::string_view(button_name) == "BitBtn45" ? Glyph::Backup : Glyph::Restore, 32);
  b->setFixedSize(56, 48);
  auto* path = new QLineEdit(box);
  path->setObjectName(path_name);
  path->setReadOnly(true);
  auto* note = new QLabel(QString::fromUtf8(text::kWaitNote), box);
  note->setObjectName(note_name);
  note->setVisible(false);
  g->addWidget(b, 0, 0, 2, 1);
  g->addWidget(path, 0, 1);
  g->addWidget(note, 1, 1);
  return box;
}

}  // namespace

BackupPage::BackupPage(BackupPageDeps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  setObjectName("Backup");
  auto* column = new QVBoxLayout(this);
  auto* heading = new QLabel(QString::fromUtf8("پشتيباني اطلاعات "), this);
  heading->setStyleSheet("font-size: 16px; font-weight: bold;");
  column->addWidget(heading);
  column->addWidget(copy_box("پشيبان گرفتن از اطلاعات", "BitBtn45", "Edit100", "wait1", this));
  column->addWidget(copy_box("بارگذاري از روي نسخه پشتيبان", "BitBtn46", "Edit101", "wait2", this));
  column->addStretch();
  BitBtn45 = findChild<QPushButton*>("BitBtn45");
  BitBtn46 = findChild<QPushButton*>("BitBtn46");
  Edit100 = findChild<QLineEdit*>("Edit100");
  Edit101 = findChild<QLineEdit*>("Edit101");
  wait1 = findChild<QLabel*>("wait1");
  wait2 = findChild<QLabel*>("wait2");
  connect(BitBtn45, &QPushButton::clicked, this, [this] { BitBtn45Click(); });
  connect(BitBtn46, &QPushButton::clicked, this, [this] { BitBtn46Click(); });
}

void BackupPage::buttons_enabled(bool on) {
  BitBtn45->setEnabled(on);
  BitBtn46->setEnabled(on);
}

data::CopyHooks BackupPage::hooks() {
  data::CopyHooks h;
  h.pause = deps_.pause;
  h.progress = [this](int value, int maximum) { deps_.progress.set_progress(value, maximum); };
  // Only a copy that is about to happen shows the progress window and holds the buttons.
  h.copying = [this] {
    buttons_enabled(false);
    deps_.progress.show();
  };
  return h;
}

void BackupPage::BitBtn45Click() {
  deps_.progress.set_progress(0, 1);
  wait1->setVisible(true);
  auto chosen = deps_.ask.choose_folder(text::kBackupChooserTitle);
  auto report = data::backup_database(deps_.store, chosen, deps_.today(), hooks());
  deps_.progress.hide();
  Edit100->setText(QString::fromStdString(report.path_field));
  for (const auto& m : report.messages) deps_.boxes.message_box(m);
  buttons_enabled(true);
  wait1->setVisible(false);
}

void BackupPage::BitBtn46Click() {
  wait2->setVisible(true);
  deps_.progress.set_progress(0, 1);
  auto chosen = deps_.ask.choose_folder(text::kRestoreChooserTitle);
  auto report = data::restore_database(deps_.store, chosen, hooks());
  deps_.progress.hide();
  if (!report.path_field.empty()) Edit101->setText(QString::fromStdString(report.path_field));
  for (const auto& m : report.messages) deps_.boxes.message_box(m);
  buttons_enabled(true);
  wait2->setVisible(false);
  if (report.restart_required && deps_.restart) deps_.restart();
}

}  // namespace orvexa::app
