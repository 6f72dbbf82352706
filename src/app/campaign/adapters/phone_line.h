// The campaign's line on the real line component (KDPhone1), which this class owns and sets up
// with the property values of the main window's design.
//
//   PhoneLine line(loop, service, busy);
//   line.bind({[&](CallEvent e) { flow.on_call_state(e); }, ...});
#pragma once

#include <functional>
#include <memory>

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

 private:
  std::unique_ptr<components::KDPhone> phone_;
};

}  // namespace orvexa::campaign
