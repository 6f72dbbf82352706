// The call half of the SIP provider: requests from the service go to the SIP thread, news
// from the SIP thread comes back to the loop and becomes call states, digits and audio.
#include <cerrno>

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_call.h"
#include "platform/sip/sip_provider.h"
#include "platform/sip/sip_provider_parts.h"

namespace orvexa::sip {

using namespace telephony;

SipProvider::Call* SipProvider::find(HCALL call) {
  auto it = calls_.find(call);
  return it == calls_.end() ? nullptr : &it->second;
}

const SipProvider::Call* SipProvider::find(HCALL call) const {
  auto it = calls_.find(call);
  return it == calls_.end() ? nullptr : &it->second;
}

std::pair<HCALL, SipProvider::Call*> SipProvider::find_id(CallId id) {
  auto it = handles_.find(id);
  if (it == handles_.end()) return {0, nullptr};
  return {it->second, find(it->second)};
}

void SipProvider::add_call(HCALL handle, const Call& call) {
  calls_[handle] = call;
  handles_[call.id] = handle;
}

void SipProvider::release_channel(const Call& call) {
  SipLineChannels& channels = *lines_[call.device]->channels;
  if (!channels.holds(call.channel, call.id)) return;
  SipLineChannels::Channel& ch = channels[call.channel];
  ch.playback->call_ended();
  ch.receiving.store(false, std::memory_order_relaxed);
  channels.release(call.channel, call.id);
}

void SipProvider::report_state(HCALL handle, Call& call, DWORD state, DWORD mode) {
  call.state = state;
  if (ProviderEvents* events = lines_[call.device]->events) events->call_state(handle, state, mode);
}

sip::CallEvents SipProvider::events_for(CallId id, std::size_t device, std::size_t channel) {
  sip::CallEvents e;
  e.phase = [this, id](CallPhase phase, EndReason reason, const std::string& status) {
    to_loop([this, id, phase, reason, status] { on_phase(id, phase, reason, status); });
  };
  e.done = [this, id](CallRequest request, bool ok) {
    to_loop([this, id, request, ok] { on_request_done(id, request, ok); });
  };
  // Every 20 ms of every call: a look at its own channel only.
  SipLineChannels::Channel& ch = (*lines_[device]->channels)[channel];
  e.media.heard = [this, id, device, channel, &ch](std::span<const std::int16_t> frame) {
    if (!ch.capture->listening() && !ch.receiving.load(std::memory_order_relaxed)) return;
    std::vector<std::int16_t> pcm(frame.begin(), frame.end());
    to_loop([this, id, device, channel, pcm = std::move(pcm)] {
      on_heard(id, device, channel, pcm);
    });
  };
  e.media.sent = [this, id, device, channel](std::size_t bytes) {
    to_loop([this, id, device, channel, bytes] {
      // A call that ended meanwhile may have left the channel to the next one.
      SipLineChannels& channels = *lines_[device]->channels;
      if (channels.holds(channel, id)) channels[channel].playback->sent(bytes);
    });
  };
  e.media.key = [this, id](char key) {
    to_loop([this, id, key] {
      auto [handle, c] = find_id(id);
      if (c == nullptr || c->ended || !(c->digit_modes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND)))
        return;
      if (ProviderEvents* events = lines_[c->device]->events)
        events->digit(handle, key, LINEDIGITMODE_DTMF);
    });
  };
  return e;
}

void SipProvider::on_heard(CallId id, std::size_t device, std::size_t channel,
                           const std::vector<std::int16_t>& frame) {
  SipLineChannels& channels = *lines_[device]->channels;
  if (!channels.holds(channel, id)) return;
  channels[channel].capture->heard(frame);
  auto [handle, c] = find_id(id);
  if (c == nullptr || c->ended || !c->receiving) return;
  if (ProviderEvents* events = lines_[device]->events) events->received_audio(handle, frame);
}

