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
    line->description.channels = config.channels;
    line->channels =
        std::make_unique<SipLineChannels>(audio_, host::to_utf16(config.name), config.channels);
    line->config = std::move(config);
    lines_.push_back(std::move(line));
  }
}

SipProvider::~SipProvider() {
  thread_.call([this] {
    sip_side_->calls.clear();
    sip_side_->accounts.clear();
  });
  // The lines' channels take their devices out of the audio service as they go.
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
  // The line's own devices are its first channel's.
  line.description.wave_out = line.channels->wave_out(0);
  line.description.wave_in = line.channels->wave_in(0);
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
    slot->set_invite_handler(
        [this, device](const ::sip_msg& invite) { on_invite(device, invite); });
    const int err = slot->start();
    if (err != 0) {
      RegistrationStatus failed{RegistrationStatus::State::Failed, 0,
                                "could not start: " + std::string(std::strerror(err)), {}};
      to_loop([this, device, failed] { lines_[device]->registration = failed; });
    }
  });
}

void SipProvider::on_invite(std::size_t device, const ::sip_msg& invite) {
  SipAccount& account = *sip_side_->accounts[device];
  SipLineChannels& channels = *lines_[device]->channels;
  const CallId id = next_id_++;
  const auto channel = channels.claim(id);
  if (!channel) {  // every channel carries a call
    account.refuse(invite, 486, "Busy Here");
    return;
  }
  auto call = std::make_unique<SipCall>(account, channels[*channel].outbound,
                                        events_for(id, device, *channel));
  if (call->offer(invite) != 0) {
    channels.release(*channel, id);
    return;
  }
  CallDetails d;
  d.origin = LINECALLORIGIN_EXTERNAL;
  d.caller_number = call->caller().number;
  d.caller_name = call->caller().name;
  d.caller_id_flags = (d.caller_number.empty() ? 0 : LINECALLPARTYID_ADDRESS) |
                      (d.caller_name.empty() ? 0 : LINECALLPARTYID_NAME);
  if (d.caller_id_flags == 0) d.caller_id_flags = LINECALLPARTYID_UNKNOWN;
  sip_side_->calls[id] = std::move(call);
  to_loop([this, device, id, ch = *channel, d] { on_incoming(device, id, ch, d); });
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
    release_channel(it->second);
    handles_.erase(it->second.id);
    it = calls_.erase(it);
  }
  thread_.post([this, device] { sip_side_->accounts[device].reset(); });
}

}  // namespace orvexa::sip
