// A sip line's channels: one call at a time each, with its own outbound queue and its own pair of
// audio devices, so calls played into at once never mix. Channel 0 is the line's own pair
// ("<line> Modem wave/out", "... wave/in"), the second "<line> #2 Modem wave/out", and so on.
//
//   SipLineChannels channels(audio, u"Office 201", 3);
//   if (auto ch = channels.claim(call_id)) start(channels[*ch].outbound);   // else: line full
//   channels.release(*ch, call_id);                                          // the call ended
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/sip/call_audio.h"
#include "platform/sip/sip_line_audio.h"

namespace orvexa::sip {

class SipLineChannels {
 public:
  struct Channel {
    std::shared_ptr<OutboundAudio> outbound = std::make_shared<OutboundAudio>();
    std::shared_ptr<SipLinePlayback> playback;  // loop thread only
    std::shared_ptr<SipLineCapture> capture;
    audio::DeviceId playback_id = 0, capture_id = 0;
    // The call that holds the channel, 0 when free. Claimed on the loop thread (our calls) and
    // on the SIP thread (incoming calls), hence atomic.
    std::atomic<std::uint64_t> owner{0};
    // Read on the SIP thread: received frames are wanted by the service, not only the input.
    std::atomic<bool> receiving{false};
  };

  // Adds `count` (at least 1) pairs of devices to `audio`; they leave it with this object.
  SipLineChannels(audio::AudioService& audio, const std::u16string& line_name, std::size_t count);
  ~SipLineChannels();
  SipLineChannels(const SipLineChannels&) = delete;
  SipLineChannels& operator=(const SipLineChannels&) = delete;

  std::size_t size() const { return channels_.size(); }
  Channel& operator[](std::size_t i) { return *channels_[i]; }
  const Channel& operator[](std::size_t i) const { return *channels_[i]; }

  // Any thread: the lowest free channel now holds `call` (non-zero); none when all are taken.
  std::optional<std::size_t> claim(std::uint64_t call);
  // Any thread: frees channel `i` if `call` still holds it; false when it does not.
  bool release(std::size_t i, std::uint64_t call);
  bool holds(std::size_t i, std::uint64_t call) const {
    return channels_[i]->owner.load(std::memory_order_acquire) == call;
  }

  // Loop thread: the audio service's numbers of channel `i`'s devices (-1: none). Numbers
  // follow the service's current list, so they are looked up each time.
  std::int32_t wave_out(std::size_t i) const;
  std::int32_t wave_in(std::size_t i) const;

 private:
  audio::AudioService& audio_;
  std::vector<std::unique_ptr<Channel>> channels_;
};

}  // namespace orvexa::sip
