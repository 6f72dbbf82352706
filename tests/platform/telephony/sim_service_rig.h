// The line service over one default simulated line on the manual clock, keeping every notice its
// callback delivers; the line and phone test fixtures open their side on top of it.
#pragma once

#include <vector>

#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

struct Notice {
  DWORD device, message;
  DWORD_PTR p1, p2;
};

struct SimServiceRig {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  SimProvider sim{loop, default_sim_config()};
  LineService service{loop};
  std::vector<Notice> notices;

  SimServiceRig() { service.add_provider(sim); }

  LINECALLBACK recorder() {
    return [this](DWORD d, DWORD m, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR) {
      notices.push_back({d, m, p1, p2});
    };
  }
};

}  // namespace orvexa::telephony
