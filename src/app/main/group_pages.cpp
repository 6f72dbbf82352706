#include "app/main/group_pages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "app/data/data_messages.h"
#include "app/main/key_rules.h"
#include "app/main/member_dates_dialog.h"
#include "app/main/member_table_model.h"
#include "app/main/pictures.h"

namespace orvexa::app {

namespace text = data::text;

namespace {

const char* const kDatesCaption = "درج";
const char* const kDatesDoneCaption = "درج گرديد";

template <class W, class... Args>
W* named(const char* name, QWidget* parent, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(name);
  return w;
}

QLabel* label(const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); }

QPushButton* button(const char* name, const char* text, QWidget* parent) {
  return named<QPushButton>(name, parent, QString::fromUtf8(text));
}

QLineEdit* field(const char* name, int limit, QWidget* parent) {
  auto* f = named<QLineEdit>(name, parent);
  f->setMaxLength(limit);
  return f;
}

// Cell editors take no more than the column holds.
class LimitedDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
      line->setMaxLength(MemberTableModel::column_limit(index.column()));
    return editor;
  }
};

QTableView* grid(const char* name, MemberTableModel* model, bool editable, QWidget* parent) {
  auto* view = named<QTableView>(name, parent);
  view->setModel(model);
  view->setLayoutDirection(Qt::RightToLeft);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  view->verticalHeader()->setDefaultSectionSize(22);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  if (editable) {
    view->setItemDelegate(new LimitedDelegate(view));
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  } else {
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
  }
  return view;
}

std::optional<data::Group> chosen_group(QComboBox* chooser, PageContext& context) {
  const std::string name = chooser->currentText().toStdString();
  auto group = name.empty() ? std::nullopt : context.store.find_group(name);
  if (!group) context.boxes.message_box(text::kChooseGroup);
  return group;
}

void show_all(campaign::OperatorDialogs& boxes, const std::vector<std::string>& messages) {
  for (const auto& m : messages) boxes.message_box(m);
}

// Opens the group's table in the model and sets the count label; false after telling why.
bool open_group(MemberTableModel& model, const data::Group& group, QLabel* count_label,
                PageContext& context) {
  auto count = context.store.count_members(group);
  if (!count || !model.open(group)) {
    model.close();
    context.boxes.error_box(std::string(text::kOperationFailed) + "\n" + context.store.last_error());
    return false;
  }
  count_label->setText(QString::fromStdString(text::member_count_label(group.name, *count)));
  return true;
}

}  // namespace

