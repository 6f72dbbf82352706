#include "app/main/form_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <iostream>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/device_choice.h"
#include "app/data/solar_date.h"
#include "app/main/channel_table.h"
#include "app/main/data_pages.h"
#include "app/main/member_dates_dialog.h"
#include "app/main/holidays_page.h"
#include "app/main/schedules_page.h"
#include "app/main/page_dialogs.h"
#include "app/main/report_page.h"
#include "app/main/side_windows.h"
#include "app/main/window_records.h"

namespace orvexa::app {

using namespace std::chrono_literals;
namespace text = campaign::text;

namespace {

constexpr int kDotLeft[] = {11, 34, 57};
constexpr int kAboutLimit = 570;

// The about memo's pulsing red ground, with light text that stays readable on it.
QString about_style(int red) {
  return QString("background-color: rgb(%1, 0, 0); color: rgb(255, 236, 180);").arg(red);
}

// A typed one-digit day or month gets its leading "0", as the filter compares two digits.
void pad(QLineEdit* field) {
  if (field->text().size() == 1) field->setText("0" + field->text());
}

// A retry by outcome waits for the calling hours only in a campaign that keeps them, as
// `orvexa run --retry-policy` without `--calling-hours` does.
class SettingsRetries final : public campaign::RetryPlanner {
 public:
  SettingsRetries(const campaign::PreCallSettings& settings, const campaign::RetryPlanner& within_hours,
                  const campaign::RetryPlanner& any_hour)
      : settings_(settings), within_hours_(within_hours), any_hour_(any_hour) {}
  std::optional<messaging::WallTime> next_attempt(campaign::Outcome outcome, int attempts,
                                                  messaging::WallTime ended) const override {
    return (settings_.calling_hours ? within_hours_ : any_hour_).next_attempt(outcome, attempts, ended);
  }

 private:
  const campaign::PreCallSettings& settings_;
  const campaign::RetryPlanner& within_hours_;
  const campaign::RetryPlanner& any_hour_;
};
}  // namespace

TForm1::TForm1(MainWindowDeps deps, const Pictures& pictures, QWidget* parent)
    : QMainWindow(parent), deps_(std::move(deps)), pictures_(pictures) {
  setObjectName("Form1");
  setWindowTitle(QString::fromUtf8(kMainCaption));
  setLayoutDirection(Qt::RightToLeft);
  setFixedSize(913, 615);  // single fixed border: no resizing, no maximise
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(185, 204, 240));
  setPalette(colours);
  setAutoFillBackground(true);
  build();

  log_.on_append([this](const std::string& line) { Memo1->appendPlainText(QString::fromStdString(line)); });
  log_.on_reset([this] {
    QStringList lines;
    for (const auto& l : log_.lines()) lines << QString::fromStdString(l);
    Memo1->setPlainText(lines.join('\n'));
  });
  if (deps_.retries && deps_.retries_any_hour)
    retries_ = std::make_unique<SettingsRetries>(settings_, *deps_.retries, *deps_.retries_any_hour);
  engine_ = std::make_unique<campaign::CampaignEngine>(
      deps_.loop, campaign::CampaignDeps{deps_.line, deps_.voice, deps_.members, log_, *this,
                                         deps_.dialogs, deps_.shell, settings_, paths_,
                                         deps_.records ? deps_.records->recorder() : nullptr,
                                         deps_.channels ? &deps_.channels->source : nullptr,
                                         deps_.records ? deps_.records->dnc() : nullptr, deps_.hours,
                                         retries_ ? retries_.get() : deps_.retries});
  prep_ = std::make_unique<campaign::MessagePreparation>(deps_.voice, engine_->call_flow(), log_,
                                                         deps_.dialogs, paths_, deps_.program_folder);
  prep_->on_buttons_changed([this](campaign::MessageButtons b) { show_message_buttons(b); });
  timers_ = std::make_unique<messaging::FunctionWindow>(
      deps_.loop, [this](messaging::UINT m, messaging::WPARAM id, messaging::LPARAM) {
        return m == messaging::WM_TIMER ? on_timer(id) : 0;
      });
  connect_handlers();
  FormCreate();
}

