// The pre-call settings: three values that steer the call flow and the end of a campaign. They
// live for one run of the program; every start begins with these defaults.
#pragma once

#include <string>

namespace orvexa::campaign {

struct PreCallSettings {
  bool retry_once = true;   // call a busy or unanswered number once more
  int waiting_length = 4;   // plays of the opening message before a call ends unanswered (1..7)
  bool shutdown = false;    // power the computer off when the operation ends

  static constexpr int kMinimumWait = 1;
  static constexpr int kMaximumWait = 7;
};

// A recorded campaign's "retry_once=1 waiting_length=4 shutdown=0" back into settings, so a
// continued campaign runs as it was started; unknown words and bad values are left alone.
PreCallSettings settings_from_text(const std::string& text, PreCallSettings settings);

}  // namespace orvexa::campaign
