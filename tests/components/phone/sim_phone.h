// The line component on the simulated provider with the manual clock, with every event it
// raises written down in order, for end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "components/phone/kdphone.h"
#include "platform/host/utf.h"
#include "platform/telephony/telephony_rig.h"

namespace orvexa::components::testing {

using namespace std::chrono_literals;
using telephony::SimConfig;

struct Event {
  std::string what;
  int p1 = 0, p2 = 0, call = 0;
  messaging::TimePoint at{};
  bool operator==(const Event&) const = default;
};

inline std::string Name(TCallState s) { return CallStateName(s); }

inline SimConfig Config(const std::string& toml) {
  auto parsed = telephony::parse_sim_config(toml);
  EXPECT_TRUE(parsed.config) << parsed.error;
  return parsed.config.value_or(telephony::default_sim_config());
}

// A rig, a phone on line 0, and every event in order.
class SimPhone {
 public:
  explicit SimPhone(SimConfig config) : rig(std::move(config), true), phone(rig.loop(), rig.lines()) {
    phone.OnCallState = [this](KDPhone&, TCallState s, int p1, int p2, int call) {
      log.push_back({Name(s), p1, p2, call, rig.loop().now()});
      if (on_state) on_state(s, call);
    };
    phone.OnLineState = [this](KDPhone&, TLineState s, int p1) {
      log.push_back({"line" + std::to_string(s), p1, 0, 0, rig.loop().now()});
    };
    phone.OnBeforeDisconnect = [this](KDPhone&, int call) {
      log.push_back({"before", 0, 0, call, rig.loop().now()});
    };
    phone.OnDigitDetected = [this](KDPhone&, char d, int call) {
      log.push_back({std::string("digit ") + d, 0, 0, call, rig.loop().now()});
    };
    phone.OnConsultCallState = [this](KDPhone&, TConsultCallState s, int p1, int, int) {
      log.push_back({"ccs" + std::to_string(s), p1, 0, 0, rig.loop().now()});
    };
    phone.OnCallerID = [this](KDPhone&, int error, const std::u16string& number,
                              const std::u16string& name, int call) {
      log.push_back({"caller " + host::to_utf8(number) + "/" + host::to_utf8(name), error,
                     0, call, rig.loop().now()});
    };
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const Event& e : log) out.push_back(e.what);
    return out;
  }
  const Event* Find(const std::string& what) const {
    for (const Event& e : log)
      if (e.what == what) return &e;
    return nullptr;
  }
  void Run(messaging::Duration d) { rig.loop().run_for(d); }

  telephony::TelephonyRig rig;
  KDPhone phone;
  std::vector<Event> log;
  std::function<void(TCallState, int)> on_state;
};

}  // namespace orvexa::components::testing
