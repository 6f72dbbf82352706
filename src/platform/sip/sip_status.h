// The words a line keeps of how a SIP request ended: the far end's final answer, or what the
// network did instead of answering.
//
//   on_close(err, msg): msg ? status_line(*msg) : network_failure(err)
//   // "486 Busy Here", "no answer from the network (transaction timed out)", "Connection refused"
#pragma once

#include <string>

struct sip_msg;

namespace orvexa::sip {

// The reason phrase of a response, cut to 80 characters with control characters blanked: a
// peer's phrase ends up on the operator's screen and in the calls database.
std::string reason_phrase(const ::sip_msg& msg);

// "486 Busy Here"; the code alone when the phrase is empty.
std::string status_line(const ::sip_msg& msg);

// libre's error for a request that got no response at all: ETIMEDOUT when nothing answered
// within the transaction time (64 T1, 32 s), otherwise the transport's error (ECONNREFUSED...).
std::string network_failure(int err);

}  // namespace orvexa::sip