TForm1::~TForm1() {
  // The engine's callbacks reach widgets; it goes first.
  data_pages_.reset();
  prep_.reset();
  engine_.reset();
  timers_.reset();
}

void TForm1::FormCreate() {
  if (deps_.line.activate(0) != 0) {
    deps_.dialogs.message_box(text::kLineActivationBox);
    log_.append(text::kLineActivationLog);
  }
  if (QString family = persian_font_family(); !family.isEmpty()) setFont(QFont(family));
  else setFont(QFont("Tahoma"));
  refill_group_chooser();
  Timer4Timer();
  timers_->set_timer(Timer4, 45000ms);
  report_missing_pictures();
}

// The program works without its pictures; the operator and the log are told why they are missing.
void TForm1::report_missing_pictures() {
  if (pictures_.jpeg_available()) return;
  std::cerr << picture_text::kJpegMissingLog << '\n';
  deps_.dialogs.message_box(picture_text::kJpegMissing);
}

void TForm1::attach_data_pages(DataPagesDeps deps) {
  if (!side_.dates || !side_.prompt || !side_.progress) return;
  data_pages_ = std::make_unique<DataPages>(
      DataPagesHost{*this, deps_.loop, deps_.dialogs, *side_.dates, *side_.prompt, *side_.progress,
                    [this] { close_for_good(); }},
      std::move(deps));
}

void TForm1::FormShow() {
  if (data_pages_) data_pages_->load_password();
  if (show_splash_ && side_.splash) side_.splash->exec();
  // A refused password ends the program even when the report cannot be written.
  if (data_pages_ && !data_pages_->password_lets_start()) {
    close_for_good();
    return;
  }
  prep_->fill_paths_from_folder();
  refresh_paths();
  check_records();
}

