// What the call flow saw of one attempt, and the outcome it amounts to.
#pragma once

#include <optional>
#include <string>

#include "app/campaign/call_record.h"
#include "platform/messaging/clock.h"

namespace orvexa::campaign {

struct AttemptFacts {
  bool dial_refused = false;
  bool busy = false;
  bool line_error = false;  // the line reported an error state
  std::optional<messaging::WallTime> answered;
  std::string keys;         // every key the callee pressed, in order
  bool main_requested = false;  // key 1 was taken
  bool main_done = false;       // the main message played to its end
  bool declined = false;        // key 2 was taken
  bool no_key = false;          // the waiting length ran out
  bool play_failed = false;     // a message could not be played into the call
  bool interrupted = false;     // the program ended the call (stop, close)
  double opening_heard_s = 0;
  double main_heard_s = 0;
};

Outcome classify_attempt(const AttemptFacts& facts, const CallCause& cause);

}  // namespace orvexa::campaign
