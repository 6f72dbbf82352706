// The quick start: `orvexa wave info FILE` is answered by the small `orvexa` executable itself,
// which loads no GUI, database or telephony libraries; every other command line is handed, as it
// is, to the whole program (`orvexa-full`, in the same folder), which replaces this process.
//
//   if (auto file = quick_wave_info_file(args)) return print_wave_info(*file, out, err);
//   return start_whole_program(argv, std::cerr);
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace orvexa::entry {

inline constexpr const char* kWholeProgramName = "orvexa-full";

// The file when the arguments (without the program name) are exactly `[--home DIR] wave info FILE`
// and FILE cannot be taken for an option; anything else (help, errors, other commands) is left to
// the whole program, so its answers stay the same.
std::optional<std::string> quick_wave_info_file(const std::vector<std::string>& args);

// The whole program beside `executable`.
std::filesystem::path whole_program_path(const std::filesystem::path& executable);

// Replaces this process with the whole program and the same arguments (the process id, the
// standard streams and the environment stay). Returns only when that fails, after one line on
// `err`, with the exit code for a failure.
int start_whole_program(char** argv, std::ostream& err);

}  // namespace orvexa::entry
