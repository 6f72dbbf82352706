// What travels in RTP payloads on a sip line: G.711 audio and RFC 4733 telephone events, and
// the checks that keep a hostile or confused peer from steering a call.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/sip/sip_config.h"

namespace orvexa::sip {

inline constexpr int kSamplesPerFrame = 160;  // 20 ms at 8 kHz

// 16-bit linear <-> G.711; `out` must be as long as `in`.
void g711_encode(Codec codec, std::span<const std::int16_t> in, std::span<std::uint8_t> out);
void g711_decode(Codec codec, std::span<const std::uint8_t> in, std::span<std::int16_t> out);

struct TelephoneEvent {
  std::uint8_t event = 0;
  bool end = false;
  std::uint8_t volume = 0;
  std::uint16_t duration = 0;
};

// The 4-byte event block; nullopt when too short. Extra blocks (redundancy) are ignored.
std::optional<TelephoneEvent> parse_telephone_event(std::span<const std::uint8_t> payload);
void encode_telephone_event(const TelephoneEvent& e, std::uint8_t out[4]);
// '0'-'9', '*', '#', 'A'-'D' for events 0-15; 0 for the rest (flash and tones are not keys).
char event_digit(std::uint8_t event);
int digit_event(char digit);  // -1 when the character is not a key

// Reports each key press once although its packets repeat, and at most `max_per_second`
// presses: a flood of events cannot flood the line's notifications.
class DigitEventFilter {
 public:
  explicit DigitEventFilter(int max_per_second = 20) : max_per_second_(max_per_second) {}
  // `timestamp` is the RTP timestamp (one per event); `now_ms` a monotonic time.
  std::optional<char> accept(std::uint32_t timestamp, const TelephoneEvent& e,
                             std::uint64_t now_ms);
  std::uint64_t dropped() const { return dropped_; }

 private:
  int max_per_second_;
  bool have_last_ = false;
  std::uint32_t last_timestamp_ = 0;
  std::uint8_t last_event_ = 0;
  std::uint64_t window_start_ms_ = 0;
  int in_window_ = 0;
  std::uint64_t dropped_ = 0;
};

// Which packets belong to the call: the negotiated payload types, one synchronisation source
// at a time. A new source is taken only once the current one has been quiet for a while
// (a far end that restarts its stream), so a stranger cannot cut in on a live call.
class RtpSourceFilter {
 public:
  enum class Kind { Audio, Event, Dropped };
  RtpSourceFilter(int audio_pt, int event_pt) : audio_pt_(audio_pt), event_pt_(event_pt) {}
  void set_payload_types(int audio_pt, int event_pt) {
    audio_pt_ = audio_pt;
    event_pt_ = event_pt;
  }
  Kind classify(std::uint32_t ssrc, int pt, std::uint64_t now_ms);
  std::uint64_t dropped() const { return dropped_; }

  static constexpr std::uint64_t kQuietBeforeSwitchMs = 1000;

 private:
  int audio_pt_, event_pt_;
  bool locked_ = false;
  std::uint32_t ssrc_ = 0;
  std::uint64_t last_ms_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace orvexa::sip