void TForm1::connect_handlers() {
  auto on_click = [this](const char* name, auto handler) {
    if (auto* b = findChild<QPushButton*>(name)) connect(b, &QPushButton::clicked, this, handler);
  };
  on_click("BitBtn6", [this] { BitBtn6Click(); });
  on_click("BitBtn7", [this] { BitBtn7Click(); });
  on_click("SpeedButton2", [this] { SpeedButton2Click(); });
  on_click("SpeedButton5", [this] { SpeedButton5Click(); });
  on_click("SpeedButton4", [this] { SpeedButton4Click(); });
  on_click("SpeedButton3", [this] { SpeedButton3Click(); });
  on_click("SpeedButton6", [this] { SpeedButton6Click(); });
  on_click("SpeedButton31", [this] { if (side_.settings) side_.settings->exec(); });
  on_click("SpeedButton1", [this] { if (side_.help) side_.help->exec(); });
  using campaign::MessageRow;
  on_click("BitBtn9", [this] { message_action([this] { prep_->record(MessageRow::Opening); }); });
  on_click("BitBtn14", [this] { message_action([this] { prep_->record(MessageRow::Main); }); });
  for (const char* stop : {"BitBtn10", "BitBtn13", "BitBtn8"}) {
    on_click(stop, [this] { message_action([this] { prep_->stop(); }); });
  }
  on_click("BitBtn11", [this] { message_action([this] { prep_->play(MessageRow::Opening); }); });
  on_click("BitBtn12", [this] { message_action([this] { prep_->play(MessageRow::Main); }); });
  on_click("Button1", [this] {
    message_action([this] {
      prep_->stop();
      prep_->choose(MessageRow::Opening, deps_.files.open_wave());
    });
  });
  on_click("Button2", [this] {
    message_action([this] {
      prep_->stop();
      prep_->choose(MessageRow::Main, deps_.files.open_wave());
    });
  });
  on_click("AboutSiteButton", [this] { open_web_page({}); });
  on_click("AboutLatestButton", [this] { open_web_page("latest"); });
  on_click("AboutNoticesButton", [this] { open_web_page("notices"); });
  connect(TreeView1, &QTreeWidget::itemClicked, this, [this] { TreeView1Click(); });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
  connect(RadioButton1, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
  connect(shomare, &QLineEdit::textChanged, num, &QLineEdit::setText);
  connect(CheckBox1, &QCheckBox::toggled, GroupBox5, &QWidget::setVisible);
  for (QWidget* w : {static_cast<QWidget*>(shomare), static_cast<QWidget*>(DBLookupComboBox1),
                     static_cast<QWidget*>(Edit3)}) {
    w->installEventFilter(this);
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == shomare) RadioButton1->setChecked(true);
    if (watched == DBLookupComboBox1) RadioButton2->setChecked(true);
    if (watched == Edit3) RadioButton3->setChecked(true);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::message_action(const std::function<void()>& action) {
  action();
  refresh_paths();
}

void TForm1::refresh_paths() {
  Edit9->setText(QString::fromStdString(paths_.opening));
  Edit8->setText(QString::fromStdString(paths_.main));
}

void TForm1::KDVoice1SoundState(campaign::SoundEvent state, int error) {
  engine_->call_flow().on_sound_state(state, error);
  prep_->on_sound_state(state);
  refresh_paths();
}

void TForm1::show_message_buttons(campaign::MessageButtons state) {
  for (int i = 0; i < 6; ++i) {
    bool on = state == campaign::MessageButtons::AllEnabled ||
              (state == campaign::MessageButtons::OnlyOpeningStop && i == 1) ||
              (state == campaign::MessageButtons::OnlyMainStop && i == 4);
    message_buttons_[i]->setEnabled(on);
  }
}

void TForm1::refill_group_chooser() {
  const QString current = DBLookupComboBox1->currentText();
  DBLookupComboBox1->clear();
  for (const auto& g : deps_.members.groups()) DBLookupComboBox1->addItem(QString::fromStdString(g.gname));
  DBLookupComboBox1->setCurrentIndex(DBLookupComboBox1->findText(current));
}

void TForm1::BitBtn6Click() {
  if (!records_refusal_.empty()) {
    deps_.dialogs.message_box(records_refusal_);
    return;
  }
  campaign::CampaignRequest request;
  if (RadioButton2->isChecked()) request.choice = campaign::CampaignChoice::OneGroup;
  if (RadioButton3->isChecked()) request.choice = campaign::CampaignChoice::AllGroups;
  request.number = shomare->text().toStdString();
  request.group_name = DBLookupComboBox1->currentText().toStdString();
  if (CheckBox1->isChecked()) {
    pad(Edit10);
    pad(Edit11);
    const char* kind = RadioButton4->isChecked()   ? "birthday"
                       : RadioButton5->isChecked() ? "marriage"
                       : RadioButton6->isChecked() ? "contract"
                                                   : "instalments";
    request.filter = campaign::DateFilterRequest{kind, Edit10->text().toStdString(),
                                                 Edit11->text().toStdString()};
  }
  use_active_line();
  engine_->start(request);
  refresh_channel_table();
  refresh_paths();
}

// The campaign's channels are drawn from the line the operator chose last (or none, when it
// could not be opened: then only one channel is offered).
void TForm1::use_active_line() {
  if (!deps_.channels || !deps_.channels->use_devices) return;
  const int active = deps_.line.active_device();
  deps_.channels->use_devices(active >= 0 ? std::vector<int>{active} : std::vector<int>{});
}

void TForm1::refresh_channel_table() {
  if (channel_table_->isHidden()) return;
  channel_table_->show_status(engine_->channel_status());
}

void TForm1::RadioButton1Click() { CheckBox1->setChecked(false); }

void TForm1::SpeedButton2Click() {
  if (deps_.line.number_of_lines() == 0) {
    deps_.dialogs.message_box(campaign::text::kNoLineDevices);
    return;
  }
  if (!side_.device) return;
  side_.device->prepare(deps_.line, deps_.dialogs);
  side_.device->exec();
}

void TForm1::SpeedButton5Click() {
  auto path = deps_.files.open_log();
  if (!path) return;
  std::vector<std::string> lines;
  if (auto error = campaign::load_log_file(*path, lines)) {
    deps_.dialogs.error_box(error.message());
    return;
  }
  log_.replace(std::move(lines));
}

void TForm1::SpeedButton4Click() {
  auto path = deps_.files.save_log();
  if (!path) return;
  if (auto error = campaign::save_log_file(*path, log_.lines())) deps_.dialogs.error_box(error.message());
}

void TForm1::SpeedButton6Click() {
  if (BitBtn7->isVisible() || engine_->running()) return;
  PageControl1->setCurrentWidget(findChild<QWidget*>("TabSheet8"));
  PageControl1Change();
}

void TForm1::TreeView1Click() {
  if (engine_->running()) {
    deps_.dialogs.message_box(text::kBusyRefusal);
    return;
  }
  auto* item = TreeView1->currentItem();
  const int picture = item ? item->data(0, Qt::UserRole).toInt() : -1;
  const QSignalBlocker quiet(PageControl1);  // the change handler runs once, below
  auto select = [this](const char* page) { PageControl1->setCurrentWidget(findChild<QWidget*>(page)); };
  switch (picture) {
    case 24: select("TabSheet2"); break;
    case 14: if (side_.settings) side_.settings->exec(); break;
    case 11: if (side_.help) side_.help->exec(); break;
    case 19: select("TabSheet3"); break;
    case 0: select("TabSheet4"); break;
    case 7: select("TabSheet5"); break;
    case 26: SpeedButton2Click(); break;
    case 23: select("TabSheet6"); break;
    case 10: select("TabSheet8"); break;
    case 28: select("TabSheet9"); break;
    case 29: select("TabSheet10"); break;
    case 30: select("TabSheet11"); break;
    case 22: open_web_page({}); break;
    default: break;
  }
  PageControl1Change();
}

void TForm1::open_web_page(const QString& anchor) {
  if (!side_.web) return;
  side_.web->show_section(anchor);
  side_.web->exec();
}

void TForm1::PageControl1Change() {
  prep_->stop();
  refresh_paths();
  deps_.members.clear_filter();
  refill_group_chooser();
  if (data_pages_) data_pages_->page_changed(PageControl1->currentWidget());
  // The report reads calls.db afresh each time it is entered, and lets it go when left.
  if (PageControl1->currentWidget() == findChild<QWidget*>("TabSheet9")) report_->refresh();
  else report_->release();
  if (PageControl1->currentWidget() == findChild<QWidget*>("TabSheet10")) holidays_->refresh();
  if (PageControl1->currentWidget() == findChild<QWidget*>("TabSheet11")) schedules_->refresh();
  if (PageControl1->currentWidget() == findChild<QWidget*>("TabSheet8")) {
    typed_ = 0;
    Memo2->clear();
    about_colour_ = 10;
    Memo2->setStyleSheet(about_style(about_colour_));
    timers_->set_timer(Timer10, 80ms);
    timers_->set_timer(Timer8, 30ms);
    timers_->kill_timer(Timer9);
  } else {
    for (auto id : {Timer10, Timer8, Timer9}) timers_->kill_timer(id);
  }
}

messaging::LRESULT TForm1::on_timer(std::uintptr_t id) {
  switch (id) {
    case Timer1: Timer1Timer(); break;
    case Timer4: Timer4Timer(); break;
    case Timer8: Timer8Timer(); break;
    case Timer9: Timer9Timer(); break;
    case Timer10: Timer10Timer(); break;
    case ChannelTimer: refresh_channel_table(); break;
    default: break;
  }
  return 0;
}

void TForm1::Timer4Timer() {
  const auto wall = deps_.loop.clock().wall_now();
  const auto solar = data::solar_on(wall);
  e1->setText(QString::fromStdString(solar.day_text()));
  e2->setText(QString::fromStdString(solar.month_text()));
  e3->setText(QString::number(solar.year));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch());
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms.count());
  saat->setText(local.toString("hh:mm"));
  labol->setText(QLocale().toString(local.date(), "dddd dd, MMM. yyyy"));
}

