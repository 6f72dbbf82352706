#include "platform/sip/rtp_payload.h"

#include <spandsp.h>

namespace orvexa::sip {
namespace {

constexpr char kKeys[] = "0123456789*#ABCD";

}  // namespace

void g711_encode(Codec codec, std::span<const std::int16_t> in, std::span<std::uint8_t> out) {
  const std::size_t n = std::min(in.size(), out.size());
  for (std::size_t i = 0; i < n; ++i)
    out[i] = codec == Codec::Pcmu ? linear_to_ulaw(in[i]) : linear_to_alaw(in[i]);
}

void g711_decode(Codec codec, std::span<const std::uint8_t> in, std::span<std::int16_t> out) {
  const std::size_t n = std::min(in.size(), out.size());
  for (std::size_t i = 0; i < n; ++i)
    out[i] = codec == Codec::Pcmu ? ulaw_to_linear(in[i]) : alaw_to_linear(in[i]);
}

std::optional<TelephoneEvent> parse_telephone_event(std::span<const std::uint8_t> p) {
  if (p.size() < 4) return std::nullopt;
  TelephoneEvent e;
  e.event = p[0];
  e.end = (p[1] & 0x80) != 0;
  e.volume = p[1] & 0x3F;
  e.duration = static_cast<std::uint16_t>((p[2] << 8) | p[3]);
  return e;
}

void encode_telephone_event(const TelephoneEvent& e, std::uint8_t out[4]) {
  out[0] = e.event;
  out[1] = static_cast<std::uint8_t>((e.end ? 0x80 : 0) | (e.volume & 0x3F));
  out[2] = static_cast<std::uint8_t>(e.duration >> 8);
  out[3] = static_cast<std::uint8_t>(e.duration & 0xFF);
}

char event_digit(std::uint8_t event) { return event < 16 ? kKeys[event] : 0; }

int digit_event(char digit) {
  if (digit >= 'a' && digit <= 'd') digit = static_cast<char>(digit - 'a' + 'A');
  for (int i = 0; i < 16; ++i)
    if (kKeys[i] == digit) return i;
  return -1;
}

std::optional<char> DigitEventFilter::accept(std::uint32_t timestamp, const TelephoneEvent& e,
                                             std::uint64_t now_ms) {
  const char key = event_digit(e.event);
  if (key == 0) return std::nullopt;
  // Every packet of one press carries the same timestamp, the end packet three times over.
  if (have_last_ && timestamp == last_timestamp_ && e.event == last_event_) return std::nullopt;
  have_last_ = true;
  last_timestamp_ = timestamp;
  last_event_ = e.event;
  if (now_ms - window_start_ms_ >= 1000 || now_ms < window_start_ms_) {
    window_start_ms_ = now_ms;
    in_window_ = 0;
  }
  if (in_window_ >= max_per_second_) {
    ++dropped_;
    return std::nullopt;
  }
  ++in_window_;
  return key;
}

RtpSourceFilter::Kind RtpSourceFilter::classify(std::uint32_t ssrc, int pt, std::uint64_t now_ms) {
  const bool known_pt = pt == audio_pt_ || (event_pt_ >= 0 && pt == event_pt_);
  if (!known_pt) {
    ++dropped_;
    return Kind::Dropped;
  }
  if (locked_ && ssrc != ssrc_) {
    if (now_ms < last_ms_ + kQuietBeforeSwitchMs) {
      ++dropped_;
      return Kind::Dropped;
    }
  }
  locked_ = true;
  ssrc_ = ssrc;
  last_ms_ = now_ms;
  return pt == audio_pt_ ? Kind::Audio : Kind::Event;
}

}  // namespace orvexa::sip
