// Real lines over SIP behind the line service: one line device per sip line of orvexa.toml.
// Signalling and media run on the provider's own SIP thread; everything the service sees
// happens on the loop thread, in order. A line carries as many calls at once as it has
// channels, each with wave devices of its own; a dial beyond them is refused with
// LINEERR_RESOURCEUNAVAIL, an INVITE answered 486 Busy Here.
//
//   SipProvider sip(loop, audio, read_sip_lines(tables, file_name, exposed).lines);
//   service.add_provider(sip);   // after the simulated lines
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/messaging/loop.h"
#include "platform/sip/registration.h"
#include "platform/sip/sip_config.h"
#include "platform/sip/sip_thread.h"
#include "platform/telephony/line_provider.h"

struct sip_msg;

namespace orvexa::sip {

enum class CallPhase;
enum class EndReason;
enum class CallRequest;
struct CallEvents;
class SipCall;

class SipProvider final : public telephony::LineProvider {
 public:
  struct Options {
    std::chrono::seconds ring_limit{60};  // an unanswered call is cancelled after this
    // Benchmarks: called on the SIP thread with the microseconds between a call's frames.
    std::function<void(std::int64_t)> on_send_spacing;
  };
  SipProvider(messaging::Loop& loop, audio::AudioService& audio, std::vector<SipLineConfig> lines,
              Options options);
  SipProvider(messaging::Loop& loop, audio::AudioService& audio, std::vector<SipLineConfig> lines)
      : SipProvider(loop, audio, std::move(lines), Options{}) {}
  ~SipProvider() override;
  SipProvider(const SipProvider&) = delete;
  SipProvider& operator=(const SipProvider&) = delete;

  // Loop thread. The line's registration as last reported.
  RegistrationStatus registration(std::size_t device) const;
  const SipLineConfig& line_config(std::size_t device) const;

  std::string_view name() const override { return "sip"; }
  std::size_t device_count() const override { return lines_.size(); }
  const telephony::LineDeviceDescription& device(std::size_t index) const override;
  telephony::LONG open(std::size_t device, telephony::ProviderEvents& events) override;
  void close(std::size_t device) override;
  telephony::LONG make_call(std::size_t device, telephony::HCALL call, telephony::RequestId request,
                 std::string_view number) override;
  telephony::LONG dial(telephony::HCALL call, telephony::RequestId request, std::string_view number) override;
  telephony::LONG answer(telephony::HCALL call, telephony::RequestId request) override;
  telephony::LONG drop(telephony::HCALL call, telephony::RequestId request) override;
  telephony::LONG set_call_params(telephony::HCALL call, telephony::RequestId request,
                       telephony::DWORD bearer_mode) override;
  // Re-INVITE a=sendonly / a=sendrecv, and REFER. Consultation and conference are not offered.
  telephony::LONG hold(telephony::HCALL call, telephony::RequestId request, bool on_hold) override;
  telephony::LONG blind_transfer(telephony::HCALL call, telephony::RequestId request,
                                 std::string_view number) override;
  void deallocate(telephony::HCALL call) override;
  telephony::CallDetails details(telephony::HCALL call) const override;
  void monitor_digits(telephony::HCALL call, telephony::DWORD modes) override;
  void monitor_media(telephony::HCALL, telephony::DWORD) override {}
  // Every call has its channel's wave input; an ended call has no audio any more.
  telephony::LONG receive_audio(telephony::HCALL call, bool on) override;
  telephony::LONG generate_digits(telephony::HCALL call, std::string_view digits) override;
  std::vector<std::uint8_t> device_config(std::size_t) const override { return {}; }
  telephony::LONG set_device_config(std::size_t, std::vector<std::uint8_t>) override;
  telephony::LONG config_dialog(std::size_t) override;

 private:
  using CallId = std::uint64_t;
  struct Line;
  struct Call;
  struct SipSide;

  Call* find(telephony::HCALL call);
  const Call* find(telephony::HCALL call) const;
  std::pair<telephony::HCALL, Call*> find_id(CallId id);
  // Runs `task` on the loop unless the provider is gone by then.
  void to_loop(std::function<void()> task);
  void on_phase(CallId id, CallPhase phase, EndReason reason, const std::string& status);
  void on_request_done(CallId id, CallRequest request, bool ok);
  // Loop thread: hands `request` of call `c` to its SIP call; the outcome comes back later.
  telephony::LONG start_request(telephony::HCALL call, telephony::RequestId request,
                                std::function<int(SipCall&)> action);
  void on_incoming(std::size_t device, CallId id, std::size_t channel,
                   telephony::CallDetails details);
  // SIP thread: a new INVITE on `device` takes a free channel, or is answered busy.
  void on_invite(std::size_t device, const ::sip_msg& invite);
  // Loop thread: a call on a line whose registrar stopped answering goes nowhere.
  void unreachable_at_once(CallId id, telephony::RequestId request);
  void start_line(std::size_t device);
  // SIP thread: the callbacks of call `id` on `channel` of its line, each handing its news to
  // the loop.
  sip::CallEvents events_for(CallId id, std::size_t device, std::size_t channel);
  void report_state(telephony::HCALL handle, Call& call, telephony::DWORD state,
                    telephony::DWORD mode);
  // Loop thread: whether the call's channel has its received audio asked for.
  void update_receiving(const Call& call);
  // Loop thread: the call has ended or gone; its channel is free for the next one, and what
  // was still queued for it counts as played.
  void release_channel(const Call& call);
  // Loop thread: one frame call `id` received, for its channel's wave input and the service.
  void on_heard(CallId id, std::size_t device, std::size_t channel,
                const std::vector<std::int16_t>& frame);
  void add_call(telephony::HCALL handle, const Call& call);

  messaging::Loop& loop_;
  audio::AudioService& audio_;
  Options options_;
  std::vector<std::unique_ptr<Line>> lines_;
  std::map<telephony::HCALL, Call> calls_;
  std::unordered_map<CallId, telephony::HCALL> handles_;  // of calls_, by call id
  std::atomic<CallId> next_id_{1};  // taken on both threads
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::unique_ptr<SipSide> sip_side_;  // touched only on the SIP thread
  SipThread thread_;                   // last: stops first
};

}  // namespace orvexa::sip
