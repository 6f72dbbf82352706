// The status log: whole lines, appended by the program, cleared, saved and loaded as a whole.
//
//   StatusLog log;  log.on_append([](const std::string& line) { print(line); });
//   log.append(text::kDialing);
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/host/atomic_file.h"

namespace orvexa::campaign {

class StatusLog {
 public:
  using AppendListener = std::function<void(const std::string& line)>;
  using ResetListener = std::function<void()>;

  void append(std::string_view line);
  void clear();
  void replace(std::vector<std::string> lines);
  const std::vector<std::string>& lines() const { return lines_; }

  // Called after each appended line; after clear() and replace() the reset listener runs.
  void on_append(AppendListener listener) { append_listener_ = std::move(listener); }
  void on_reset(ResetListener listener) { reset_listener_ = std::move(listener); }

 private:
  std::vector<std::string> lines_;
  AppendListener append_listener_;
  ResetListener reset_listener_;
};

// The date line written when a campaign starts: "تاريخ : Y/M/D     زمان : hh:mm".
std::string date_line(std::string_view solar_date, std::string_view time);

// Log files: one line per status log line, CR LF, code page 1256, no header; written whole or
// not at all.
std::string encode_log_file(const std::vector<std::string>& lines);
std::vector<std::string> decode_log_file(std::string_view bytes);
std::error_code save_log_file(const std::filesystem::path& path,
                              const std::vector<std::string>& lines,
                              host::FileFaults* faults = nullptr);
// The lines of a log file in 1256 or UTF-8; an error leaves `lines` untouched.
std::error_code load_log_file(const std::filesystem::path& path, std::vector<std::string>& lines);

inline constexpr const char* kLastReportFile = "Last Report.txt";

}  // namespace orvexa::campaign
