#include "app/access/password_prompt.h"

#include "app/access/access_messages.h"

namespace orvexa::access {

StartCheck check_at_start(const StoredPassword& stored) {
  switch (stored.state) {
    case PasswordState::None: return {StartDecision::Start, {}};
    case PasswordState::Set: return {StartDecision::Ask, {}};
    case PasswordState::Unreadable: break;
  }
  return {StartDecision::Refuse, text::kUnreadable};
}

PasswordPrompt::Result PasswordPrompt::confirm(std::string_view typed) {
  if (stored_.state == PasswordState::Set && stored_.verify(typed))
    return {Answer::Accepted, {}};
  ++wrong_;
  if (wrong_ >= kAttempts)
    return {Answer::WrongAndClosing, {text::kWrongPassword, text::kClosingForSecurity}};
  return {Answer::Wrong, {text::kWrongPassword}};
}

bool PasswordPrompt::lets_start(std::string_view field) const {
  return stored_.state == PasswordState::Set && wrong_ < kAttempts && stored_.verify(field);
}

}  // namespace orvexa::access
