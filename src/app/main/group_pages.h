// The group definition page (new groups, member entry, read-only grid DBGrid1) and the group
// editing page (removal, grid DBGrid2 edited in place with its three navigators). Every chooser
// finds its group by its own text and acts by that group's code.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "app/campaign/ports.h"
#include "app/data/contact_store.h"
#include "app/main/page_dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orvexa::app {

class MemberTableModel;
class TForm3;

struct PageContext {
  data::ContactStore& store;
  campaign::OperatorDialogs& boxes;
  PageDialogs& ask;
  std::function<void()> groups_changed;  // refills every chooser of the window
};

// Fills a chooser with the listed groups, keeping the chosen name when it is still there.
void refill_chooser(QComboBox* chooser, const std::vector<data::Group>& groups);

class GroupDefinitionPage final : public QWidget {
 public:
  GroupDefinitionPage(PageContext context, TForm3& dates, QWidget* parent);
  ~GroupDefinitionPage() override;

  void BitBtn3Click();  // create group
  void BitBtn1Click();  // choose group for entry
  void BitBtn2Click();  // insert member
  void Button3Click();  // the dates dialog
  // When the page becomes the current page: empty fields, dates dialog reset.
  void reset_entry();
  void close_table();
  void refill(const std::vector<data::Group>& groups);
  MemberTableModel& model() { return *model_; }

 private:
  QWidget* build_group_box();
  QWidget* build_entry_box();
  void set_dates_state(bool confirmed);

  PageContext context_;
  TForm3& dates_;
  MemberTableModel* model_;
  std::string remembered_name_;
  QLineEdit *Edit4, *Edit5, *Edit6, *Edit1, *Edit2, *Edit7;
  QComboBox* DBLookupComboBox3;
  QLabel *Label46, *Image37;
  QPushButton* Button3;
  QTableView* DBGrid1;
};

class GroupEditingPage final : public QWidget {
 public:
  GroupEditingPage(PageContext context, QWidget* parent);
  ~GroupEditingPage() override;

  void BitBtn4Click();  // drop group
  void BitBtn5Click();  // choose group for editing
  void DBNavigator1Click();  // edit the current row
  // Post: stores the row being edited; a failure is shown and the grid re-read.
  bool DBNavigator2Click();
  void DBNavigator3Click();  // delete the current row
  void close_table();
  void refill(const std::vector<data::Group>& groups);
  MemberTableModel& model() { return *model_; }

 private:
  PageContext context_;
  MemberTableModel* model_;
  QComboBox *DBLookupComboBox4, *DBLookupComboBox2;
  QLabel* Label56;
  QTableView* DBGrid2;
};

}  // namespace orvexa::app
