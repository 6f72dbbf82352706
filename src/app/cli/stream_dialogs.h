// The operator's boxes without a window: each one a line on standard error.
#pragma once

#include <ostream>
#include <string_view>

#include "app/campaign/ports.h"

namespace orvexa::cli {

class StreamDialogs final : public campaign::OperatorDialogs {
 public:
  explicit StreamDialogs(std::ostream& err) : err_(err) {}
  void message_box(std::string_view text) override { err_ << text << '\n'; }
  void error_box(std::string_view text) override { err_ << text << '\n'; }

 private:
  std::ostream& err_;
};

}  // namespace orvexa::cli
