#include "app/main/forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include "app/campaign/device_choice.h"

namespace orvexa::app {

namespace {
QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
QLabel* label(const char* name, const QString& caption, QWidget* parent) {
  auto* l = new QLabel(caption, parent);
  l->setObjectName(name);
  return l;
}
QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  return b;
}
}  // namespace

void read_right_to_left(QPlainTextEdit* memo) {
  QTextOption option(Qt::AlignRight | Qt::AlignAbsolute);
  option.setTextDirection(Qt::RightToLeft);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  memo->document()->setDefaultTextOption(option);
  memo->setLayoutDirection(Qt::RightToLeft);
}

FixedDialog::FixedDialog(const char* object_name, const QString& caption, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(object_name);
  setWindowTitle(caption);
  setLayoutDirection(Qt::RightToLeft);
  setModal(true);
}

TForm2::TForm2(QWidget* parent) : FixedDialog("Form2", q(campaign::text::kDeviceDialogCaption), parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label("Label2", "انتخاب دستگاه", this));
  lines_ = new QComboBox(this);
  lines_->setObjectName("ComboBoxLines");
  layout->addWidget(lines_);
  layout->addWidget(label("Label1", "قابليتهاي دستگاه انتخاب شده", this));
  report_ = new QPlainTextEdit(this);
  report_->setObjectName("Memo1");
  report_->setReadOnly(true);
  read_right_to_left(report_);
  layout->addWidget(report_);
  auto* row = new QHBoxLayout;
  auto* confirm = button("BitBtn6", "تاييد", this);
  auto* cancel = button("BitBtn8", "انصراف", this);
  row->addWidget(confirm);
  row->addWidget(cancel);
  layout->addLayout(row);
  set_glyphs(*this, {{"BitBtn6", Glyph::Check}, {"BitBtn8", Glyph::Cross}});
  connect(lines_, &QComboBox::currentIndexChanged, this, [this] { ComboBoxLinesChange(); });
  connect(confirm, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
  connect(cancel, &QPushButton::clicked, this, [this] { BitBtn8Click(); });
}

void TForm2::prepare(campaign::LinePort& line, campaign::OperatorDialogs& dialogs) {
  Phone = &line;
  dialogs_ = &dialogs;
  const QSignalBlocker quiet(lines_);
  lines_->clear();
  for (int i = 0; i < line.number_of_lines(); ++i) lines_->addItem(QString::fromStdString(line.line_name(i)));
  const int id = line.active_device();
  lines_->setCurrentIndex(id >= 0 && id < lines_->count() ? id : -1);
  ComboBoxLinesChange();
}

void TForm2::ComboBoxLinesChange() {
  report_->clear();
  if (!Phone) return;
  for (const auto& l : campaign::capability_report(*Phone, lines_->currentIndex())) {
    report_->appendPlainText(QString::fromStdString(l));
  }
}

void TForm2::BitBtn6Click() {
  if (!Phone) return;
  if (campaign::confirm_line_device(*Phone, lines_->currentIndex(), Phone->active_device(), *dialogs_)) {
    accept();
  }
}