void SipProvider::on_phase(CallId id, CallPhase phase, EndReason reason,
                           const std::string& status) {
  auto [handle, c] = find_id(id);
  if (c == nullptr || c->ended) return;
  switch (phase) {
    case CallPhase::Dialing: report_state(handle, *c, LINECALLSTATE_DIALING, 0); return;
    case CallPhase::Proceeding: report_state(handle, *c, LINECALLSTATE_PROCEEDING, 0); return;
    case CallPhase::Ringback: report_state(handle, *c, LINECALLSTATE_RINGBACK, 0); return;
    case CallPhase::Connected: report_state(handle, *c, LINECALLSTATE_CONNECTED, 0); return;
    case CallPhase::Offering: return;
    case CallPhase::Ended: break;
  }
  c->ended = true;
  c->details.end_status = status;
  release_channel(*c);
  switch (reason) {
    case EndReason::WeHungUp: return;  // the drop's reply reports idle
    case EndReason::Transferred:
      // Nobody drops a handed-over call: it goes idle by itself.
      report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
      report_state(handle, *c, LINECALLSTATE_IDLE, 0);
      return;
    case EndReason::Busy: report_state(handle, *c, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION); return;
    case EndReason::FarEndHungUp: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL); return;
    case EndReason::NoAnswer: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER); return;
    case EndReason::BadAddress: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS); return;
    case EndReason::Rejected: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT); return;
    case EndReason::Unreachable: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE); return;
    case EndReason::Unavailable:
    case EndReason::NoCommonCodec: report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL); return;
  }
}

void SipProvider::on_incoming(std::size_t device, CallId id, std::size_t channel,
                              CallDetails details) {
  ProviderEvents* events = lines_[device]->events;
  const HCALL handle = events ? events->incoming_call(*this, device, details) : 0;
  if (handle == 0) {  // nobody has the line open: turn the caller away
    lines_[device]->channels->release(channel, id);
    thread_.post([this, id] {
      if (auto it = sip_side_->calls.find(id); it != sip_side_->calls.end()) it->second->hang_up();
      sip_side_->calls.erase(id);
    });
    return;
  }
  Call c;
  c.id = id;
  c.device = device;
  c.channel = channel;
  c.details = std::move(details);
  add_call(handle, c);
  report_state(handle, calls_[handle], LINECALLSTATE_OFFERING, 0);
  events->call_info_changed(handle, LINECALLINFOSTATE_CALLERID);
  events->ringing(*this, device);
}

LONG SipProvider::make_call(std::size_t device, HCALL call, RequestId request,
                            std::string_view number) {
  if (device >= lines_.size() || lines_[device]->events == nullptr) return LINEERR_INVALLINEHANDLE;
  if (number.empty()) return LINEERR_OPERATIONUNAVAIL;  // no dial tone to wait on over SIP
  const RegistrationStatus& registration = lines_[device]->registration;
  if (registration.refuses_dials()) return LINEERR_CALLUNAVAIL;
  Call c;
  c.id = next_id_++;
  const auto channel = lines_[device]->channels->claim(c.id);
  if (!channel) return LINEERR_RESOURCEUNAVAIL;  // every channel carries a call: not now
  c.channel = *channel;
  c.device = device;
  c.details.called_number = std::string(number);
  c.details.called_id_flags = LINECALLPARTYID_ADDRESS;
  add_call(call, c);
  if (!registration.can_call()) {
    to_loop([this, id = c.id, request] { unreachable_at_once(id, request); });
    return 0;
  }
  thread_.post_setup([this, id = c.id, device, ch = c.channel, request, n = std::string(number)] {
    SipAccount* account = sip_side_->accounts[device].get();
    int err = ENOTCONN;
    if (account != nullptr) {
      auto sc = std::make_unique<SipCall>(*account, (*lines_[device]->channels)[ch].outbound,
                                          events_for(id, device, ch));
      sc->set_ring_limit(options_.ring_limit);
      if (options_.on_send_spacing) sc->media().on_spacing = options_.on_send_spacing;
      err = sc->dial(n);
      if (err == 0) sip_side_->calls[id] = std::move(sc);
    }
    to_loop([this, id, request, err] {
      auto [handle, c] = find_id(id);
      if (c == nullptr) return;
      ProviderEvents* events = lines_[c->device]->events;
      if (events == nullptr) return;
      if (err != 0) {
        c->ended = true;
        release_channel(*c);
        events->reply(request, LINEERR_OPERATIONFAILED);
        return;
      }
      events->reply(request, 0);
      if (!c->ended && c->state == 0) report_state(handle, *c, LINECALLSTATE_DIALING, 0);
    });
  });
  return 0;
}

