#include "components/foundation/component_base.h"

namespace orvexa::components {

TTEL_Ancestor::TTEL_Ancestor(messaging::Loop& loop, WideApiProbe probe)
    : probe_(std::move(probe)),
      window_(loop, [this](UINT msg, WPARAM w, LPARAM l) {
        TMessage message{msg, w, l, 0};
        WndProc(message);
        return message.Result;
      }) {}

void TTEL_Ancestor::WndProc(TMessage&) {}

bool TTEL_Ancestor::WideAvailable() {
  if (!wide_test_done_) {
    WideProbeResult r = probe_ ? probe_() : WideProbeResult{};
    wide_available_ = r.succeeded || r.last_error != ERROR_CALL_NOT_IMPLEMENTED;
    wide_test_done_ = true;
  }
  return wide_available_;
}

}  // namespace orvexa::components
