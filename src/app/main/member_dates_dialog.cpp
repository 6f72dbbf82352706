#include "app/main/member_dates_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main/key_rules.h"
#include "app/main/pictures.h"

namespace orvexa::app {

namespace {

const char* const kCaption = "...درج  تاريخ تولد , قرارداد , اقساط و";

struct DateRow {
  const char* label;
  int day;  // the month field is day + 1
  int grid_row;
  int grid_column;  // 0: the right half, 1: the left half
};

// Birthday and marriage on top, instalments 1-6 on the right and 7-12 on the left, contract and
// last instalment at the bottom.
constexpr DateRow kRows[] = {
    {":   تاريخ   تولد", 1, 0, 0},     {":   تاريخ  ازدواج", 3, 0, 1},
    {": تاريخ قسط 1", 5, 2, 0},        {": تاريخ قسط 2", 7, 3, 0},
    {": تاريخ قسط 3", 9, 4, 0},        {": تاريخ قسط 4", 11, 5, 0},
    {": تاريخ قسط 5", 13, 6, 0},       {": تاريخ قسط 6", 15, 7, 0},
    {":  تاريخ قسط  7", 17, 2, 1},     {":  تاريخ قسط  8 ", 19, 3, 1},
    {":  تاريخ قسط  9", 21, 4, 1},     {": تاريخ قسط 10", 23, 5, 1},
    {": تاريخ قسط 11", 25, 6, 1},      {": تاريخ قسط 12", 27, 7, 1},
    {": تاريخ قرارداد", 29, 8, 0},     {": تاريخ و سال آخرين قسط", 31, 8, 1},
};

QLabel* note(const char* text, QWidget* parent) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setWordWrap(true);
  return l;
}

}  // namespace

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Form3");
  setWindowTitle(QString::fromUtf8(kCaption));
  setLayoutDirection(Qt::RightToLeft);
  setModal(true);
  auto* column = new QVBoxLayout(this);
  column->addWidget(note("تکميل اين فرم و استفاده از فيلتر تاريخ , به صورت اختياري مي باشد", this));
  column->addWidget(note("لطفا تاريخهاي مورد نظر را به طور صحيح وارد نماييد در غير اين صورت اعمال فيلتر توسط اين تاريخ ها قابل انجام نمي باشد", this));
  column->addWidget(note("به عنوان مثال  تاريخ  12/1  اشتباه بوده و حالت صحيح آن به اين صورت مي باشد  12/01", this));
  auto* grid = new QGridLayout;
  column->addLayout(grid);
  grid->addWidget(note("اين قسمت مربوط به درج تاريخ اقساط در طول سال بوده و  قابليت ثبت  حد اکثر 12 قسط در طول سال را دارا مي باشد .", this), 1, 0, 1, 2);
  for (int n = 1; n <= kFields; ++n) {
    auto* f = new QLineEdit(this);
    f->setObjectName(QString("e%1").arg(n));
    f->setMaxLength(n == kFields ? 4 : 2);
    f->setFixedWidth(n == kFields ? 44 : 28);
    // Digits and backspace only; Enter is dropped too.
    KeyRule::install(f, {is_ascii_digit, {}, {}});
    fields_[static_cast<std::size_t>(n - 1)] = f;
  }
  for (const DateRow& r : kRows) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QString::fromUtf8(r.label), this));
    row->addWidget(field(r.day));
    row->addWidget(new QLabel("/", this));
    row->addWidget(field(r.day + 1));
    row->addWidget(new QLabel("/", this));
    if (r.day == 31) {
      row->addWidget(field(kFields));
    } else {
      auto* year = new QLineEdit("13 X X", this);
      year->setEnabled(false);
      year->setReadOnly(true);
      year->setFixedWidth(52);
      year->setFocusPolicy(Qt::NoFocus);
      row->addWidget(year);
    }
    row->addStretch();
    grid->addLayout(row, r.grid_row, r.grid_column);
  }
  auto* buttons = new QHBoxLayout;
  auto* confirm = new QPushButton(QString::fromUtf8("  تاييد  "), this);
  confirm->setObjectName("Button1");
  auto* cancel = new QPushButton(QString::fromUtf8(" انصراف"), this);
  cancel->setObjectName("Button2");
  for (auto* b : {confirm, cancel}) b->setAutoDefault(false);
  set_glyph(confirm, Glyph::Check);
  set_glyph(cancel, Glyph::Cross);
  buttons->addWidget(confirm);
  buttons->addWidget(cancel);
  column->addLayout(buttons);
  connect(confirm, &QPushButton::clicked, this, [this] { ConfirmClick(); });
  connect(cancel, &QPushButton::clicked, this, [this] { CancelClick(); });
  // Tab order: e1 .. e33, then the two buttons.
  QWidget* previous = field(1);
  for (int n = 2; n <= kFields; ++n) {
    setTabOrder(previous, field(n));
    previous = field(n);
  }
  setTabOrder(previous, confirm);
  setTabOrder(confirm, cancel);
  setFixedSize(sizeHint());
}

void TForm3::fill(data::MemberEntry& entry) const {
  auto date = [this](int day) {
    return data::DateFields{field(day)->text().toStdString(), field(day + 1)->text().toStdString()};
  };
  entry.birthday = date(1);
  entry.marriage = date(3);
  for (std::size_t i = 0; i < 12; ++i) entry.instalments[i] = date(5 + 2 * static_cast<int>(i));
  entry.contract = date(29);
  entry.last_instalment = date(31);
  entry.last_instalment_year = field(kFields)->text().toStdString();
}

void TForm3::clear_fields() {
  for (auto* f : fields_) f->clear();
}

void TForm3::ConfirmClick() {
  if (confirmed_) confirmed_(true);
  done(QDialog::Accepted);
}

void TForm3::CancelClick() {
  clear_fields();
  if (confirmed_) confirmed_(false);
  done(QDialog::Rejected);
}

void TForm3::done(int result) {
  QDialog::done(result);
  if (closed_) closed_();
}

}  // namespace orvexa::app
