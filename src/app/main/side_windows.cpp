#include "app/main/side_windows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/data/backup.h"
#include "app/main/key_rules.h"
#include "app/main/pictures.h"

namespace orvexa::app {

namespace {

QPushButton* button(const char* name, const char* text, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

// No network: the page is part of the program.
constexpr const char* kAboutPage = R"(<html><body dir="rtl" style="font-size: 11pt">
<h2 style="color: #1e3c78">Orvexa 5.0</h2>
<p>برنامه شماره گيري خودکار و ارسال پيام صوتي به اعضاي گروه ها.</p>
<p>پيام آغازين پخش مي شود و با فشردن کليد 1 پيام اصلي براي مخاطب پخش مي گردد.</p>
<h3><a name="latest"></a>آخرين نسخه</h3>
<p>نسخه جاري : 5,0 . نسخه هاي جديد در صفحه پروژه منتشر مي شوند :
<a href="https://www.example.org/orvexa/">www.example.org/orvexa</a></p>
<h3><a name="notices"></a>اطلاعيه ها</h3>
<p>کتابخانه هاي به کار رفته : Qt، SQLite، libsodium، spandsp، PortAudio، libre و CLI11،
هر يک با مجوز خود.</p>
</body></html>)";

}  // namespace

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("Form4");
  setWindowTitle("Form4");
  setLayoutDirection(Qt::RightToLeft);
  setModal(true);
  setStyleSheet("QDialog { background-color: white; }");
  auto* column = new QVBoxLayout(this);
  auto* caption = new QLabel(QString::fromUtf8("لطفا رمز عبور خود را وارد نماييد"), this);
  caption->setObjectName("Label1");
  column->addWidget(caption);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setEchoMode(QLineEdit::Password);
  column->addWidget(Edit1);
  auto* row = new QHBoxLayout;
  auto* confirm = button("Button1", "تاييد", this);
  auto* cancel = button("Button2", "انصراف", this);
  row->addWidget(confirm);
  row->addWidget(cancel);
  column->addLayout(row);
  set_glyphs(*this, {{"Button1", Glyph::Check}, {"Button2", Glyph::Cross}});
  KeyRule::install(Edit1, {{}, {}, [this] { Button1Click(); }});
  connect(confirm, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint().expandedTo(QSize(300, 120)));
}

bool TForm4::ask(const access::StoredPassword& stored, campaign::OperatorDialogs& boxes) {
  if (!prompt_) prompt_.emplace(stored);
  boxes_ = &boxes;
  Edit1->clear();
  Edit1->setFocus();
  exec();
  return prompt_->lets_start(Edit1->text().toStdString());
}

void TForm4::Button1Click() {
  if (!prompt_) return;
  auto result = prompt_->confirm(Edit1->text().toStdString());
  if (result.answer == access::PasswordPrompt::Answer::Accepted) {
    accept();
    return;
  }
  for (const auto& m : result.messages) boxes_->message_box(m);
  Edit1->clear();
  Edit1->setFocus();
  if (result.answer == access::PasswordPrompt::Answer::WrongAndClosing) reject();
}

TForm5::TForm5(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName("Form5");
  setWindowTitle("Orvexa");
  setLayoutDirection(Qt::RightToLeft);
  auto* column = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("WebBrowser1");
  browser_->setOpenExternalLinks(true);  // the user's browser, through QDesktopServices
  browser_->setHtml(QString::fromUtf8(kAboutPage));
  column->addWidget(browser_);
  resize(560, 420);
}

void TForm5::show_section(const QString& anchor) {
  if (anchor.isEmpty()) browser_->moveCursor(QTextCursor::Start);
  else browser_->scrollToAnchor(anchor);
}

TForm7::TForm7(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Form7");
  setWindowTitle(QString::fromUtf8(data::text::kProgressCaption));
  setLayoutDirection(Qt::RightToLeft);
  auto* column = new QVBoxLayout(this);
  auto* note = new QLabel(QString::fromUtf8(data::text::kProgressText), this);
  note->setObjectName("Label1");
  column->addWidget(note);
  progressbar1 = new QProgressBar(this);
  progressbar1->setObjectName("progressbar1");
  progressbar1->setRange(0, 1);
  progressbar1->setValue(0);
  column->addWidget(progressbar1);
  setFixedSize(sizeHint().expandedTo(QSize(420, 90)));
}

void TForm7::set_progress(int value, int maximum) {
  progressbar1->setMaximum(std::max(maximum, 1));
  progressbar1->setValue(value);
}

}  // namespace orvexa::app
