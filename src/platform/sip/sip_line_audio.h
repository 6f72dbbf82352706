// A sip line's call audio as two devices of the audio service, named "<line> Modem wave/out"
// and "... wave/in" so the preferred-device rule passes them over. Loop thread only; the
// provider moves frames between them and the SIP thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>

#include "platform/audio/wave_device.h"
#include "platform/sip/call_audio.h"

namespace orvexa::sip {

using audio::MMRESULT;

// What the voice component plays goes out in the call's frames; progress is reported as the
// frames leave, so a playback's end is heard at the far end when it is reported.
class SipLinePlayback final : public audio::PlaybackDevice {
 public:
  SipLinePlayback(std::u16string name, std::shared_ptr<OutboundAudio> outbound);
  std::u16string name() const override { return name_; }
  audio::DeviceKind kind() const override { return audio::DeviceKind::Line; }
  MMRESULT supports(const audio::WAVEFORMATEX& format) const override;
  MMRESULT open(const audio::WAVEFORMATEX& format, audio::PlaybackClient& client) override;
  MMRESULT feed(std::span<const std::uint8_t> bytes) override;
  MMRESULT pause() override;
  MMRESULT restart() override;
  MMRESULT reset() override;
  MMRESULT position(std::uint64_t& bytes) const override;
  void close() override;

  // From the provider: `bytes` of fed audio went out in frames.
  void sent(std::size_t bytes);
  // The call is gone: what is still queued counts as played, into the void.
  void call_ended();

 private:
  void top_up();
  std::u16string name_;
  std::shared_ptr<OutboundAudio> outbound_;
  audio::PlaybackClient* client_ = nullptr;
  std::deque<std::uint8_t> pending_;
  std::size_t in_flight_ = 0;  // bytes handed to the SIP thread, not yet sent
  std::uint64_t position_ = 0;
  bool paused_ = false;
};

class SipLineCapture final : public audio::CaptureDevice {
 public:
  explicit SipLineCapture(std::u16string name) : name_(std::move(name)) {}
  std::u16string name() const override { return name_; }
  audio::DeviceKind kind() const override { return audio::DeviceKind::Line; }
  MMRESULT supports(const audio::WAVEFORMATEX& format) const override;
  MMRESULT open(const audio::WAVEFORMATEX& format, audio::CaptureClient& client) override;
  MMRESULT start() override;
  MMRESULT stop() override;
  MMRESULT reset() override;
  MMRESULT position(std::uint64_t& bytes) const override;
  void close() override;

  // From the provider: one frame the far end sent (or silence when it sent none).
  void heard(std::span<const std::int16_t> frame);
  // Any thread: whether frames are wanted now, so the SIP thread need not send them over.
  bool listening() const { return started_.load(std::memory_order_relaxed); }

 private:
  std::u16string name_;
  audio::CaptureClient* client_ = nullptr;
  std::atomic<bool> started_{false};
  std::uint64_t position_ = 0;
};

}  // namespace orvexa::sip