void TForm1::Timer1Timer() {
  const int x = imo->x();
  for (int i = 0; i < 3; ++i) {
    if (x == kDotLeft[i]) {
      imo->move(kDotLeft[(i + 1) % 3], imo->y());
      return;
    }
  }
}

void TForm1::Timer10Timer() {
  const QString about = Memo3->toPlainText();
  if (typed_ < kAboutLimit && typed_ < about.size()) {
    ++typed_;
    Memo2->moveCursor(QTextCursor::End);
    Memo2->insertPlainText(about.mid(typed_ - 1, 1));
  } else {
    timers_->kill_timer(Timer10);
  }
}

void TForm1::Timer8Timer() {
  if (about_colour_ < 208) {
    about_colour_ += 4;
  } else {
    timers_->kill_timer(Timer8);
    timers_->set_timer(Timer9, 30ms);
  }
  Memo2->setStyleSheet(about_style(about_colour_));
}

void TForm1::Timer9Timer() {
  if (about_colour_ > 10) {
    about_colour_ -= 4;
  } else {
    timers_->kill_timer(Timer9);
    timers_->set_timer(Timer8, 30ms);
  }
  Memo2->setStyleSheet(about_style(about_colour_));
}

void TForm1::show_activity(bool on) {
  imo->setVisible(on);
  if (on) timers_->set_timer(Timer1, 650ms);
  else timers_->kill_timer(Timer1);
}

