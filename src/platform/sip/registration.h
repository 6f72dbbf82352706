// What a sip line knows about its registration, in words an operator can act on.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace orvexa::sip {

struct RegistrationStatus {
  enum class State { NotRegistering, Registering, Registered, Failed };
  State state = State::NotRegistering;
  std::uint16_t code = 0;  // the registrar's final answer; 0 when none came
  std::string reason;      // its reason phrase, or why no answer came
  std::chrono::milliseconds round_trip{0};  // from the first REGISTER to the final answer
  // Failed for want of any answer (time-out, transport error) rather than refused: calls are
  // tried and end at once as unreachable, since nothing on the way is answering.
  bool unanswered = false;

  // A line whose registrar refused it, or could not be reached, places no calls; while the
  // first answer is awaited a call may still try.
  bool can_call() const { return state != State::Failed; }
  // A dial on a line that cannot call is refused at once, unless the registrar went silent.
  bool refuses_dials() const { return !can_call() && !unanswered; }
};

// "registered", "registering", "not registering", "failed (403 Forbidden)".
std::string describe(const RegistrationStatus& status);

}  // namespace orvexa::sip
