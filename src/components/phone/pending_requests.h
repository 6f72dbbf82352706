// The line component's asynchronous requests: each waits for its LINE_REPLY or PHONE_REPLY until
// a deadline on the loop's clock, and its kind decides what the reply or the time-out does.
//
//   pending.enter(PendingRequest(RequestKind::Answer, id, call, 0, {line, deadline}));
//   if (std::optional<PendingRequest> r = pending.take(reply_id)) Complete(*r, result);
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/messaging/clock.h"
#include "platform/messaging/message.h"
#include "platform/telephony/tapi.h"

namespace orvexa::components {

enum class RequestKind : std::uint8_t {
  MakeCall,       // lineMakeCall with a number; the new call's handle arrives in the cell
  ConsultDial,    // lineDial of a consultation call's number
  BlindTransfer,  // lineBlindTransfer of the current call
  ConsultFinish,  // a consultation completed as a transfer or conference, or cancelled
  ConsultSetup,   // lineSetupTransfer or lineSetupConference; param: the consultation's cell
  PickUp,         // lineMakeCall without a number; the new call's handle arrives in the cell
  PickUpDial,     // the empty lineDial that takes a picked-up call off hook
  Answer,         // lineAnswer, or a fax line's passthrough call parameters
  Drop,           // lineDrop, or passthrough off before it; param: calls left in the drop chain
  HookSwitch,     // phoneSetHookSwitch of the handset or the speaker
  Passthrough,    // lineSetCallParams switching passthrough on or off
  HoldOrUnhold,   // lineHold or lineUnhold
  Conference,     // lineCompleteTransfer of two calls into a conference, whose handle is in the cell
  TransferAToB,   // lineCompleteTransfer of two calls; param: the second call
  PhoneSetting,   // phoneSetRing, phoneSetLamp or phoneSetDisplay
};

// Where and until when a request waits: the line it was made on and its deadline.
struct RequestOrigin {
  telephony::HLINE line = 0;
  messaging::TimePoint deadline{};
};

class PendingRequest {
 public:
  // A request about `call` (0 for none); `param` means what the kind's comment says.
  PendingRequest(RequestKind kind, telephony::LONG id, telephony::HCALL call, std::intptr_t param,
                 RequestOrigin origin);
  // A request whose reply brings a new call: the service writes its handle into `cell`, which
  // therefore lives as long as the request (or longer, see take_cell).
  static PendingRequest NewCall(RequestKind kind, telephony::LONG id,
                                std::unique_ptr<telephony::HCALL> cell, int user_value,
                                RequestOrigin origin);
  // Passthrough on or off for `call`; `notify`, when given, is sent kPassthroughMessage once done.
  static PendingRequest Passthrough(telephony::LONG id, telephony::HCALL call, bool on,
                                    messaging::WindowHandle notify, RequestOrigin origin);

  RequestKind kind() const { return kind_; }
  telephony::LONG id() const { return id_; }
  telephony::HCALL call() const { return call_; }
  std::intptr_t param() const { return param_; }
  telephony::HLINE line() const { return origin_.line; }
  messaging::TimePoint deadline() const { return origin_.deadline; }
  messaging::WindowHandle notify() const { return notify_; }
  bool passthrough_on() const { return param_ == 1; }
  bool has_cell() const { return cell_ != nullptr; }
  // The handle the service wrote into the cell; 0 while it has written none.
  telephony::HCALL new_call() const { return cell_ ? *cell_ : 0; }
  // Hands the cell over to whoever keeps it alive for a late reply.
  std::unique_ptr<telephony::HCALL> take_cell() { return std::move(cell_); }

 private:
  RequestKind kind_;
  telephony::LONG id_;
  telephony::HCALL call_;
  std::intptr_t param_;
  RequestOrigin origin_;
  std::unique_ptr<telephony::HCALL> cell_;
  messaging::WindowHandle notify_ = messaging::kNoWindow;
};

// The requests in the order they were made. Every take removes what it returns, so a handler
// that lets the loop run never meets the same request twice.
class PendingRequests {
 public:
  void enter(PendingRequest request) { list_.push_back(std::move(request)); }
  // The first request with the service's request number `id`.
  std::optional<PendingRequest> take(telephony::LONG id);
  // Every request with that number, in order.
  std::vector<PendingRequest> take_all(telephony::LONG id);
  // The first request whose deadline lies before `now`.
  std::optional<PendingRequest> take_expired(messaging::TimePoint now);
  bool has_call(telephony::HCALL call) const;
  bool empty() const { return list_.empty(); }
  std::size_t size() const { return list_.size(); }

 private:
  std::vector<PendingRequest> list_;
};

}  // namespace orvexa::components
