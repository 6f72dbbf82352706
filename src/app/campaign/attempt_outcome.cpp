#include "app/campaign/attempt_outcome.h"

#include "platform/telephony/tapi.h"

namespace orvexa::campaign {

namespace {

namespace tel = telephony;

// A call that never connected: what the network said, by disconnect mode, then SIP status.
Outcome unconnected(const AttemptFacts& facts, const CallCause& cause) {
  switch (cause.disconnect_mode) {
    case tel::LINEDISCONNECTMODE_REJECT: return Outcome::Rejected;
    case tel::LINEDISCONNECTMODE_NOANSWER: return Outcome::NoAnswer;
    case tel::LINEDISCONNECTMODE_BUSY: return Outcome::Busy;
    case tel::LINEDISCONNECTMODE_BADADDRESS:
    case tel::LINEDISCONNECTMODE_UNREACHABLE:
    case tel::LINEDISCONNECTMODE_UNAVAIL:
    case tel::LINEDISCONNECTMODE_NODIALTONE: return Outcome::Unreachable;
    default: break;
  }
  switch (cause.sip_status) {
    case 408:
    case 480: return Outcome::NoAnswer;
    case 403:
    case 603: return Outcome::Rejected;
    case 486:
    case 600: return Outcome::Busy;
    case 0: break;
    default: return Outcome::Unreachable;
  }
  // A line that gives up ringing just goes idle.
  return facts.line_error ? Outcome::Failed : Outcome::NoAnswer;
}

}  // namespace

Outcome classify_attempt(const AttemptFacts& facts, const CallCause& cause) {
  if (facts.interrupted) return Outcome::Interrupted;
  if (facts.dial_refused) return Outcome::Failed;
  if (facts.busy) return Outcome::Busy;
  if (!facts.answered) return unconnected(facts, cause);
  if (facts.main_done) return Outcome::HeardMain;
  if (facts.play_failed) return Outcome::Failed;
  if (facts.main_requested) return Outcome::MainCut;
  if (facts.declined) return Outcome::Declined;
  if (facts.no_key) return Outcome::NoKey;
  return Outcome::HungUp;
}

}  // namespace orvexa::campaign