void refill_chooser(QComboBox* chooser, const std::vector<data::Group>& groups) {
  const QString current = chooser->currentText();
  const QSignalBlocker quiet(chooser);
  chooser->clear();
  for (const auto& g : groups) chooser->addItem(QString::fromStdString(g.name), g.code);
  chooser->setCurrentIndex(chooser->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

GroupDefinitionPage::GroupDefinitionPage(PageContext context, TForm3& dates, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), dates_(dates),
      model_(new MemberTableModel(context_.store, false, this)) {
  setObjectName("GroupDefinition");
  auto* column = new QVBoxLayout(this);
  column->addWidget(build_group_box());
  column->addWidget(build_entry_box());
  Label46 = named<QLabel>("Label46", this);
  Label46->setLayoutDirection(Qt::RightToLeft);
  column->addWidget(Label46);
  DBGrid1 = grid("DBGrid1", model_, false, this);
  column->addWidget(DBGrid1, 1);
  dates_.on_confirmed([this](bool confirmed) { set_dates_state(confirmed); });
  dates_.on_closed([this] { Edit7->setFocus(); });
}

GroupDefinitionPage::~GroupDefinitionPage() {
  dates_.on_confirmed({});
  dates_.on_closed({});
}

QWidget* GroupDefinitionPage::build_group_box() {
  auto* box = named<QGroupBox>("GroupBox3", this, QString::fromUtf8(": تعريف گروه جديد"));
  auto* g = new QGridLayout(box);
  Edit4 = field("Edit4", 50, box);
  g->addWidget(label("نام گروه جديد", box), 0, 0);
  g->addWidget(Edit4, 0, 1);
  auto* create = button("BitBtn3", "ثبت", box);
  g->addWidget(create, 0, 2);
  DBLookupComboBox3 = named<QComboBox>("DBLookupComboBox3", box);
  g->addWidget(label("انتخاب گروه مورد نظر", box), 1, 0);
  g->addWidget(DBLookupComboBox3, 1, 1);
  auto* choose = button("BitBtn1", "انتخاب", box);
  g->addWidget(choose, 1, 2);
  set_glyphs(*this, {{"BitBtn3", Glyph::Plus}, {"BitBtn1", Glyph::Search}});
  connect(create, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
  connect(choose, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  return box;
}

QWidget* GroupDefinitionPage::build_entry_box() {
  auto* box = named<QGroupBox>("GroupBox4", this);
  auto* g = new QGridLayout(box);
  Edit5 = field("Edit5", 40, box);
  Edit6 = field("Edit6", 50, box);
  Edit1 = field("Edit1", 15, box);
  Edit2 = field("Edit2", 15, box);
  Edit7 = field("Edit7", 15, box);
  Button3 = button("Button3", "   درج   ", box);
  Button3->setAutoDefault(false);
  Image37 = named<QLabel>("Image37", box);
  Image37->setPixmap(glyph_pixmap(Glyph::Check, 18));
  Image37->setVisible(false);
  auto* insert = button("BitBtn2", "ثبت اطلاعات", box);
  g->addWidget(label(":                       نام ", box), 0, 0);
  g->addWidget(Edit5, 0, 1);
  g->addWidget(label(":       نام  خانوادگي", box), 0, 2);
  g->addWidget(Edit6, 0, 3);
  g->addWidget(label(": شماره شناسنامه", box), 1, 0);
  g->addWidget(Edit1, 1, 1);
  g->addWidget(label(":  ...   کد   ملي   يا", box), 1, 2);
  g->addWidget(Edit2, 1, 3);
  g->addWidget(label("...درج  تاريخ تولد , قرارداد , اقساط و", box), 2, 0);
  auto* dates_row = new QHBoxLayout;
  dates_row->addWidget(Button3);
  dates_row->addWidget(Image37);
  g->addLayout(dates_row, 2, 1);
  g->addWidget(label(":         شماره  تلفن   ", box), 2, 2);
  g->addWidget(Edit7, 2, 3);
  g->addWidget(insert, 3, 3);
  for (QLineEdit* f : {Edit5, Edit6, Edit1, Edit2, Edit7}) f->setLayoutDirection(Qt::RightToLeft);
  KeyRule::install(Edit5, {{}, {}, [this] { Edit6->setFocus(); }});
  KeyRule::install(Edit6, {{}, {}, [this] { Edit1->setFocus(); }});
  KeyRule::install(Edit1, {{}, {}, [this] { Edit2->setFocus(); }});
  KeyRule::install(Edit2, {{}, {}, [this] { Button3->setFocus(); }});
  KeyRule::install(Edit7, {is_dial_character, {}, [this] { BitBtn2Click(); }});
  setTabOrder(Edit5, Edit6);
  setTabOrder(Edit6, Edit1);
  setTabOrder(Edit1, Edit2);
  setTabOrder(Edit2, Button3);
  setTabOrder(Button3, Edit7);
  setTabOrder(Edit7, insert);
  set_glyphs(*this, {{"Button3", Glyph::Calendar}, {"BitBtn2", Glyph::AddPerson}});
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(insert, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  return box;
}

void GroupDefinitionPage::BitBtn3Click() {
  const std::string name = Edit4->text().toStdString();  // not trimmed: blanks make a name
  if (name.empty()) {
    context_.boxes.message_box(text::kEnterGroupName);
    return;
  }
  auto outcome = context_.store.create_group(name);
  show_all(context_.boxes, outcome.messages);
  if (!outcome.ok) return;
  if (context_.groups_changed) context_.groups_changed();
  Edit4->clear();
}

void GroupDefinitionPage::BitBtn1Click() {
  auto group = chosen_group(DBLookupComboBox3, context_);
  if (!group) return;
  model_->close();
  if (open_group(*model_, *group, Label46, context_)) remembered_name_ = group->name;
}

void GroupDefinitionPage::BitBtn2Click() {
  if (!model_->is_open()) {
    context_.boxes.message_box(text::kChooseEntryGroup);
    return;
  }
  if (Edit7->text().trimmed().isEmpty()) {
    context_.boxes.message_box(text::kEnterPhone);
    return;
  }
  data::MemberEntry entry;
  entry.name = Edit5->text().toStdString();
  entry.family = Edit6->text().toStdString();
  entry.shsh = Edit1->text().toStdString();
  entry.cod = Edit2->text().toStdString();
  entry.num = Edit7->text().toStdString();
  dates_.fill(entry);
  const data::Group group = *model_->group();
  auto outcome = context_.store.insert_member(group, entry);
  if (!outcome.ok) {
    context_.boxes.error_box(outcome.messages.empty() ? std::string(text::kOperationFailed)
                                                      : outcome.messages.front());
    model_->reread();
    return;
  }
  for (QLineEdit* f : {Edit1, Edit2, Edit5, Edit6, Edit7}) f->clear();
  dates_.clear_fields();
  set_dates_state(false);
  Edit5->setFocus();
  show_all(context_.boxes, outcome.messages);
  model_->reread();
  const auto count = context_.store.count_members(group);
  if (count) Label46->setText(QString::fromStdString(text::member_count_label(remembered_name_, *count)));
}

void GroupDefinitionPage::Button3Click() {
  dates_.exec();
  Edit7->setFocus();  // after the window is active again, whatever closed the dialog
}

void GroupDefinitionPage::set_dates_state(bool confirmed) {
  Button3->setText(QString::fromUtf8(confirmed ? kDatesDoneCaption : kDatesCaption));
  Image37->setVisible(confirmed);
}

void GroupDefinitionPage::reset_entry() {
  for (QLineEdit* f : {Edit4, Edit1, Edit2, Edit5, Edit6, Edit7}) f->clear();
  dates_.clear_fields();
  set_dates_state(false);
}

void GroupDefinitionPage::close_table() { model_->close(); }

void GroupDefinitionPage::refill(const std::vector<data::Group>& groups) {
  refill_chooser(DBLookupComboBox3, groups);
}

GroupEditingPage::GroupEditingPage(PageContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)),
      model_(new MemberTableModel(context_.store, true, this)) {
  setObjectName("GroupEditing");
  auto* column = new QVBoxLayout(this);
  auto* removal = named<QGroupBox>("GroupBox6", this, QString::fromUtf8(": حذف گروه از ليست"));
  auto* r = new QGridLayout(removal);
  DBLookupComboBox4 = named<QComboBox>("DBLookupComboBox4", removal);
  auto* drop = button("BitBtn4", "حذف", removal);
  r->addWidget(label("انتخاب گروه مورد نظر", removal), 0, 0);
  r->addWidget(DBLookupComboBox4, 0, 1);
  r->addWidget(drop, 0, 2);
  column->addWidget(removal);
  auto* note = label("جهت ويرايش مشخصات اعضاي گروهها ابتدا گروه مورد نظر را از ليست انتخاب نماييد", this);
  note->setObjectName("Label57");
  column->addWidget(note);
  auto* chooser_row = new QHBoxLayout;
  DBLookupComboBox2 = named<QComboBox>("DBLookupComboBox2", this);
  auto* choose = button("BitBtn5", "انتخاب", this);
  chooser_row->addWidget(label("انتخاب گروه مورد نظر", this));
  chooser_row->addWidget(DBLookupComboBox2, 1);
  chooser_row->addWidget(choose);
  column->addLayout(chooser_row);
  Label56 = named<QLabel>("Label56", this);
  Label56->setLayoutDirection(Qt::RightToLeft);
  column->addWidget(Label56);
  DBGrid2 = grid("DBGrid2", model_, true, this);
  column->addWidget(DBGrid2, 1);
  auto* navigators = new QHBoxLayout;
  struct Nav {
    const char* name;
    const char* text;
  };
  const Nav navs[] = {{"DBNavigator1", "ويرايش رکورد جاري"},
                      {"DBNavigator2", "اعمال ويرايش"},
                      {"DBNavigator3", "حذف رکورد جاري"}};
  for (const Nav& n : navs) navigators->addWidget(button(n.name, n.text, this));
  column->addLayout(navigators);
  set_glyphs(*this, {{"BitBtn4", Glyph::Trash}, {"BitBtn5", Glyph::Search}, {"DBNavigator1", Glyph::Pencil},
                     {"DBNavigator2", Glyph::Check}, {"DBNavigator3", Glyph::Trash}});
  connect(drop, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
  connect(choose, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
  connect(findChild<QPushButton*>("DBNavigator1"), &QPushButton::clicked, this, [this] { DBNavigator1Click(); });
  connect(findChild<QPushButton*>("DBNavigator2"), &QPushButton::clicked, this, [this] { DBNavigator2Click(); });
  connect(findChild<QPushButton*>("DBNavigator3"), &QPushButton::clicked, this, [this] { DBNavigator3Click(); });
  // Leaving a row stores it, as the dataset does on a move.
  connect(DBGrid2->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex&, const QModelIndex& previous) {
            if (previous.isValid() && model_->pending_row() == previous.row()) DBNavigator2Click();
          });
}

GroupEditingPage::~GroupEditingPage() = default;

void GroupEditingPage::BitBtn4Click() {
  const std::string name = DBLookupComboBox4->currentText().toStdString();
  if (name.empty()) {
    context_.boxes.message_box(text::kChooseGroup);
    return;
  }
  if (!context_.ask.confirm(text::kConfirmDrop)) return;
  // The store closes every dataset on the table first (the window's hook posts their edits).
  auto outcome = context_.store.drop_group(name);
  show_all(context_.boxes, outcome.messages);
  if (context_.groups_changed) context_.groups_changed();
}

void GroupEditingPage::BitBtn5Click() {
  auto group = chosen_group(DBLookupComboBox2, context_);
  if (!group) return;
  close_table();
  open_group(*model_, *group, Label56, context_);
}

void GroupEditingPage::DBNavigator1Click() {
  if (!model_->is_open() || model_->rowCount() == 0) return;
  QModelIndex at = DBGrid2->currentIndex();
  if (!at.isValid()) at = model_->index(0, 0);
  DBGrid2->setCurrentIndex(at);
  DBGrid2->edit(at);
}

bool GroupEditingPage::DBNavigator2Click() {
  // An open cell editor holds the last typed text: hand it to the row first.
  if (QWidget* editor = DBGrid2->indexWidget(DBGrid2->currentIndex())) {
    emit DBGrid2->itemDelegate()->commitData(editor);
    emit DBGrid2->itemDelegate()->closeEditor(editor);
  }
  std::string error;
  if (model_->post(error)) return true;
  context_.boxes.error_box(error);
  return false;
}

void GroupEditingPage::DBNavigator3Click() {
  const QModelIndex at = DBGrid2->currentIndex();
  if (!model_->is_open() || !at.isValid()) return;
  if (!context_.ask.confirm("Delete record?")) return;
  std::string error;
  if (!model_->remove(at.row(), error)) context_.boxes.error_box(error);
}

void GroupEditingPage::close_table() {
  if (model_->has_pending()) DBNavigator2Click();
  model_->close();
}

void GroupEditingPage::refill(const std::vector<data::Group>& groups) {
  refill_chooser(DBLookupComboBox4, groups);
  refill_chooser(DBLookupComboBox2, groups);
}

}  // namespace orvexa::app
