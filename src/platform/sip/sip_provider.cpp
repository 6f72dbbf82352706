#include "platform/sip/sip_provider.h"

#include <cstring>

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_call.h"
#include "platform/sip/sip_provider_parts.h"
#include "platform/host/utf.h"

namespace orvexa::sip {

using namespace telephony;

SipProvider::SipProvider(messaging::Loop& loop, audio::AudioService& audio,
                         std::vector<SipLineConfig> lines, Options options)
    : loop_(loop), audio_(audio), options_(options), sip_side_(std::make_unique<SipSide>()) {
  sip_side_->accounts.resize(lines.size());
  for (auto& config : lines) {
    auto line = std::make_unique<Line>();
    line->description.name = config.name;
    line->description.address = config.user;
    line->description.caller_id_flags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
    const std::u16string base = host::to_utf16(config.name) + u" Modem ";
    line->playback = std::make_shared<SipLinePlayback>(base + u"wave/out", line->outbound);
    line->capture = std::make_shared<SipLineCapture>(base + u"wave/in");
    line->playback_id = audio_.add_playback_device(line->playback);
    line->capture_id = audio_.add_capture_device(line->capture);
    line->config = std::move(config);
    lines_.push_back(std::move(line));
  }
}

SipProvider::~SipProvider() {
  thread_.call([this] {
    sip_side_->calls.clear();
    sip_side_->accounts.clear();
  });
  for (auto& line : lines_) {
    audio_.remove_device(line->playback_id);
    audio_.remove_device(line->capture_id);
  }
}

void SipProvider::to_loop(std::function<void()> task) {
  loop_.post([alive = std::weak_ptr<int>(alive_), task = std::move(task)] {
    if (alive.lock()) task();
  });
}

const SipLineConfig& SipProvider::line_config(std::size_t device) const {
  return lines_[device]->config;
}

RegistrationStatus SipProvider::registration(std::size_t device) const {
  return device < lines_.size() ? lines_[device]->registration : RegistrationStatus{};
}

const LineDeviceDescription& SipProvider::device(std::size_t index) const {
  const Line& line = *lines_[index];
  // Numbers follow the audio service's current list, so they are looked up each time.
  const auto out = audio_.playback_number(line.playback_id);
  const auto in = audio_.capture_number(line.capture_id);
  line.description.wave_out = out ? static_cast<std::int32_t>(*out) : -1;
  line.description.wave_in = in ? static_cast<std::int32_t>(*in) : -1;
  return line.description;
}

LONG SipProvider::open(std::size_t device, ProviderEvents& events) {
  if (device >= lines_.size()) return LINEERR_BADDEVICEID;
  if (!thread_.running()) return LINEERR_RESOURCEUNAVAIL;
  lines_[device]->events = &events;
  if (!lines_[device]->config.do_register) lines_[device]->registration = {};
  start_line(device);
  return 0;
}

void SipProvider::start_line(std::size_t device) {
  thread_.post([this, device, config = lines_[device]->config] {
    auto& slot = sip_side_->accounts[device];
    if (slot) return;
    slot = std::make_unique<SipAccount>(config, [this, device](const RegistrationStatus& s) {
      to_loop([this, device, s] { lines_[device]->registration = s; });
    });
    slot->set_invite_handler([this, device](const ::sip_msg& invite) {
      const CallId id = next_id_++;  // SIP thread only from here on
      auto call = std::make_unique<SipCall>(*sip_side_->accounts[device], lines_[device]->outbound,
                                            events_for(id, device));
      if (call->offer(invite) != 0) return;
      CallDetails d;
      d.origin = LINECALLORIGIN_EXTERNAL;
      d.caller_number = call->caller().number;
      d.caller_name = call->caller().name;
      d.caller_id_flags = (d.caller_number.empty() ? 0 : LINECALLPARTYID_ADDRESS) |
                          (d.caller_name.empty() ? 0 : LINECALLPARTYID_NAME);
      if (d.caller_id_flags == 0) d.caller_id_flags = LINECALLPARTYID_UNKNOWN;
      sip_side_->calls[id] = std::move(call);
      to_loop([this, device, id, d] { on_incoming(device, id, d); });
    });
    const int err = slot->start();
    if (err != 0) {
      RegistrationStatus failed{RegistrationStatus::State::Failed, 0,
                                "could not start: " + std::string(std::strerror(err)), {}};
      to_loop([this, device, failed] { lines_[device]->registration = failed; });
    }
  });
}

void SipProvider::close(std::size_t device) {
  if (device >= lines_.size()) return;
  lines_[device]->events = nullptr;
  for (auto it = calls_.begin(); it != calls_.end();) {
    if (it->second.device != device) {
      ++it;
      continue;
    }
    thread_.post([this, id = it->second.id] { sip_side_->calls.erase(id); });
    it = calls_.erase(it);
  }
  lines_[device]->playback->call_ended();
  update_receiving(device);
  thread_.post([this, device] { sip_side_->accounts[device].reset(); });
}

}  // namespace orvexa::sip
