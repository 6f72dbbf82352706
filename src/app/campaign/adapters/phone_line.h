// The campaign's line on the real line component (KDPhone1), which this class owns and sets up
// with the property values of the main window's design. When a call ends it reads the call's
// status from the telephony service, before the component lets the call go, to keep why.
//
//   PhoneLine line(loop, service, busy);
//   line.bind({[&](CallEvent e) { flow.on_call_state(e); }, ...});
//   line.dial("09121234567");  ...  record.cause = line.call_cause();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "app/campaign/ports.h"
#include "platform/host/host_services.h"
#include "platform/messaging/loop.h"

namespace orvexa::telephony {
class TelephonyApi;
}
namespace orvexa::components {
class KDPhone;
}

namespace orvexa::campaign {

struct LineHandlers {
  std::function<void(CallEvent)> call_state;
  std::function<void()> before_disconnect;
  std::function<void(char)> digit;
};

class PhoneLine final : public LinePort {
 public:
  PhoneLine(messaging::Loop& loop, telephony::TelephonyApi& api, host::BusyIndicator& busy);
  ~PhoneLine() override;

  void bind(LineHandlers handlers);
  components::KDPhone& component() { return *phone_; }

  int dial(const std::string& number) override;
  void hangup() override;
  void answer() override;
  int wave_play_id() override;
  int activate(int device) override;
  int active_device() const override;
  int number_of_lines() override;
  std::string line_name(int device) override;
  int line_caps(int device, int& caps) override;
  int channels(int device) override;
  bool refused_for_capacity(int error) const override;
  CallCause call_cause() const override { return cause_; }

 private:
  // The call `call` reported an end (`busy`: as busy); keeps its cause unless one was kept.
  void keep_cause(std::uint32_t call, bool busy);

  telephony::TelephonyApi& api_;
  std::unique_ptr<components::KDPhone> phone_;
  CallCause cause_;
  std::uint32_t cause_of_ = 0;  // the call whose end `cause_` tells
};

// The cause a call's status gives: the mode of a disconnect (busy for a busy call), and the
// provider's end status split into a SIP status code and the words after it. Pure, for tests.
CallCause cause_from_status(std::uint32_t state, std::uint32_t mode, std::string_view ended);

}  // namespace orvexa::campaign