void SipProvider::unreachable_at_once(CallId id, RequestId request) {
  auto [handle, c] = find_id(id);
  if (c == nullptr) return;
  ProviderEvents* events = lines_[c->device]->events;
  if (events == nullptr) return;
  events->reply(request, 0);
  report_state(handle, *c, LINECALLSTATE_DIALING, 0);
  c->ended = true;
  release_channel(*c);
  c->details.end_status = "not registered: " + lines_[c->device]->registration.reason;
  report_state(handle, *c, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE);
}

LONG SipProvider::dial(HCALL call, RequestId request, std::string_view number) {
  Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_OPERATIONUNAVAIL;
  // More digits on a connected call are key presses to the far end.
  thread_.post([this, id = c->id, request, keys = std::string(number)] {
    if (auto it = sip_side_->calls.find(id); it != sip_side_->calls.end()) it->second->send_keys(keys);
    to_loop([this, id, request] {
      auto [handle, c] = find_id(id);
      if (c != nullptr && lines_[c->device]->events) lines_[c->device]->events->reply(request, 0);
    });
  });
  return 0;
}

LONG SipProvider::answer(HCALL call, RequestId request) {
  Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_OFFERING || c->ended) return LINEERR_INVALCALLSTATE;
  thread_.post([this, id = c->id, request] {
    auto it = sip_side_->calls.find(id);
    const int err = it == sip_side_->calls.end() ? ENOENT : it->second->answer();
    to_loop([this, id, request, err] {
      auto [handle, c] = find_id(id);
      if (c != nullptr && lines_[c->device]->events)
        lines_[c->device]->events->reply(request, err == 0 ? 0 : LINEERR_OPERATIONFAILED);
    });
  });
  return 0;
}

LONG SipProvider::drop(HCALL call, RequestId request) {
  Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  thread_.post([this, id = c->id, request] {
    if (auto it = sip_side_->calls.find(id); it != sip_side_->calls.end()) it->second->hang_up();
    to_loop([this, id, request] {
      auto [handle, c] = find_id(id);
      if (c == nullptr) return;
      c->ended = true;
      release_channel(*c);
      if (ProviderEvents* events = lines_[c->device]->events) {
        events->reply(request, 0);
        report_state(handle, *c, LINECALLSTATE_IDLE, 0);
      }
    });
  });
  return 0;
}

LONG SipProvider::set_call_params(HCALL call, RequestId, DWORD) {
  return find(call) == nullptr ? LINEERR_INVALCALLHANDLE : LINEERR_OPERATIONUNAVAIL;
}

LONG SipProvider::hold(HCALL call, RequestId request, bool on_hold) {
  const Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (c->ended || c->state != (on_hold ? LINECALLSTATE_CONNECTED : LINECALLSTATE_ONHOLD))
    return LINEERR_INVALCALLSTATE;
  return start_request(call, request, [on_hold](SipCall& sc) { return sc.hold(on_hold); });
}

LONG SipProvider::blind_transfer(HCALL call, RequestId request, std::string_view number) {
  const Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (c->ended || (c->state != LINECALLSTATE_CONNECTED && c->state != LINECALLSTATE_ONHOLD))
    return LINEERR_INVALCALLSTATE;
  return start_request(call, request,
                       [n = std::string(number)](SipCall& sc) { return sc.transfer(n); });
}

