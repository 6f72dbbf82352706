#include "app/main/data_pages.h"

#include <QComboBox>
#include <QVBoxLayout>

#include "app/access/password_prompt.h"
#include "app/main/backup_page.h"
#include "app/main/group_pages.h"
#include "app/main/member_table_model.h"
#include "app/main/security_page.h"
#include "app/main/side_windows.h"

namespace orvexa::app {

namespace {

// Puts `content` into the empty page `name` of the main window.
template <class Page>
Page* fill_page(QWidget& form, const char* name, Page* content) {
  QWidget* page = form.findChild<QWidget*>(name);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  content->setParent(page);
  layout->addWidget(content);
  return content;
}

}  // namespace

DataPages::DataPages(DataPagesHost host, DataPagesDeps deps)
    : host_(std::move(host)), deps_(std::move(deps)), pause_(host_.loop) {
  PageContext context{deps_.store, host_.boxes, deps_.ask, [this] { refill_choosers(); }};
  definition_ = fill_page(host_.form, "TabSheet3", new GroupDefinitionPage(context, host_.dates, nullptr));
  editing_ = fill_page(host_.form, "TabSheet4", new GroupEditingPage(context, nullptr));
  BackupPageDeps backup{deps_.store, host_.boxes, deps_.ask, host_.progress,
                        [this] { return data::solar_on(host_.loop.clock().wall_now()); },
                        host_.close_for_good,
                        [this](std::chrono::milliseconds d) { pause_.wait(d); }};
  backup_ = fill_page(host_.form, "TabSheet5", new BackupPage(std::move(backup), nullptr));
  security_ = fill_page(host_.form, "TabSheet6",
                        new SecurityPage(deps_.passwords, deps_.hash_cost, host_.boxes, nullptr));
  // Drop, backup and restore need the member tables closed: edits are posted first.
  deps_.store.set_close_datasets([this] {
    post_pending();
    definition_->close_table();
    editing_->close_table();
  });
  refill_choosers();
}

DataPages::~DataPages() { deps_.store.set_close_datasets({}); }

void DataPages::load_password() { stored_ = access::read_password(deps_.passwords); }

bool DataPages::password_lets_start() {
  const auto start = access::check_at_start(stored_);
  switch (start.decision) {
    case access::StartDecision::Start: return true;
    case access::StartDecision::Refuse: host_.boxes.message_box(start.message); return false;
    case access::StartDecision::Ask: break;
  }
  return host_.prompt.ask(stored_, host_.boxes);
}

void DataPages::post_pending() {
  if (editing_->model().has_pending()) editing_->DBNavigator2Click();
}

void DataPages::page_changed(QWidget* current) {
  post_pending();
  definition_->close_table();
  editing_->close_table();
  refill_choosers();
  if (current && current->objectName() == "TabSheet3") definition_->reset_entry();
}

void DataPages::refill_choosers() {
  const auto groups = deps_.store.groups();
  definition_->refill(groups);
  editing_->refill(groups);
  if (auto* campaign_chooser = host_.form.findChild<QComboBox*>("DBLookupComboBox1"))
    refill_chooser(campaign_chooser, groups);
}

}  // namespace orvexa::app
