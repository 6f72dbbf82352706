#include "app/main/gui_main.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>

#include "app/campaign/adapters/channel_lines.h"
#include "app/campaign/adapters/contact_member_source.h"
#include "app/campaign/adapters/phone_line.h"
#include "app/campaign/adapters/voice_device.h"
#include "app/main/gui_host.h"
#include "app/main/page_dialogs.h"
#include "app/main/screenshots.h"
#include "app/assembly/program_assembly.h"
#include "app/data/contact_store.h"
#include "app/main/application_windows.h"
#include "app/main/qt_loop_host.h"
#include "app/main/window_records.h"
#include "app/main/window_schedule.h"
#include "app/records/holiday_store.h"
#include "platform/host/host_services.h"

namespace orvexa::app {

namespace {

int g_signal_pipe[2] = {-1, -1};

// A signal handler may only write to a pipe; Qt reads the other end on its own thread.
void on_terminate(int) {
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

int run_gui(int argc, char** argv, const std::filesystem::path& program_folder) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Orvexa");
  QApplication::setLayoutDirection(Qt::RightToLeft);

  QtOperatorDialogs dialogs;
  // The machine's sound devices and the lines of orvexa.toml (one simulated line without it, or
  // when it is refused as a whole) on the real clock.
  assembly::ProgramAssembly rig(program_folder, {},
                                [&dialogs](const std::string& e) { dialogs.error_box(e); });
  messaging::Loop& loop = rig.loop();
  QtLoopHost host(loop);

  data::ContactStore store(program_folder);
  if (auto opened = store.open(); !opened.ok) dialogs.message_box(opened.message);
  campaign::ContactMemberSource members(store, rig.clock());
  WaitCursor busy;
  QtComponentMessageBox component_box;
  campaign::PhoneLine line(loop, rig.lines(), busy);
  campaign::VoiceDevice voice(loop, rig.audio(), busy, component_box, &rig.settings());
  // A campaign's further channels, on the window's active line. Made before the windows, so they
  // outlive the engine, which closes them as it goes.
  campaign::ChannelLines channel_lines({loop, rig.lines(), rig.audio(), busy, component_box, &rig.settings()},
                                       line, {});
  WindowChannels window_channels{
      channel_lines, [&channel_lines](std::vector<int> devices) { channel_lines.set_devices(std::move(devices)); }};
  QtFileChooser files;
  host::SystemShell shell;

  // calls.db outlives the windows: the engine's last record (a call cut short) goes to it.
  WindowRecords records(program_folder, rig.clock());
  QtPageDialogs page_dialogs;
  // Calling hours and retries by outcome, read once and outliving the windows. A broken table is
  // said once and the defaults are used, so a campaign that asks for them still starts.
  const data::HolidayChanges holiday_changes =
      records.db() ? records::HolidayStore(*records.db(), rig.clock()).changes() : data::HolidayChanges{};
  const WindowSchedule schedule(*rig.configuration().root, rig.clock().wall_now(), holiday_changes);
  if (!schedule.error().empty())
    dialogs.error_box(rig.configuration().file.filename().string() + ": " + schedule.error() +
                      "; the defaults are used");

  ApplicationWindows windows({loop, line, voice, members, dialogs, files, shell, program_folder, &records,
                              &page_dialogs, &window_channels, &schedule.hours(), &schedule.retries(),
                              &schedule.retries_any_hour()});
  TForm1& form = windows.main();
  dialogs.set_parent(&form);
  page_dialogs.set_parent(&form);
  windows.attach_data({store, page_dialogs, {{access::kSystemFolder}, program_folder}});
  line.bind({[&form](campaign::CallEvent e) { form.KDPhone1CallState(e); },
             [&form] { form.KDPhone1BeforeDisconnect(); },
             [&form](char d) { form.KDPhone1DigitDetected(d); }});
  voice.bind([&form](campaign::SoundEvent s, int e) { form.KDVoice1SoundState(s, e); });
  files.set_parent(&form);

  // SIGTERM closes the program as the operator would, so the report is written.
  std::unique_ptr<QSocketNotifier> notifier;
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signal_pipe) == 0) {
    notifier = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &form, [&form] {
      char byte = 0;
      [[maybe_unused]] auto got = ::read(g_signal_pipe[0], &byte, 1);
      form.close_for_good();
    });
    std::signal(SIGTERM, on_terminate);
  }

  form.show();
  form.FormShow();
  if (const char* shots = std::getenv("ORVEXA_SCREENSHOTS"); shots && form.isVisible()) {
    const bool saved = save_screenshots(form, QString::fromLocal8Bit(shots));
    form.close_for_good();
    line.bind({});
    voice.bind({});
    return saved ? 0 : 1;
  }
  // A refused password has closed the window already: there is no loop to run.
  const int code = form.isVisible() ? QApplication::exec() : 1;
  // The window goes before the components: nothing may reach it from their last events.
  line.bind({});
  voice.bind({});
  return code;
}

}  // namespace orvexa::app
