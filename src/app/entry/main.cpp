// The program entry: the command line decides between a subcommand and the main window.
#include <iostream>

#include "app/cli/cli.h"
#ifdef ORVEXA_WITH_GUI
#include "app/main/gui_main.h"
#endif

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  auto outcome = orvexa::cli::run_cli(argc, argv, {std::cout, std::cerr, std::cin});
  if (!outcome.open_gui) return outcome.exit_code;
#ifdef ORVEXA_WITH_GUI
  return orvexa::app::run_gui(argc, argv, outcome.program_folder);
#else
  std::cerr << "orvexa: this build has no windows; see orvexa --help\n";
  return orvexa::cli::kExitFailed;
#endif
}
