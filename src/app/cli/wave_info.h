// `orvexa wave info FILE`: the facts of one WAVE file, or a one-line reason it cannot be read.
// The program entry calls it directly too, so this file needs nothing but the WAVE reader.
//
//   int code = print_wave_info("First.wav", std::cout, std::cerr);
#pragma once

#include <iosfwd>
#include <string>

namespace orvexa::cli {

// Prints format, channels, rate, bits, block align, data size and duration to `out` and returns
// kExitDone, or prints the problem to `err` and returns kExitFailed.
int print_wave_info(const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace orvexa::cli
