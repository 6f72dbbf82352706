// The pre-call settings: the values that steer the call flow and the end of a campaign. They
// live for one run of the program; every start begins with these defaults.
#pragma once

#include <string>

namespace orvexa::campaign {

struct PreCallSettings {
  bool retry_once = true;   // call a busy or unanswered number once more
  int waiting_length = 4;   // plays of the opening message before a call ends unanswered (1..7)
  bool shutdown = false;    // power the computer off when the operation ends
  int channels = 1;         // calls at once; one is the campaign as it always was
  double pace = 5;          // call set-ups per second at most, over every channel; 0: no limit
  bool key2_dnc = false;    // key 2 puts the number on the do-not-call list
  bool calling_hours = false;  // calls start only within the calling hours, never on holidays
  bool retry_policy = false;   // retries by outcome instead of one retry at once

  static constexpr int kMinimumWait = 1;
  static constexpr int kMaximumWait = 7;
  static constexpr int kMaximumChannels = 500;
};

// "retry_once=1 waiting_length=4 shutdown=0", with " channels=N pace=P" when there are several
// and " key2_dnc=1", " calling_hours=1", " retry_policy=1" when they are on.
std::string settings_text(const PreCallSettings& settings);
// A recorded campaign's settings text back into settings, so a
// continued campaign runs as it was started; unknown words and bad values are left alone.
PreCallSettings settings_from_text(const std::string& text, PreCallSettings settings);

}  // namespace orvexa::campaign
