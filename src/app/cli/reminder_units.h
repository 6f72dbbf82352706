// The systemd user units that run the daily reminders: a service that makes one run-due pass and
// a timer that starts it every five minutes, catching up at boot on a pass the machine missed.
//
//   auto written = write_reminder_units(config_home() / "systemd/user", exe, program_folder);
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvexa::cli {

inline constexpr const char* kReminderUnit = "orvexa-reminders";

// One word of an Exec line: quoted, with systemd's specifiers and variables escaped.
std::string unit_word(std::string_view word);

std::string reminder_service(const std::filesystem::path& program, const std::filesystem::path& home);
std::string reminder_timer();

// The user unit folder: $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user.
std::filesystem::path user_unit_folder();

struct WrittenUnits {
  std::filesystem::path service, timer;
  std::string error;  // empty when both were written
};
WrittenUnits write_reminder_units(const std::filesystem::path& folder, const std::filesystem::path& program,
                                  const std::filesystem::path& home);

}  // namespace orvexa::cli
