// The common ancestor of the line and voice components: a hidden window on the loop whose
// messages reach the virtual WndProc, the Version property, the wide-API test and the error texts.
//
//   class KDVoice : public TTEL_ComponentVCL {
//     void WndProc(TMessage& m) override { TTEL_ComponentVCL::WndProc(m); if (m.Msg == ...) ... }
//   };
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "components/foundation/error_texts.h"
#include "platform/messaging/hidden_window.h"

namespace orvexa::components {

using messaging::LPARAM;
using messaging::LRESULT;
using messaging::UINT;
using messaging::WPARAM;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// The outcome of asking the system for the user name through the wide (UTF-16) function.
struct WideProbeResult {
  bool succeeded = true;
  std::uint32_t last_error = 0;
};
using WideApiProbe = std::function<WideProbeResult()>;

// The system's answer for a function it does not implement.
inline constexpr std::uint32_t ERROR_CALL_NOT_IMPLEMENTED = 120;

class TTEL_Ancestor {
 public:
  // `probe` stands in for the system's wide user-name call; by default it succeeds, as the
  // wide (UTF-16 to UTF-8) forms always exist on this platform.
  explicit TTEL_Ancestor(messaging::Loop& loop, WideApiProbe probe = {});
  virtual ~TTEL_Ancestor() = default;
  TTEL_Ancestor(const TTEL_Ancestor&) = delete;
  TTEL_Ancestor& operator=(const TTEL_Ancestor&) = delete;

  // The base procedure does nothing; overrides call it first, then handle their own numbers.
  virtual void WndProc(TMessage& Message);

  std::string Version() const { return "3.5 (Build 61)"; }
  void SetVersion(std::string_view) {}  // stored values are accepted and ignored

  messaging::HiddenWindow& Window() { return window_; }
  messaging::WindowHandle Handle() const { return window_.handle(); }
  messaging::Loop& Loop() const { return window_.loop(); }

  // Runs the probe once per component and remembers the answer.
  bool WideAvailable();
  bool WideTestDone() const { return wide_test_done_; }

 protected:
  // The default window procedure for messages a component does not handle.
  static void DefaultHandler(TMessage& Message) { Message.Result = 0; }

 private:
  bool wide_test_done_ = false;
  bool wide_available_ = false;
  WideApiProbe probe_;
  messaging::FunctionWindow window_;
};

class TTEL_ComponentVCL : public TTEL_Ancestor {
 public:
  using TTEL_Ancestor::TTEL_Ancestor;
  // The documented text, or "" for a number the component set does not define.
  std::string GetErrorText(ErrorNumber number) const { return std::string(error_text(number)); }
};

}  // namespace orvexa::components
