#include "app/campaign/pre_call_settings.h"

#include <sstream>

namespace orvexa::campaign {

std::string settings_text(const PreCallSettings& s) {
  std::string text = "retry_once=" + std::to_string(s.retry_once) +
                     " waiting_length=" + std::to_string(s.waiting_length) +
                     " shutdown=" + std::to_string(s.shutdown);
  if (s.channels > 1) {
    std::ostringstream pace;
    pace << s.pace;
    text += " channels=" + std::to_string(s.channels) + " pace=" + pace.str();
  }
  if (s.key2_dnc) text += " key2_dnc=1";
  if (s.calling_hours) text += " calling_hours=1";
  if (s.retry_policy) text += " retry_policy=1";
  return text;
}

PreCallSettings settings_from_text(const std::string& text, PreCallSettings settings) {
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    const auto eq = word.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = word.substr(0, eq);
    int value = 0;
    double real = 0;
    try {
      real = std::stod(word.substr(eq + 1));
      value = std::stoi(word.substr(eq + 1));
    } catch (const std::exception&) {
      continue;
    }
    if (key == "retry_once") settings.retry_once = value != 0;
    if (key == "waiting_length" && value >= PreCallSettings::kMinimumWait &&
        value <= PreCallSettings::kMaximumWait) {
      settings.waiting_length = value;
    }
    if (key == "shutdown") settings.shutdown = value != 0;
    if (key == "channels" && value >= 1 && value <= PreCallSettings::kMaximumChannels) settings.channels = value;
    if (key == "pace" && real >= 0) settings.pace = real;
    if (key == "key2_dnc") settings.key2_dnc = value != 0;
    if (key == "calling_hours") settings.calling_hours = value != 0;
    if (key == "retry_policy") settings.retry_policy = value != 0;
  }
  return settings;
}

}  // namespace orvexa::campaign
