// A SIP provider with one line aimed at a sipp peer on the loopback, and a record of what the
// provider reports, for the provider tests against real peers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/sip/sip_provider.h"
#include "sipp_process.h"

namespace orvexa::sip::testing {

using namespace telephony;

class RecordingEvents : public ProviderEvents {
 public:
  struct State {
    HCALL call;
    DWORD state, mode;
  };
  HCALL offer_as = 0;  // the handle an offered call gets; 0 turns it away
  CallDetails offered;
  std::vector<std::pair<RequestId, LONG>> replies;
  std::vector<State> states;
  std::string digits;
  std::size_t received = 0;  // samples of received audio reported

  void reply(RequestId r, LONG result) override { replies.emplace_back(r, result); }
  void call_state(HCALL c, DWORD s, DWORD m) override { states.push_back({c, s, m}); }
  HCALL incoming_call(const LineProvider&, std::size_t, const CallDetails& d) override {
    offered = d;
    return offer_as;
  }
  void ringing(const LineProvider&, std::size_t) override {}
  void call_info_changed(HCALL, DWORD) override {}
  void digit(HCALL, char d, DWORD) override { digits += d; }
  void media(HCALL, DWORD) override {}
  void received_audio(HCALL, std::span<const std::int16_t> samples) override {
    received += samples.size();
  }

  bool saw(DWORD state) const {
    for (const auto& s : states)
      if (s.state == state) return true;
    return false;
  }
  std::optional<State> final_state() const {
    for (const auto& s : states)
      if (s.state == LINECALLSTATE_DISCONNECTED || s.state == LINECALLSTATE_BUSY ||
          s.state == LINECALLSTATE_IDLE)
        return s;
    return std::nullopt;
  }
};

struct Rig {
  messaging::SteadyClock clock;
  messaging::Loop loop{clock};
  audio::AudioService audio{loop};
  RecordingEvents events;
  std::unique_ptr<SipProvider> sip;

  explicit Rig(const SippProcess& peer, SipProvider::Options options = {},
               std::uint16_t local_port = 0)
      : Rig(peer.port(), options, local_port) {}
  Rig(std::uint16_t registrar_port, SipProvider::Options options, std::uint16_t local_port,
      std::function<void(SipLineConfig&)> adjust = {}) {
    SipLineConfig line;
    line.local_port = local_port;
    line.name = "Office 201";
    line.registrar = {"127.0.0.1", registrar_port};
    line.domain = "127.0.0.1";
    line.user = line.auth_user = "201";
    line.do_register = false;
    if (adjust) adjust(line);
    sip = std::make_unique<SipProvider>(loop, audio, std::vector<SipLineConfig>{line}, options);
    EXPECT_EQ(sip->open(0, events), 0);
  }
  bool run_until(const std::function<bool()>& done, int seconds) {
    return loop.run_until(done, std::chrono::seconds(seconds));
  }
};

}  // namespace orvexa::sip::testing
