#include "app/campaign/status_log.h"

#include "app/campaign/campaign_texts.h"
#include "app/campaign/code_page_1256.h"

namespace orvexa::campaign {

void StatusLog::append(std::string_view line) {
  lines_.emplace_back(line);
  if (append_listener_) append_listener_(lines_.back());
}

void StatusLog::clear() {
  lines_.clear();
  if (reset_listener_) reset_listener_();
}

void StatusLog::replace(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  if (reset_listener_) reset_listener_();
}

std::string date_line(std::string_view solar_date, std::string_view time) {
  std::string line(text::kDateWord);
  line += solar_date;
  line += "     ";
  line += text::kTimeWord;
  line += time;
  return line;
}

std::string encode_log_file(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) {
    bytes += utf8_to_cp1256(line);
    bytes += "\r\n";
  }
  return bytes;
}

std::vector<std::string> decode_log_file(std::string_view bytes) {
  const std::string text = log_text_to_utf8(bytes);
  // CR LF, LF and a lone CR all end a line, as text boxes read them; no line keeps a CR.
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::error_code save_log_file(const std::filesystem::path& path,
                              const std::vector<std::string>& lines, host::FileFaults* faults) {
  return host::write_file_atomically(path, encode_log_file(lines), faults);
}

std::error_code load_log_file(const std::filesystem::path& path, std::vector<std::string>& lines) {
  std::error_code error;
  auto bytes = host::read_file(path, error);
  if (!bytes) return error ? error : std::make_error_code(std::errc::io_error);
  lines = decode_log_file(*bytes);
  return {};
}

}  // namespace orvexa::campaign
