// The start-up check and the prompt window's rules: four wrong answers close the program, and a
// password file that cannot be read keeps it closed.
//
//   auto start = check_at_start(read_password(where));
//   if (start.decision == StartDecision::Refuse) { show(start.message); quit(); }
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/access/password_file.h"

namespace orvexa::access {

enum class StartDecision { Start, Ask, Refuse };

struct StartCheck {
  StartDecision decision = StartDecision::Start;
  std::string message;  // for Refuse
};

StartCheck check_at_start(const StoredPassword& stored);

class PasswordPrompt {
 public:
  static constexpr int kAttempts = 4;

  enum class Answer { Accepted, Wrong, WrongAndClosing };
  struct Result {
    Answer answer;
    std::vector<std::string> messages;
  };

  explicit PasswordPrompt(const StoredPassword& stored) : stored_(stored) {}

  // Confirm (button or Enter) with the field's text.
  Result confirm(std::string_view typed);
  // When the prompt has closed in any way: may the start go on with this field text?
  bool lets_start(std::string_view field) const;
  int wrong_attempts() const { return wrong_; }

 private:
  const StoredPassword& stored_;
  int wrong_ = 0;
};

}  // namespace orvexa::access
