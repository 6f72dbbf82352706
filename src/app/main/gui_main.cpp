#include "app/main/gui_main.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>

#include "app/campaign/contact_member_source.h"
#include "app/data/contact_store.h"
#include "app/main/application_windows.h"
#include "app/main/qt_loop_host.h"
#include "platform/host/host_services.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"

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

  messaging::SteadyClock clock;
  messaging::Loop loop(clock);
  QtLoopHost host(loop);

  data::ContactStore store(program_folder);
  QtOperatorDialogs dialogs;
  if (auto opened = store.open(); !opened.ok) dialogs.message_box(opened.message);
  campaign::ContactMemberSource members(store, clock);
  // The line and voice components join here as they become available on this machine.
  campaign::NoLine line;
  campaign::NoVoice voice;
  QtFileChooser files;
  host::SystemShell shell;

  ApplicationWindows windows({loop, line, voice, members, dialogs, files, shell, program_folder});
  TForm1& form = windows.main();
  dialogs.set_parent(&form);
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
  return QApplication::exec();
}

}  // namespace orvexa::app
