// A SIP provider with one line aimed at a sipp peer on the loopback, a record of what the
// provider reports, and wave devices to play into and hear from its calls, for the provider
// tests against real peers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

// Collects what a wave input hears, in 20 ms buffers (three seconds of them).
struct WaveInput {
  static constexpr int kBuffers = 150;
  audio::AudioService& audio;
  audio::HWAVEIN handle = 0;
  std::vector<std::vector<char>> data{kBuffers, std::vector<char>(320)};
  std::vector<audio::WAVEHDR> headers{kBuffers};

  WaveInput(audio::AudioService& a, std::uint32_t device) : audio(a) {
    const auto format = audio::pcm_format();
    EXPECT_EQ(audio.waveInOpen(&handle, device, &format, 0, 0, audio::CALLBACK_NULL), 0u);
    for (int i = 0; i < kBuffers; ++i) {
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = 320;
      audio.waveInPrepareHeader(handle, &headers[i], sizeof(audio::WAVEHDR));
      audio.waveInAddBuffer(handle, &headers[i], sizeof(audio::WAVEHDR));
    }
    EXPECT_EQ(audio.waveInStart(handle), 0u);
  }
  ~WaveInput() {
    audio.waveInReset(handle);
    audio.waveInClose(handle);
  }
  WaveInput(const WaveInput&) = delete;
  WaveInput& operator=(const WaveInput&) = delete;
  // The loudest sample heard so far.
  int peak() const {
    int loudest = 0;
    for (int i = 0; i < kBuffers; ++i) {
      if (!(headers[i].dwFlags & audio::WHDR_DONE)) break;
      const auto* pcm = reinterpret_cast<const std::int16_t*>(data[i].data());
      for (std::size_t s = 0; s < headers[i].dwBytesRecorded / 2; ++s)
        loudest = std::max(loudest, std::abs(static_cast<int>(pcm[s])));
    }
    return loudest;
  }
};

// Plays a tone into a wave output: a 1 kHz sine of the given loudness for `ms` milliseconds.
struct ToneOutput {
  audio::AudioService& audio;
  audio::HWAVEOUT handle = 0;
  std::vector<std::int16_t> pcm;
  audio::WAVEHDR header{};

  ToneOutput(audio::AudioService& a, std::uint32_t device, int ms, int loudness) : audio(a) {
    const auto format = audio::pcm_format();
    EXPECT_EQ(audio.waveOutOpen(&handle, device, &format, 0, 0, audio::CALLBACK_NULL), 0u);
    pcm.resize(static_cast<std::size_t>(ms) * 8);
    for (std::size_t i = 0; i < pcm.size(); ++i)  // 8 samples a cycle at 8 kHz
      pcm[i] = static_cast<std::int16_t>(loudness * std::sin(2 * 3.14159265358979 * double(i) / 8));
    header.lpData = reinterpret_cast<char*>(pcm.data());
    header.dwBufferLength = static_cast<audio::DWORD>(pcm.size() * 2);
    audio.waveOutPrepareHeader(handle, &header, sizeof header);
    EXPECT_EQ(audio.waveOutWrite(handle, &header, sizeof header), 0u);
  }
  ~ToneOutput() {
    audio.waveOutReset(handle);
    audio.waveOutUnprepareHeader(handle, &header, sizeof header);
    audio.waveOutClose(handle);
  }
  ToneOutput(const ToneOutput&) = delete;
  ToneOutput& operator=(const ToneOutput&) = delete;
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
