// The `orvexa` executable: answers `wave info` itself and starts the whole program for the rest.
#include <iostream>

#include "app/cli/wave_info.h"
#include "app/entry/launch.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (auto file = orvexa::entry::quick_wave_info_file(args)) {
    std::ios::sync_with_stdio(false);
    return orvexa::cli::print_wave_info(*file, std::cout, std::cerr);
  }
  return orvexa::entry::start_whole_program(argv, std::cerr);
}
