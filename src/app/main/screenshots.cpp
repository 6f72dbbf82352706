#include "app/main/screenshots.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "app/main/form_main.h"

namespace orvexa::app {

namespace {

// Lets the window (and the loop hosted in Qt) run for a while, so that a campaign gets going.
void run_for(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool save(QWidget* widget, const QString& folder, const QString& name) {
  run_for(200);
  return widget->grab().save(QDir(folder).filePath(name + ".png"));
}

}  // namespace

bool save_screenshots(TForm1& form, const QString& folder) {
  QDir().mkpath(folder);
  bool ok = true;
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  auto click = [&form](const char* name) {
    if (auto* b = form.findChild<QPushButton*>(name)) b->click();
  };
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    const QString name = pages->widget(i)->objectName();
    if (name == "TabSheet4") {
      if (auto* chooser = form.findChild<QComboBox*>("DBLookupComboBox2")) chooser->setCurrentIndex(0);
      click("BitBtn5");
    }
    ok = save(&form, folder, name) && ok;
  }
  // The device dialog as its button opens it, filled from the line.
  if (auto* device = form.findChild<QDialog*>("Form2")) {
    QTimer::singleShot(0, device, [&, device] {
      ok = save(device, folder, "Form2") && ok;
      device->reject();
    });
    click("SpeedButton2");
  }
  for (const char* dialog : {"Form3", "Form4", "Form5", "Form6", "Form7", "Form8", "Form9"}) {
    auto* d = form.findChild<QDialog*>(dialog);
    if (!d) continue;
    d->show();
    ok = save(d, folder, dialog) && ok;
    d->hide();
  }
  pages->setCurrentWidget(form.findChild<QWidget*>("TabSheet2"));
  if (auto* group = form.findChild<QRadioButton*>("RadioButton2")) group->setChecked(true);
  if (auto* chooser = form.findChild<QComboBox*>("DBLookupComboBox1")) chooser->setCurrentIndex(0);
  click("BitBtn6");
  run_for(9000);
  ok = save(&form, folder, "TabSheet2-campaign") && ok;
  form.BitBtn7Click();
  run_for(500);
  return ok;
}

}  // namespace orvexa::app
