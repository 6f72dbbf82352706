#include "app/cli/reminder_units.h"

#include <cstdlib>

#include "platform/host/atomic_file.h"

namespace orvexa::cli {

std::string unit_word(std::string_view word) {
  std::string out = "\"";
  for (const char c : word) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '%' || c == '$') out += c;  // %% and $$ stand for the character itself
    out += c;
  }
  return out + "\"";
}

std::string reminder_service(const std::filesystem::path& program, const std::filesystem::path& home) {
  return "[Unit]\n"
         "Description=Orvexa daily reminders: start the schedules that are due\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" + unit_word(program.string()) + " --home " + unit_word(home.string()) +
         " schedule run-due\n";
}

std::string reminder_timer() {
  // Persistent: a pass missed while the machine was off runs when it is back.
  return "[Unit]\n"
         "Description=Orvexa daily reminders every five minutes\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=*:0/5\n"
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::filesystem::path user_unit_folder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::filesystem::path(config) / "systemd" / "user";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : ".") / ".config" / "systemd" / "user";
}

WrittenUnits write_reminder_units(const std::filesystem::path& folder, const std::filesystem::path& program,
                                  const std::filesystem::path& home) {
  WrittenUnits w{folder / (std::string(kReminderUnit) + ".service"), folder / (std::string(kReminderUnit) + ".timer"), {}};
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    w.error = folder.string() + ": " + ec.message();
    return w;
  }
  if (auto e = host::write_file_atomically(w.service, reminder_service(program, home)))
    w.error = w.service.string() + ": " + e.message();
  else if (auto e2 = host::write_file_atomically(w.timer, reminder_timer()))
    w.error = w.timer.string() + ": " + e2.message();
  return w;
}

}  // namespace orvexa::cli
