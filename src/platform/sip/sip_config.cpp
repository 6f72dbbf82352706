#include "platform/sip/sip_config.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <sstream>
#include <toml++/toml.h>

namespace orvexa::sip {
namespace {

constexpr std::string_view kKeys[] = {
    "kind",     "name",           "registrar",   "domain",     "user",     "auth_user",
    "password", "outbound_proxy", "transport",   "local_port", "register", "expires",
    "codecs",   "dtmf",           "rtp_timeout", "channels"};

bool is_host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-';
}

// The unreserved and user-safe characters of a SIP URI's user part: nothing that could end
// the URI or start a header (no '@', ':', '<', '>', '"', blanks or control characters).
bool is_user_char(char c) {
  static constexpr std::string_view kExtra = "-_.!~*'()&=+$,;?/";
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         kExtra.find(c) != std::string_view::npos;
}

bool is_display_safe(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '"' || c == '\\';
  });
}

bool parse_port(std::string_view s, std::uint16_t& port) {
  if (s.empty() || s.size() > 5) return false;
  unsigned v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + unsigned(c - '0');
  }
  if (v == 0 || v > 65535) return false;
  port = static_cast<std::uint16_t>(v);
  return true;
}

class LineReader {
 public:
  LineReader(const toml::table& t, int index, const std::string& file)
      : t_(t), index_(index), file_(file) {}

  std::vector<std::string>& errors() { return errors_; }

  void fail(std::string_view key, std::string_view what) {
    std::ostringstream s;
    // Numbered from 0 like the line devices, so `--line N` and the message agree.
    s << file_ << ": line " << index_ - 1;
    if (!label_.empty()) s << " (\"" << label_ << "\")";
    s << ": key \"" << key << "\" " << what;
    errors_.push_back(s.str());
  }

  void set_label(std::string label) { label_ = std::move(label); }

  std::string text(std::string_view key, bool required) {
    const toml::node* n = t_.get(key);
    if (n == nullptr) {
      if (required) fail(key, "is missing");
      return {};
    }
    if (!n->is_string()) {
      fail(key, "must be a string");
      return {};
    }
    return std::string(n->as_string()->get());
  }

  std::int64_t integer(std::string_view key, std::int64_t fallback, std::int64_t lo,
                       std::int64_t hi) {
    const toml::node* n = t_.get(key);
    if (n == nullptr) return fallback;
    if (!n->is_integer() || n->as_integer()->get() < lo || n->as_integer()->get() > hi) {
      fail(key, "must be a whole number from " + std::to_string(lo) + " to " +
                    std::to_string(hi));
      return fallback;
    }
    return n->as_integer()->get();
  }

  bool boolean(std::string_view key, bool fallback) {
    const toml::node* n = t_.get(key);
    if (n == nullptr) return fallback;
    if (!n->is_boolean()) {
      fail(key, "must be true or false");
      return fallback;
    }
    return n->as_boolean()->get();
  }

  void unknown_keys() {
    for (const auto& [k, v] : t_) {
      const std::string_view key = k.str();
      if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
        fail(key, "is not a sip line setting");
    }
  }

  const toml::table& table() const { return t_; }

 private:
  const toml::table& t_;
  int index_;
  const std::string& file_;
  std::string label_;
  std::vector<std::string> errors_;
};

void read_codecs(LineReader& r, SipLineConfig& line) {
  const toml::node* n = r.table().get("codecs");
  if (n == nullptr) return;
  const toml::array* a = n->as_array();
  std::vector<Codec> codecs;
  bool ok = a != nullptr && !a->empty();
  for (std::size_t i = 0; ok && i < a->size(); ++i) {
    const auto* s = a->get(i)->as_string();
    if (s == nullptr) { ok = false; break; }
    const Codec c = s->get() == "PCMU" ? Codec::Pcmu : Codec::Pcma;
    if ((s->get() != "PCMU" && s->get() != "PCMA") ||
        std::find(codecs.begin(), codecs.end(), c) != codecs.end())
      ok = false;
    codecs.push_back(c);
  }
  if (!ok) {
    r.fail("codecs", "must list \"PCMU\" and/or \"PCMA\", each once");
    return;
  }
  line.codecs = codecs;
}

void read_choices(LineReader& r, SipLineConfig& line) {
  const std::string transport = r.text("transport", false);
  if (transport == "tcp") line.transport = Transport::Tcp;
  else if (!transport.empty() && transport != "udp") r.fail("transport", "must be \"udp\" or \"tcp\"");

  const std::string dtmf = r.text("dtmf", false);
  if (dtmf == "inband") line.dtmf = DtmfMode::Inband;
  else if (dtmf == "both") line.dtmf = DtmfMode::Both;
  else if (!dtmf.empty() && dtmf != "rfc4733")
    r.fail("dtmf", "must be \"rfc4733\", \"inband\" or \"both\"");
}

