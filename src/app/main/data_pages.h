// The contact and access side of the main window: the group definition, group editing, backup
// and security pages, and the login password check at start. The main window calls in on a
// page change, when it is shown and when it closes.
//
//   form.attach_data_pages({store, page_dialogs, {{"/etc/orvexa"}, folder}});
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "app/access/password_file.h"
#include "app/campaign/ports.h"
#include "app/data/contact_store.h"
#include "app/main/page_dialogs.h"
#include "app/main/timed_wait.h"
#include "platform/messaging/loop.h"

class QComboBox;
class QTabWidget;

namespace orvexa::app {

class BackupPage;
class GroupDefinitionPage;
class GroupEditingPage;
class SecurityPage;
class TForm3;
class TForm4;
class TForm7;

struct DataPagesDeps {
  data::ContactStore& store;
  PageDialogs& ask;
  access::PasswordLocations passwords;
  access::HashCost hash_cost = access::HashCost::interactive();
};

struct DataPagesHost {
  QWidget& form;  // the main window, whose pages receive the contents
  messaging::Loop& loop;
  campaign::OperatorDialogs& boxes;
  TForm3& dates;
  TForm4& prompt;
  TForm7& progress;
  std::function<void()> close_for_good;
};

class DataPages {
 public:
  DataPages(DataPagesHost host, DataPagesDeps deps);
  ~DataPages();

  // Before the splash: the password file is read.
  void load_password();
  // After the splash: false when the program must end.
  bool password_lets_start();
  // The page change: edits posted, member tables closed, choosers refilled; entering the
  // definition page empties its fields.
  void page_changed(QWidget* current);
  // Posts the row being edited (exit, drop, backup); a failure is shown.
  void post_pending();
  void refill_choosers();

  GroupDefinitionPage& definition() { return *definition_; }
  GroupEditingPage& editing() { return *editing_; }

 private:
  DataPagesHost host_;
  DataPagesDeps deps_;
  access::StoredPassword stored_;
  TimedWait pause_;  // the backup and restore pauses
  GroupDefinitionPage* definition_ = nullptr;
  GroupEditingPage* editing_ = nullptr;
  BackupPage* backup_ = nullptr;
  SecurityPage* security_ = nullptr;
};

}  // namespace orvexa::app
