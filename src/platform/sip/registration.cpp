#include "platform/sip/registration.h"

namespace orvexa::sip {

std::string describe(const RegistrationStatus& s) {
  using State = RegistrationStatus::State;
  switch (s.state) {
    case State::NotRegistering: return "not registering";
    case State::Registering: return "registering";
    case State::Registered: return "registered";
    case State::Failed: break;
  }
  std::string text = "failed (";
  if (s.code != 0) text += std::to_string(s.code) + " ";
  return text + (s.reason.empty() ? "no answer" : s.reason) + ")";
}

}  // namespace orvexa::sip
