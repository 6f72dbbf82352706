#include "app/main/gui_main.h"

#include <QApplication>

#include "app/main/form_main.h"
#include "app/main/qt_loop_host.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"

namespace orvexa::app {

int run_gui(int argc, char** argv, const std::filesystem::path& program_folder) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Orvexa");
  QApplication::setLayoutDirection(Qt::RightToLeft);
  (void)program_folder;

  messaging::SteadyClock clock;
  messaging::Loop loop(clock);
  QtLoopHost host(loop);

  TForm1 form;
  form.show();
  return QApplication::exec();
}

}  // namespace orvexa::app
