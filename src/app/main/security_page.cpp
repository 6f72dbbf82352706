#include "app/main/security_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/access/access_messages.h"
#include "app/main/key_rules.h"
#include "app/main/pictures.h"

namespace orvexa::app {

namespace {
QLineEdit* masked(const char* name, QWidget* parent) {
  auto* f = new QLineEdit(parent);
  f->setObjectName(name);
  f->setEchoMode(QLineEdit::Password);
  f->setMaxLength(30);
  return f;
}
}  // namespace

SecurityPage::SecurityPage(access::PasswordLocations where, access::HashCost cost,
                           campaign::OperatorDialogs& boxes, QWidget* parent)
    : QWidget(parent), where_(std::move(where)), cost_(cost), boxes_(boxes) {
  setObjectName("Security");
  auto* column = new QVBoxLayout(this);
  auto* box = new QGroupBox(QString::fromUtf8("تعيين رمز ورود کاربر"), this);
  box->setObjectName("GroupBox7");
  auto* g = new QGridLayout(box);
  Edit19 = masked("Edit19", box);
  Edit20 = masked("Edit20", box);
  g->addWidget(new QLabel(QString::fromUtf8("رمز ورود  جديد"), box), 0, 0);
  g->addWidget(Edit19, 0, 1);
  g->addWidget(new QLabel(QString::fromUtf8("تکرار رمز جديد"), box), 1, 0);
  g->addWidget(Edit20, 1, 1);
  auto* set = new QPushButton(QString::fromUtf8("تاييد"), box);
  set->setObjectName("BitBtn15");
  auto* remove = new QPushButton(QString::fromUtf8(" حذف رمز ورود"), box);
  remove->setObjectName("BitBtn16");
  g->addWidget(set, 2, 0);
  g->addWidget(remove, 2, 1);
  column->addWidget(box);
  column->addStretch();
  auto refused = [this] { boxes_.message_box(access::text::kDigitsOnly); };
  KeyRule::install(Edit19, {is_ascii_digit, refused, [this] { Edit20->setFocus(); }});
  set_glyphs(*this, {{"BitBtn15", Glyph::Lock}, {"BitBtn16", Glyph::Unlock}});
  KeyRule::install(Edit20, {is_ascii_digit, refused, [this] { BitBtn15Click(); }});
  connect(set, &QPushButton::clicked, this, [this] { BitBtn15Click(); });
  connect(remove, &QPushButton::clicked, this, [this] { BitBtn16Click(); });
}

void SecurityPage::BitBtn15Click() {
  auto change = access::set_password(where_, Edit19->text().toStdString(),
                                     Edit20->text().toStdString(), cost_);
  for (const auto& m : change.messages) boxes_.message_box(m);
  Edit19->clear();
  Edit20->clear();
}

void SecurityPage::BitBtn16Click() {
  auto change = access::remove_password(where_);
  for (const auto& m : change.messages) boxes_.message_box(m);
}

}  // namespace orvexa::app