LONG SipProvider::start_request(HCALL call, RequestId request,
                                std::function<int(SipCall&)> action) {
  Call* c = find(call);
  if (c->pending != 0) return LINEERR_INVALCALLSTATE;
  c->pending = request;
  thread_.post([this, id = c->id, action = std::move(action)] {
    auto it = sip_side_->calls.find(id);
    const int err = it == sip_side_->calls.end() ? ENOENT : action(*it->second);
    if (err == 0) return;  // the SIP call reports the outcome
    to_loop([this, id] {
      auto [handle, c] = find_id(id);
      if (c == nullptr || c->pending == 0) return;
      const RequestId refused = c->pending;
      c->pending = 0;
      if (ProviderEvents* events = lines_[c->device]->events)
        events->reply(refused, LINEERR_OPERATIONFAILED);
    });
  });
  return 0;
}

void SipProvider::on_request_done(CallId id, CallRequest request, bool ok) {
  auto [handle, c] = find_id(id);
  if (c == nullptr || c->pending == 0) return;
  const RequestId done = c->pending;
  c->pending = 0;
  ProviderEvents* events = lines_[c->device]->events;
  if (events == nullptr) return;
  events->reply(done, ok ? 0 : LINEERR_OPERATIONFAILED);
  if (!ok || c->ended) return;
  if (request == CallRequest::Hold) report_state(handle, *c, LINECALLSTATE_ONHOLD, 0);
  if (request == CallRequest::Unhold) report_state(handle, *c, LINECALLSTATE_CONNECTED, 0);
}

void SipProvider::deallocate(HCALL call) {
  Call* c = find(call);
  if (c == nullptr) return;
  thread_.post([this, id = c->id] { sip_side_->calls.erase(id); });
  release_channel(*c);
  handles_.erase(c->id);
  calls_.erase(call);
}

CallDetails SipProvider::details(HCALL call) const {
  const Call* c = find(call);
  if (c == nullptr) return CallDetails{};
  CallDetails d = c->details;
  // A call keeps naming its channel's devices until it is deallocated; on a one-channel line
  // they are the line's own.
  const SipLineChannels& channels = *lines_[c->device]->channels;
  if (channels.size() > 1) {
    d.wave_in = channels.wave_in(c->channel);
    d.wave_out = channels.wave_out(c->channel);
  }
  return d;
}

LONG SipProvider::receive_audio(HCALL call, bool on) {
  Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (on && (c->ended || lines_[c->device]->channels->wave_in(c->channel) < 0))
    return LINEERR_OPERATIONUNAVAIL;
  c->receiving = on;
  update_receiving(*c);
  return 0;
}

void SipProvider::update_receiving(const Call& call) {
  SipLineChannels& channels = *lines_[call.device]->channels;
  if (channels.holds(call.channel, call.id))
    channels[call.channel].receiving.store(call.receiving, std::memory_order_relaxed);
}

void SipProvider::monitor_digits(HCALL call, DWORD modes) {
  if (Call* c = find(call)) c->digit_modes = modes;
}

LONG SipProvider::generate_digits(HCALL call, std::string_view digits) {
  Call* c = find(call);
  if (c == nullptr) return LINEERR_INVALCALLHANDLE;
  if (c->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  thread_.post([this, id = c->id, keys = std::string(digits)] {
    if (auto it = sip_side_->calls.find(id); it != sip_side_->calls.end()) it->second->send_keys(keys);
  });
  return 0;
}

LONG SipProvider::set_device_config(std::size_t, std::vector<std::uint8_t>) {
  return LINEERR_OPERATIONUNAVAIL;
}

LONG SipProvider::config_dialog(std::size_t) { return LINEERR_OPERATIONUNAVAIL; }

}  // namespace orvexa::sip
