#include "app/campaign/pre_call_settings.h"

#include <sstream>

namespace orvexa::campaign {

PreCallSettings settings_from_text(const std::string& text, PreCallSettings settings) {
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    const auto eq = word.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = word.substr(0, eq);
    int value = 0;
    try {
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
  }
  return settings;
}

}  // namespace orvexa::campaign
