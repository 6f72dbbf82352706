#include "platform/sip/sdp.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace orvexa::sip {
namespace {

// Far beyond any real audio offer; larger bodies are refused, not scanned.
constexpr std::size_t kMaxSdpBytes = 16 * 1024;
constexpr std::size_t kMaxFormats = 64;

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<int> to_int(std::string_view s, int lo, int hi) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return std::nullopt;
  return v;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  while (!s.empty() && out.size() <= kMaxFormats + 3) {
    const auto start = s.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    s.remove_prefix(start);
    const auto end = s.find(' ');
    out.push_back(s.substr(0, end));
    if (end == std::string_view::npos) break;
    s.remove_prefix(end);
  }
  return out;
}

bool plausible_address(std::string_view a) {
  return !a.empty() && a.size() <= 64 && std::all_of(a.begin(), a.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == '.' || c == ':';
  });
}

std::optional<MediaDirection> direction_of(std::string_view attr) {
  if (attr == "sendrecv") return MediaDirection::SendRecv;
  if (attr == "sendonly") return MediaDirection::SendOnly;
  if (attr == "recvonly") return MediaDirection::RecvOnly;
  if (attr == "inactive") return MediaDirection::Inactive;
  return std::nullopt;
}

const char* direction_attr(MediaDirection d) {
  switch (d) {
    case MediaDirection::SendOnly: return "sendonly";
    case MediaDirection::RecvOnly: return "recvonly";
    case MediaDirection::Inactive: return "inactive";
    case MediaDirection::SendRecv: break;
  }
  return "sendrecv";
}

// "c=IN IP4 192.0.2.1"
void read_connection(std::string_view value, std::string& address) {
  const auto w = words(value);
  if (w.size() >= 3 && w[0] == "IN" && (w[1] == "IP4" || w[1] == "IP6") &&
      plausible_address(w[2].substr(0, w[2].find('/'))))
    address = std::string(w[2].substr(0, w[2].find('/')));
}

// "a=rtpmap:101 telephone-event/8000"
void read_rtpmap(std::string_view value, RemoteMedia& m) {
  const auto w = words(value);
  if (w.size() < 2 || m.formats.size() >= kMaxFormats) return;
  const auto pt = to_int(w[0], 0, 127);
  const auto slash = w[1].find('/');
  if (!pt || slash == std::string_view::npos) return;
  const auto rate = to_int(w[1].substr(slash + 1, w[1].find('/', slash + 1) - slash - 1), 1, 1000000);
  if (!rate) return;
  m.formats.erase(std::remove_if(m.formats.begin(), m.formats.end(),
                                 [&](const SdpFormat& f) { return f.pt == *pt; }),
                  m.formats.end());
  m.formats.push_back({*pt, std::string(w[1].substr(0, slash)), *rate});
}

const SdpFormat* format_of(const RemoteMedia& m, int pt) {
  for (const auto& f : m.formats)
    if (f.pt == pt) return &f;
  return nullptr;
}

}  // namespace

int static_payload_type(Codec codec) { return codec == Codec::Pcmu ? 0 : 8; }

std::optional<RemoteMedia> parse_sdp(std::string_view text) {
  if (text.size() > kMaxSdpBytes) return std::nullopt;
  RemoteMedia m;
  std::string session_address;
  bool in_audio = false, seen_audio = false;
  while (!text.empty()) {
    auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 2 || line[1] != '=') continue;
    const char type = line[0];
    const std::string_view value = line.substr(2);
    if (type == 'm') {
      if (seen_audio) break;  // only the first audio stream matters to a telephone line
      const auto w = words(value);
      in_audio = w.size() >= 3 && w[0] == "audio" && w[2] == "RTP/AVP";
      if (!in_audio) continue;
      seen_audio = true;
      const auto port = to_int(w[1].substr(0, w[1].find('/')), 0, 65535);
      if (!port) return std::nullopt;
      m.port = static_cast<std::uint16_t>(*port);
      for (std::size_t i = 3; i < w.size() && m.payload_types.size() < kMaxFormats; ++i)
        if (auto pt = to_int(w[i], 0, 127)) m.payload_types.push_back(*pt);
    } else if (type == 'c') {
      read_connection(value, seen_audio ? m.address : session_address);
    } else if (type == 'a' && (in_audio || !seen_audio)) {
      if (auto d = direction_of(value)) m.direction = *d;
      else if (in_audio && value.substr(0, 7) == "rtpmap:") read_rtpmap(value.substr(7), m);
    }
  }
  if (!seen_audio) return std::nullopt;
  if (m.address.empty()) m.address = session_address;
  if (m.address.empty()) return std::nullopt;
  if (m.address == "0.0.0.0") m.direction = MediaDirection::Inactive;
  for (int pt : {0, 8})
    if (!format_of(m, pt)) m.formats.push_back({pt, pt == 0 ? "PCMU" : "PCMA", 8000});
  return m;
}

std::optional<Negotiated> negotiate(const RemoteMedia& remote, const std::vector<Codec>& ours) {
  Negotiated n;
  bool found = false;
  for (int pt : remote.payload_types) {
    const SdpFormat* f = format_of(remote, pt);
    if (f == nullptr) continue;
    if (iequals(f->name, "telephone-event") && f->rate == 8000 && n.telephone_event_pt < 0)
      n.telephone_event_pt = pt;
    if (found || f->rate != 8000) continue;
    for (Codec c : ours) {
      if (iequals(f->name, codec_name(c))) {
        n.codec = c;
        n.pt = pt;
        found = true;
        break;
      }
    }
  }
  if (!found) return std::nullopt;
  return n;
}

std::string build_sdp(const LocalMedia& media) {
  const bool v6 = media.address.find(':') != std::string::npos;
  const std::string ip = v6 ? "IP6 " : "IP4 ";
  std::string s = "v=0\r\n";
  s += "o=orvexa " + std::to_string(media.session_id) + " " + std::to_string(media.version) +
       " IN " + ip + media.address + "\r\n";
  s += "s=-\r\nc=IN " + ip + media.address + "\r\nt=0 0\r\n";
  s += "m=audio " + std::to_string(media.port) + " RTP/AVP";
  auto pt_of = [&](Codec c) {
    return media.answer_pt >= 0 && media.codecs.size() == 1 ? media.answer_pt
                                                            : static_payload_type(c);
  };
  for (Codec c : media.codecs) s += " " + std::to_string(pt_of(c));
  if (media.telephone_event_pt >= 0) s += " " + std::to_string(media.telephone_event_pt);
  s += "\r\n";
  for (Codec c : media.codecs)
    s += "a=rtpmap:" + std::to_string(pt_of(c)) + " " + codec_name(c) + "/8000\r\n";
  if (media.telephone_event_pt >= 0) {
    const std::string pt = std::to_string(media.telephone_event_pt);
    s += "a=rtpmap:" + pt + " telephone-event/8000\r\na=fmtp:" + pt + " 0-15\r\n";
  }
  s += "a=ptime:20\r\na=" + std::string(direction_attr(media.direction)) + "\r\n";
  return s;
}

MediaDirection answer_direction(MediaDirection theirs) {
  switch (theirs) {
    case MediaDirection::SendOnly: return MediaDirection::RecvOnly;
    case MediaDirection::RecvOnly: return MediaDirection::SendOnly;
    case MediaDirection::Inactive: return MediaDirection::Inactive;
    case MediaDirection::SendRecv: break;
  }
  return MediaDirection::SendRecv;
}

}  // namespace orvexa::sip