void TForm1::set_running(bool on) {
  PageControl1->setEnabled(!on);
  BitBtn7->setVisible(on);
  BitBtn6->setEnabled(!on);
  // The channels are open by now; with one the page stays as it always was, with no timer.
  const bool several = on && engine_->channel_status().size() > 1;
  channel_table_->setVisible(several);
  if (several) {
    refresh_channel_table();
    timers_->set_timer(ChannelTimer, kChannelRefresh);
  } else {
    timers_->kill_timer(ChannelTimer);
  }
}

void TForm1::set_labels(const std::string& l1, const std::string& l2, const std::string& l3) {
  b1->setText(QString::fromStdString(l1));
  b2->setText(QString::fromStdString(l2));
  b3->setText(QString::fromStdString(l3));
}

void TForm1::set_gauge(int maximum, int progress) {
  Gauge1->setMaximum(std::max(maximum, 1));
  Gauge1->setValue(progress);
}

void TForm1::set_number(const std::string& n) { num->setText(QString::fromStdString(n)); }
void TForm1::focus_sink() { Button4->setFocus(); }
void TForm1::enable_message_buttons() { show_message_buttons(campaign::MessageButtons::AllEnabled); }

std::string TForm1::solar_date_text() {
  return (e3->text() + "/" + e2->text() + "/" + e1->text()).toStdString();
}
std::string TForm1::time_text() { return saat->text().toStdString(); }

bool TForm1::write_last_report() {
  auto error = campaign::save_log_file(deps_.program_folder / campaign::kLastReportFile, log_.lines());
  if (!error) return true;
  deps_.dialogs.error_box(error.message());
  return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
  timers_->kill_timer(Timer1);
  if (data_pages_) data_pages_->post_pending();  // an edit in the grid is never dropped
  const bool written = write_last_report();
  if (written || closing_for_good_) {
    event->accept();
  } else {
    event->ignore();  // the operator sees the error and can free the folder
  }
}

void TForm1::close_for_good() {
  closing_for_good_ = true;
  close();
}

}  // namespace orvexa::app
