// The data backup page: backup (BitBtn45) and restore (BitBtn46) of the contact database with
// the folder chooser, the wait notes and the progress window.
#pragma once

#include <QWidget>
#include <functional>

#include "app/campaign/ports.h"
#include "app/data/contact_store.h"
#include "app/data/backup.h"
#include "app/main/page_dialogs.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvexa::app {

class TForm7;

struct BackupPageDeps {
  data::ContactStore& store;
  campaign::OperatorDialogs& boxes;
  PageDialogs& ask;
  TForm7& progress;
  std::function<data::SolarDate()> today;
  std::function<void()> restart;  // a restore succeeded: the program ends
  std::function<void(std::chrono::milliseconds)> pause;
};

class BackupPage final : public QWidget {
 public:
  BackupPage(BackupPageDeps deps, QWidget* parent);
  void BitBtn45Click();  // backup
  void BitBtn46Click();  // restore

 private:
  void buttons_enabled(bool on);
  data::CopyHooks hooks();

  BackupPageDeps deps_;
  QPushButton *BitBtn45, *BitBtn46;
  QLineEdit *Edit100, *Edit101;
  QLabel *wait1, *wait2;
};

}  // namespace orvexa::app