TForm6::TForm6(campaign::PreCallSettings& target, QWidget* parent)
    : FixedDialog("Form6", "تنظيمات قبل از تماس", parent), settings_(target) {
  auto* layout = new QGridLayout(this);
  retry_ = new QCheckBox(
      "يکبار تلاش مجدد در هنگام تماس با هر فرد در صورت اشغال بودن خط و  يا عدم پاسخ به پيام", this);
  retry_->setObjectName("CheckBox1");
  retry_->setChecked(true);
  layout->addWidget(retry_, 0, 0, 1, 3);
  layout->addWidget(label("Label1", "مدت انتظار براي پاسخ مخاطب", this), 1, 0, 1, 3);
  wait_ = new QSlider(Qt::Horizontal, this);
  wait_->setObjectName("TrackBar1");
  wait_->setRange(campaign::PreCallSettings::kMinimumWait, campaign::PreCallSettings::kMaximumWait);
  wait_->setValue(4);
  wait_->setLayoutDirection(Qt::LeftToRight);  // "کم" at the left, the minimum
  layout->addWidget(label("Label2", "زياد", this), 2, 0);
  layout->addWidget(wait_, 2, 1);
  layout->addWidget(label("Label3", "کم", this), 2, 2);
  shutdown_ = new QCheckBox("پس از اتمام عمليات , رايانه خاموش گردد", this);
  shutdown_->setObjectName("CheckBox2");
  layout->addWidget(shutdown_, 3, 0, 1, 3);
  // Ours: calls at once; one is the campaign as it always was.
  layout->addWidget(label("LabelChannels", "تعداد تماس هم‌زمان", this), 4, 0);
  channels_ = new QSpinBox(this);
  channels_->setObjectName("SpinChannels");
  channels_->setRange(1, campaign::PreCallSettings::kMaximumChannels);
  channels_->setValue(1);
  channels_->setFixedWidth(80);
  layout->addWidget(channels_, 4, 1, Qt::AlignLeading);
  // Ours: key 2 also puts the number on the do-not-call list.
  key2_dnc_ = new QCheckBox("کلید ۲ یعنی «دیگر با من تماس نگیرید»", this);
  key2_dnc_->setObjectName("CheckKey2Dnc");
  layout->addWidget(key2_dnc_, 5, 0, 1, 3);
  // Ours: the calling hours and holidays, and the retry table of orvexa.toml.
  calling_hours_ = new QCheckBox("فقط در ساعات تماس، نه در تعطیلات", this);
  calling_hours_->setObjectName("CheckCallingHours");
  layout->addWidget(calling_hours_, 6, 0, 1, 3);
  retry_policy_ = new QCheckBox("تلاش مجدد بر اساس نتیجه تماس (جدول تلاش مجدد)", this);
  retry_policy_->setObjectName("CheckRetryPolicy");
  layout->addWidget(retry_policy_, 7, 0, 1, 3);
  auto* back = button("Button1", "بازگشت", this);
  layout->addWidget(back, 8, 1);
  set_glyph(back, Glyph::Back);
  connect(back, &QPushButton::clicked, this, &QDialog::accept);
  connect(retry_, &QCheckBox::toggled, this, [this] { read_controls(); });
  connect(shutdown_, &QCheckBox::toggled, this, [this] { read_controls(); });
  connect(wait_, &QSlider::valueChanged, this, [this] { read_controls(); });
  connect(channels_, &QSpinBox::valueChanged, this, [this] { read_controls(); });
  for (auto* check : {key2_dnc_, calling_hours_, retry_policy_})
    connect(check, &QCheckBox::toggled, this, [this] { read_controls(); });
  read_controls();
}

void TForm6::read_controls() {
  settings_.retry_once = retry_->isChecked();
  settings_.waiting_length = wait_->value();
  settings_.shutdown = shutdown_->isChecked();
  settings_.channels = channels_->value();
  settings_.key2_dnc = key2_dnc_->isChecked();
  settings_.calling_hours = calling_hours_->isChecked();
  settings_.retry_policy = retry_policy_->isChecked();
}

TForm8::TForm8(messaging::Loop& loop, const Pictures& pictures, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      timer_(loop, [this](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
        if (m == messaging::WM_TIMER) {
          timer_.kill_timer(1);
          accept();
        }
        return messaging::LRESULT{0};
      }) {
  setObjectName("Form8");
  setFixedSize(411, 315);
  setStyleSheet("background-color: rgb(30, 60, 120); color: white;");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* picture = label("Image1", " Orvexa ", this);
  picture->setAlignment(Qt::AlignCenter);
  if (QPixmap splash = pictures.picture(Picture::Splash); !splash.isNull()) picture->setPixmap(splash);
  else picture->setStyleSheet("font-size: 40px;");
  layout->addWidget(picture);
}

void TForm8::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  timer_.set_timer(1, kShowTime);
}

TForm9::TForm9(const Pictures& pictures, QWidget* parent) : FixedDialog("Form9", "راهنما", parent) {
  setFixedSize(500, 414);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* page = label("Image1",
                     "1. پيام آغازين و پيام اصلي را ضبط و يا انتخاب نماييد\n"
                     "2. شماره، گروه و يا کليه گروه ها را انتخاب نماييد\n"
                     "3. دکمه انجام عمليات را فشار دهيد",
                     this);
  page->setWordWrap(true);
  // Without the picture the same steps are shown as text.
  if (QPixmap help = pictures.picture(Picture::Help); !help.isNull()) page->setPixmap(help);
  else page->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(page);
}

}  // namespace orvexa::app
