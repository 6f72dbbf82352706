// TForm1: the main window. Pages, navigation tree, status bar and clock, and the operations
// page bound to the campaign engine, the call flow and the message preparation, which hold
// all the logic; this class only shows it and passes the operator's clicks on.
#pragma once

#include <QMainWindow>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/campaign/campaign_engine.h"
#include "app/campaign/message_preparation.h"
#include "app/main/forms.h"
#include "app/main/gui_services.h"
#include "app/main/pictures.h"
#include "platform/messaging/hidden_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QWidget;

namespace orvexa::app {

class ChannelTable;
class DataPages;
struct DataPagesDeps;
class PageDialogs;
class ReportPage;
class HolidaysPage;
class SchedulesPage;
class QtPageDialogs;
class TForm3;
class TForm4;
class TForm5;
class TForm7;
class WindowRecords;

inline constexpr const char* kMainCaption = "Orvexa  5.0";  // two blanks before the version

// The lines a campaign draws its channels from beyond the window's own, and how the window names
// them before each start: its active line, as the device window left it.
struct WindowChannels {
  campaign::ChannelSource& source;
  std::function<void(std::vector<int> devices)> use_devices;
};

struct MainWindowDeps {
  messaging::Loop& loop;
  campaign::LinePort& line;
  campaign::VoicePort& voice;
  campaign::MemberSource& members;
  campaign::OperatorDialogs& dialogs;
  FileChooser& files;
  host::Shell& shell;
  std::filesystem::path program_folder;
  // calls.db and the questions about it; without them campaigns are not recorded.
  WindowRecords* records = nullptr;
  PageDialogs* questions = nullptr;
  // None: every campaign runs on the window's line alone.
  WindowChannels* channels = nullptr;
  // Asked only when TForm6 switches calling hours or retries by outcome on. Without them such a
  // campaign calls at any hour, and retries once at once.
  const campaign::CallingWindow* hours = nullptr;
  const campaign::RetryPlanner* retries = nullptr;           // into the calling hours
  const campaign::RetryPlanner* retries_any_hour = nullptr;  // a campaign without them
};

// The other eight windows, created after the main window in their fixed order.
struct SideWindows {
  TForm2* device = nullptr;
  TForm3* dates = nullptr;
  TForm7* progress = nullptr;
  TForm4* prompt = nullptr;
  TForm5* web = nullptr;
  TForm6* settings = nullptr;
  TForm8* splash = nullptr;
  TForm9* help = nullptr;
};

class TForm1 final : public QMainWindow, public campaign::CampaignView {
 public:
  // Timer ids of the window's own timers (on the loop, so tests drive them by the clock).
  enum TimerId : std::uintptr_t { Timer1 = 1, Timer4 = 4, Timer8 = 8, Timer9 = 9, Timer10 = 10,
                                  ChannelTimer = 20 };
  // How often the channel table follows a campaign on several channels.
  static constexpr std::chrono::milliseconds kChannelRefresh{500};

  // `pictures` outlives the window (ApplicationWindows owns both).
  TForm1(MainWindowDeps deps, const Pictures& pictures, QWidget* parent = nullptr);
  ~TForm1() override;

  void set_side_windows(SideWindows windows) { side_ = windows; }
  // The group, backup and security pages and the password check on the contact database.
  void attach_data_pages(DataPagesDeps deps);
  DataPages* data_pages() { return data_pages_.get(); }
  ReportPage& report_page() { return *report_; }
  HolidaysPage& holidays_page() { return *holidays_; }
  SchedulesPage& schedules_page() { return *schedules_; }
  // Whether FormShow shows the splash modally (off in tests, which drive TForm8 themselves).
  void set_show_splash(bool on) { show_splash_ = on; }

  // Handlers named after control and event.
  void FormShow();
  void BitBtn6Click();
  void BitBtn7Click() { engine_->stop(); }
  void SpeedButton2Click();
  void SpeedButton5Click();
  void SpeedButton4Click();
  void SpeedButton3Click() { log_.clear(); }
  void SpeedButton6Click();
  void TreeView1Click();
  void PageControl1Change();
  void RadioButton1Click();
  void Timer4Timer();

  // Closes whatever happens (SIGTERM, a failed password): the report is still attempted.
  void close_for_good();

  campaign::StatusLog& status_log() { return log_; }
  campaign::CampaignEngine& engine() { return *engine_; }
  campaign::MessagePreparation& messages() { return *prep_; }
  campaign::MessagePaths& message_paths() { return paths_; }
  campaign::PreCallSettings& pre_call_settings() { return settings_; }

