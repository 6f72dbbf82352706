// What must hold for anything a SIP far end sends that our own code reads: session
// descriptions, From-header caller ID, RTP payload types and sources, RFC 4733 events, G.711
// audio and the status line of a transfer report. `check` returns false when a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sip/caller_id.h"
#include "platform/sip/rtp_payload.h"
#include "platform/sip/sdp.h"
#include "platform/sip/sip_call.h"

namespace orvexa::fuzzing {

class SipInputHarness {
 public:
  bool check(const std::uint8_t* data, std::size_t size) const {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    return check_sdp(text) && check_caller_id(text) && check_sipfrag(text) &&
           check_events(std::span<const std::uint8_t>(data, size));
  }

 private:
  static bool valid_utf8_without_controls(std::string_view s) {
    // Cleaning twice changes nothing when the first pass left only clean text.
    std::string quoted = "\"";
    for (char c : s) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return sip::caller_id_from(quoted + "\"", "").name == s;
  }

  static bool check_sdp(std::string_view text) {
    const auto remote = sip::parse_sdp(text);
    if (!remote) return true;
    if (remote->address.empty() || remote->address.size() > 64) return false;
    if (remote->payload_types.size() > 64 || remote->formats.size() > 66) return false;
    for (const auto& codecs : {std::vector<sip::Codec>{sip::Codec::Pcmu, sip::Codec::Pcma},
                               std::vector<sip::Codec>{sip::Codec::Pcma}}) {
      const auto chosen = sip::negotiate(*remote, codecs);
      if (!chosen) continue;
      bool offered = false;
      for (int pt : remote->payload_types) offered |= pt == chosen->pt;
      if (!offered || chosen->pt < 0 || chosen->pt > 127) return false;
      sip::LocalMedia answer{"127.0.0.1", 4000, {chosen->codec}, chosen->pt,
                             chosen->telephone_event_pt, sip::answer_direction(remote->direction),
                             1, 1};
      const auto back = sip::parse_sdp(sip::build_sdp(answer));
      if (!back || !sip::negotiate(*back, codecs)) return false;
    }
    return true;
  }

  static bool check_caller_id(std::string_view text) {
    const auto cut = text.find('@');
    const auto id = sip::caller_id_from(text.substr(0, cut),
                                        cut == std::string_view::npos ? "" : text.substr(cut + 1));
    if (id.name.size() > sip::kMaxCallerName || id.number.size() > sip::kMaxCallerNumber)
      return false;
    for (char c : id.number)
      if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
    return valid_utf8_without_controls(id.name);
  }

  static bool check_sipfrag(std::string_view text) {
    // A status is only ever read from "SIP/2.0 NNN" and always lies in 100..699.
    const auto status = sip::sipfrag_status(text);
    if (!status) return true;
    return *status >= 100 && *status <= 699 && text.substr(0, 8) == "SIP/2.0 " &&
           text.substr(8, 3) == std::to_string(*status);
  }

  static bool check_events(std::span<const std::uint8_t> data) {
    sip::DigitEventFilter keys(20);
    sip::RtpSourceFilter sources(0, 101);
    std::uint64_t now = 0;
    int in_second = 0;
    std::uint64_t second = 0;
    // Eight bytes a packet: ssrc (1), payload type (1), timestamp (2), event block (4).
    for (std::size_t at = 0; at + 8 <= data.size(); at += 8) {
      const auto p = data.subspan(at, 8);
      now += p[0] % 50;
      const auto kind = sources.classify(p[0] & 3, p[1] & 0x7F, now);
      if (kind != sip::RtpSourceFilter::Kind::Dropped && (p[1] & 0x7F) != 0 && (p[1] & 0x7F) != 101)
        return false;
      const auto e = sip::parse_telephone_event(p.subspan(4));
      if (!e) return false;
      std::uint8_t raw[4];
      sip::encode_telephone_event(*e, raw);
      const auto again = sip::parse_telephone_event(raw);
      if (!again || again->event != e->event || again->end != e->end ||
          again->duration != e->duration || again->volume != e->volume)
        return false;
      if (now / 1000 != second) {
        second = now / 1000;
        in_second = 0;
      }
      if (auto k = keys.accept(static_cast<std::uint32_t>(p[2] << 8 | p[3]), *e, now)) {
        if (sip::digit_event(*k) < 0 || ++in_second > 40) return false;
      }
    }
    std::vector<std::int16_t> pcm(data.size());
    sip::g711_decode(sip::Codec::Pcmu, data, pcm);
    sip::g711_decode(sip::Codec::Pcma, data, pcm);
    return true;
  }
};

}  // namespace orvexa::fuzzing
