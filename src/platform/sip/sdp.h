// The audio part of SDP offers and answers, as a sip line needs them: G.711 and telephone
// events, one audio stream. Remote text is untrusted: bounded, and anything odd is skipped.
//
//   auto remote = parse_sdp(body);                    // nullopt: no usable audio stream
//   auto chosen = remote ? negotiate(*remote, line.codecs) : std::nullopt;  // none: 488
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sip/sip_config.h"

namespace orvexa::sip {

enum class MediaDirection { SendRecv, SendOnly, RecvOnly, Inactive };

struct SdpFormat {
  int pt = -1;
  std::string name;   // "PCMU", "telephone-event"; upper case as sent
  int rate = 8000;
};

struct RemoteMedia {
  std::string address;  // where to send RTP; "0.0.0.0" means on hold (old style)
  std::uint16_t port = 0;
  std::vector<int> payload_types;  // the m= line's order (their preference)
  std::vector<SdpFormat> formats;  // from a=rtpmap, plus the static ones
  MediaDirection direction = MediaDirection::SendRecv;
};

struct Negotiated {
  Codec codec = Codec::Pcmu;
  int pt = 0;
  int telephone_event_pt = -1;  // -1: the far end takes no RFC 4733 events
};

// The first audio stream of the description; nullopt when there is none we could send to.
std::optional<RemoteMedia> parse_sdp(std::string_view text);

// The first payload type of theirs that is one of our codecs; nullopt: no common codec.
std::optional<Negotiated> negotiate(const RemoteMedia& remote, const std::vector<Codec>& ours);

struct LocalMedia {
  std::string address;  // our RTP address
  std::uint16_t port = 0;
  std::vector<Codec> codecs;  // in our order; an answer lists just the chosen one
  int answer_pt = -1;         // an answer's payload type for its one codec, as they numbered it
  int telephone_event_pt = 101;  // -1: none
  MediaDirection direction = MediaDirection::SendRecv;
  std::uint64_t session_id = 0;
  std::uint64_t version = 0;
};

std::string build_sdp(const LocalMedia& media);

// What we send when they put us on hold with `theirs`.
MediaDirection answer_direction(MediaDirection theirs);

int static_payload_type(Codec codec);

}  // namespace orvexa::sip