  // The components' events, passed on to the call flow and the message preparation.
  void KDPhone1CallState(campaign::CallEvent state) { engine_->call_flow().on_call_state(state); }
  void KDPhone1BeforeDisconnect() { engine_->call_flow().on_before_disconnect(); }
  void KDPhone1DigitDetected(char digit) { engine_->call_flow().on_digit(digit); }
  void KDVoice1SoundState(campaign::SoundEvent state, int error);
  // Where the about text has got to, and the about memo's background value.
  int typed_count() const { return typed_; }
  int about_colour() const { return about_colour_; }
  // Whether the channel table is being refreshed (only while a campaign runs on several channels).
  bool follows_channels() const { return timers_->has_timer(ChannelTimer); }

  // CampaignView
  void show_activity(bool on) override;
  void set_running(bool on) override;
  void set_labels(const std::string& b1, const std::string& b2, const std::string& b3) override;
  void set_gauge(int maximum, int progress) override;
  void set_number(const std::string& num) override;
  void focus_sink() override;
  void enable_message_buttons() override;
  std::string solar_date_text() override;
  std::string time_text() override;
  void close_main_window() override { close(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  QWidget* build_top_panel();
  QWidget* build_operations_page();
  QWidget* build_message_rows(QWidget* page);
  QWidget* build_campaign_choice(QWidget* page);
  QWidget* build_filter_box(QWidget* page);
  QWidget* build_about_page();
  QWidget* build_report_page();
  QWidget* build_holidays_page();
  QWidget* build_schedules_page();
  QWidget* build_status_bar();
  void build_tree();
  void show_pictures();
  void report_missing_pictures();
  void connect_handlers();
  void FormCreate();
  void check_records();
  void offer_unfinished_campaign();
  bool write_last_report();
  void show_message_buttons(campaign::MessageButtons state);
  messaging::LRESULT on_timer(std::uintptr_t id);
  void Timer1Timer();
  void Timer10Timer();
  void Timer8Timer();
  void Timer9Timer();
  void use_active_line();
  void refresh_channel_table();
  void refill_group_chooser();
  void refresh_paths();
  void message_action(const std::function<void()>& action);
  void open_web_page(const QString& anchor);
  bool eventFilter(QObject* watched, QEvent* event) override;

  MainWindowDeps deps_;
  const Pictures& pictures_;
  campaign::PreCallSettings settings_;  // written by TForm6's controls
  SideWindows side_;
  bool show_splash_ = true;
  bool closing_for_good_ = false;
  std::string records_refusal_;  // why the start button refuses, when calls.db was declined

  campaign::StatusLog log_;
  campaign::MessagePaths paths_;
  // Which of the two retry planners, as TForm6 leaves the calling hours when the engine asks.
  std::unique_ptr<campaign::RetryPlanner> retries_;
  std::unique_ptr<campaign::CampaignEngine> engine_;
  std::unique_ptr<campaign::MessagePreparation> prep_;
  std::unique_ptr<messaging::FunctionWindow> timers_;
  std::unique_ptr<DataPages> data_pages_;

  int typed_ = 0;
  int about_colour_ = 10;

  // Widgets the handlers use (all owned by Qt's parent chain).
  QTabWidget* PageControl1 = nullptr;
  ReportPage* report_ = nullptr;  // TabSheet9's contents
  HolidaysPage* holidays_ = nullptr;  // TabSheet10's contents
  SchedulesPage* schedules_ = nullptr;  // TabSheet11's contents
  std::unique_ptr<QtPageDialogs> own_questions_;  // the holidays page's, when none is given
  QTreeWidget* TreeView1 = nullptr;
  QLabel *sa1 = nullptr, *sa3 = nullptr, *imo = nullptr;
  QLabel *e1 = nullptr, *e2 = nullptr, *e3 = nullptr, *saat = nullptr, *labol = nullptr;
  QLabel *b1 = nullptr, *b2 = nullptr, *b3 = nullptr;
  QLineEdit *Edit9 = nullptr, *Edit8 = nullptr, *shomare = nullptr, *num = nullptr, *Edit3 = nullptr;
  QLineEdit *Edit10 = nullptr, *Edit11 = nullptr;
  QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr;
  QRadioButton *RadioButton4 = nullptr, *RadioButton5 = nullptr, *RadioButton6 = nullptr,
               *RadioButton7 = nullptr;
  QComboBox* DBLookupComboBox1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QWidget* GroupBox5 = nullptr;
  QPlainTextEdit *Memo1 = nullptr, *Memo2 = nullptr, *Memo3 = nullptr;
  ChannelTable* channel_table_ = nullptr;  // above Memo1, while a campaign runs on several channels
  QProgressBar* Gauge1 = nullptr;
  QPushButton *BitBtn6 = nullptr, *BitBtn7 = nullptr, *Button4 = nullptr;
  QPushButton* message_buttons_[6] = {};  // BitBtn9, 10, 11, 14, 13, 12
};

}  // namespace orvexa::app