void read_addresses(LineReader& r, SipLineConfig& line) {
  const std::string registrar = r.text("registrar", true);
  if (!registrar.empty() && !parse_host_port(registrar, line.registrar))
    r.fail("registrar", "must be a host or host:port (\"sip:\" allowed)");
  line.domain = r.text("domain", false);
  if (!line.domain.empty()) {
    HostPort d;
    if (!parse_host_port(line.domain, d) || d.port != 0) r.fail("domain", "must be a host name");
    line.domain = d.host;
  } else {
    line.domain = line.registrar.host;
  }
  const std::string proxy = r.text("outbound_proxy", false);
  if (!proxy.empty() && !parse_host_port(proxy, line.outbound_proxy))
    r.fail("outbound_proxy", "must be a host or host:port (\"sip:\" allowed)");
}

void read_identity(LineReader& r, SipLineConfig& line) {
  line.user = r.text("user", true);
  if (r.table().contains("user") &&
      (line.user.empty() || !std::all_of(line.user.begin(), line.user.end(), is_user_char)))
    r.fail("user", "must be a non-empty SIP user name (letters, digits, -_.!~*'()&=+$,;?/)");
  line.auth_user = r.text("auth_user", false);
  if (!std::all_of(line.auth_user.begin(), line.auth_user.end(), is_user_char))
    r.fail("auth_user", "must be a SIP user name (letters, digits, -_.!~*'()&=+$,;?/)");
  if (line.auth_user.empty()) line.auth_user = line.user;
  line.password = r.text("password", false);
  if (line.password.find('\0') != std::string::npos) r.fail("password", "must not hold a NUL");
}

std::optional<SipLineConfig> read_line(LineReader& r, int index) {
  SipLineConfig line;
  line.table_index = index;
  line.name = r.text("name", false);
  if (!is_display_safe(line.name)) {
    r.fail("name", "must not hold quotes, backslashes or control characters");
    line.name.clear();
  }
  r.set_label(line.name);
  if (line.name.empty()) line.name = "SIP line " + std::to_string(index);
  r.unknown_keys();
  read_addresses(r, line);
  read_identity(r, line);
  read_choices(r, line);
  read_codecs(r, line);
  line.local_port = static_cast<std::uint16_t>(r.integer("local_port", 0, 0, 65535));
  line.do_register = r.boolean("register", true);
  line.expires = static_cast<std::uint32_t>(r.integer("expires", 600, 60, 86400));
  line.rtp_timeout_s = static_cast<std::uint32_t>(r.integer("rtp_timeout", 30, 0, 3600));
  line.channels = static_cast<std::uint32_t>(r.integer("channels", 1, 1, kMaxChannels));
  if (!r.errors().empty()) return std::nullopt;
  return line;
}

}  // namespace

const char* codec_name(Codec codec) { return codec == Codec::Pcmu ? "PCMU" : "PCMA"; }

bool parse_host_port(std::string_view text, HostPort& out) {
  if (text.size() >= 4 && (text.substr(0, 4) == "sip:" || text.substr(0, 4) == "SIP:"))
    text.remove_prefix(4);
  if (text.empty() || text.size() > 253) return false;
  HostPort hp;
  std::string_view port;
  if (text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    hp.host = std::string(text.substr(1, close - 1));
    const auto rest = text.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !parse_port(rest.substr(1), hp.port)))
      return false;
    const bool v6 = std::all_of(hp.host.begin(), hp.host.end(), [](char c) {
      return c == ':' || c == '.' || std::isxdigit(static_cast<unsigned char>(c));
    });
    if (!v6) return false;
    out = hp;
    return true;
  }
  const auto colon = text.find(':');
  hp.host = std::string(text.substr(0, colon));
  if (colon != std::string_view::npos && !parse_port(text.substr(colon + 1), hp.port))
    return false;
  if (hp.host.empty() || !std::all_of(hp.host.begin(), hp.host.end(), is_host_char) ||
      hp.host.front() == '-' || hp.host.front() == '.')
    return false;
  out = hp;
  return true;
}

SipConfigResult read_sip_lines(const std::vector<telephony::LineTable>& tables,
                               const std::string& file_name, bool password_exposed) {
  SipConfigResult result;
  for (const telephony::LineTable& table : tables) {
    const int index = table.index;
    LineReader r(*table.table, index, file_name);
    auto line = read_line(r, index);
    if (line && password_exposed && !line->password.empty()) {
      r.fail("password", "is in a file that group or others can read; refusing this sip line "
                         "until you run: chmod 600 " + file_name);
      line.reset();
    }
    for (auto& e : r.errors()) result.errors.push_back({index, std::move(e)});
    if (line) result.lines.push_back(std::move(*line));
  }
  return result;
}

}  // namespace orvexa::sip
