#include "platform/sip/sip_line_audio.h"

#include <vector>

#include "platform/audio/mm_result.h"

namespace orvexa::sip {

using namespace audio;
namespace {

// Kept small so that pause and reset take effect within a fraction of a second.
constexpr std::size_t kAheadBytes = 8000;  // 0.5 s

MMRESULT check_format(const audio::WAVEFORMATEX& f) {
  const bool ok = f.wFormatTag == audio::WAVE_FORMAT_PCM && f.nChannels == 1 &&
                  f.nSamplesPerSec == 8000 && f.wBitsPerSample == 16;
  return ok ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

}  // namespace

SipLinePlayback::SipLinePlayback(std::u16string name, std::shared_ptr<OutboundAudio> outbound)
    : name_(std::move(name)), outbound_(std::move(outbound)) {}

MMRESULT SipLinePlayback::supports(const audio::WAVEFORMATEX& format) const {
  return check_format(format);
}

MMRESULT SipLinePlayback::open(const audio::WAVEFORMATEX& format, audio::PlaybackClient& client) {
  if (client_ != nullptr) return MMSYSERR_ALLOCATED;
  if (const MMRESULT r = check_format(format); r != MMSYSERR_NOERROR) return r;
  client_ = &client;
  position_ = 0;
  paused_ = false;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLinePlayback::feed(std::span<const std::uint8_t> bytes) {
  if (client_ == nullptr) return MMSYSERR_INVALPARAM;
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  top_up();
  return MMSYSERR_NOERROR;
}

void SipLinePlayback::top_up() {
  if (paused_ || !outbound_) return;
  while (!pending_.empty() && in_flight_ < kAheadBytes) {
    std::vector<std::uint8_t> chunk(pending_.begin(),
                                    pending_.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                           pending_.size(), kAheadBytes - in_flight_)));
    const std::size_t taken = outbound_->push(chunk);
    if (taken == 0) break;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
    in_flight_ += taken;
  }
}

void SipLinePlayback::sent(std::size_t bytes) {
  bytes = std::min(bytes, in_flight_);
  in_flight_ -= bytes;
  position_ += bytes;
  if (client_ != nullptr && bytes > 0) client_->played(bytes);
  top_up();
}

void SipLinePlayback::call_ended() {
  if (outbound_) outbound_->clear();
  const std::size_t rest = in_flight_ + pending_.size();
  in_flight_ = 0;
  pending_.clear();
  position_ += rest;
  if (client_ != nullptr && rest > 0) client_->played(rest);
}

MMRESULT SipLinePlayback::pause() {
  paused_ = true;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLinePlayback::restart() {
  paused_ = false;
  top_up();
  return MMSYSERR_NOERROR;
}

MMRESULT SipLinePlayback::reset() {
  if (outbound_) outbound_->clear();
  pending_.clear();
  in_flight_ = 0;
  position_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLinePlayback::position(std::uint64_t& bytes) const {
  bytes = position_;
  return MMSYSERR_NOERROR;
}

void SipLinePlayback::close() {
  reset();
  client_ = nullptr;
}

MMRESULT SipLineCapture::supports(const audio::WAVEFORMATEX& format) const {
  return check_format(format);
}

MMRESULT SipLineCapture::open(const audio::WAVEFORMATEX& format, audio::CaptureClient& client) {
  if (client_ != nullptr) return MMSYSERR_ALLOCATED;
  if (const MMRESULT r = check_format(format); r != MMSYSERR_NOERROR) return r;
  client_ = &client;
  started_ = false;
  position_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLineCapture::start() {
  if (client_ == nullptr) return MMSYSERR_INVALPARAM;
  started_ = true;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLineCapture::stop() {
  started_ = false;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLineCapture::reset() {
  started_ = false;
  position_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT SipLineCapture::position(std::uint64_t& bytes) const {
  bytes = position_;
  return MMSYSERR_NOERROR;
}

void SipLineCapture::close() {
  started_ = false;
  client_ = nullptr;
}

void SipLineCapture::heard(std::span<const std::int16_t> frame) {
  if (!started_ || client_ == nullptr) return;
  std::vector<std::uint8_t> bytes(frame.size() * 2);
  for (std::size_t i = 0; i < frame.size(); ++i) {
    const auto v = static_cast<std::uint16_t>(frame[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  position_ += bytes.size();
  client_->captured(bytes);
}

}  // namespace orvexa::sip
