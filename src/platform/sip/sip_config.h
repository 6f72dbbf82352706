// The sip lines of orvexa.toml: `[[line]]` tables with kind = "sip", checked key by key.
//
//   SipConfigResult r = read_sip_lines(config.tables_of("sip"), file_name, password_exposed);
//   for (auto& e : r.errors) err << e.text << '\n';   // each names the file, the line and the key
//   for (auto& line : r.lines) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/telephony/line_tables.h"

namespace orvexa::sip {

enum class Transport { Udp, Tcp };
enum class DtmfMode { Rfc4733, Inband, Both };
enum class Codec { Pcmu, Pcma };

struct HostPort {
  std::string host;        // name or address, IPv6 without brackets
  std::uint16_t port = 0;  // 0: the transport's default
};

struct SipLineConfig {
  int table_index = 0;     // 1-based position among all [[line]] tables
  std::string name;
  HostPort registrar;
  std::string domain;      // the registrar's host when not given
  std::string user;
  std::string auth_user;   // the user when not given
  std::string password;
  HostPort outbound_proxy; // empty host: none
  Transport transport = Transport::Udp;
  std::uint16_t local_port = 0;
  bool do_register = true;
  std::uint32_t expires = 600;
  std::vector<Codec> codecs{Codec::Pcmu, Codec::Pcma};
  DtmfMode dtmf = DtmfMode::Rfc4733;
  std::uint32_t rtp_timeout_s = 30;  // 0: never
  std::uint32_t channels = 1;        // calls at once, each with its own pair of audio devices
};

// The most calls one sip line carries at once.
constexpr std::uint32_t kMaxChannels = 500;

struct SipConfigError {
  int table_index = 0;  // 0: the file as a whole
  std::string text;
};

struct SipConfigResult {
  std::vector<SipLineConfig> lines;
  std::vector<SipConfigError> errors;
};

// Reads the given [[line]] tables (those of kind "sip"). `password_exposed` is true when the
// file can be read by group or others: its sip lines that hold a password are then refused.
SipConfigResult read_sip_lines(const std::vector<telephony::LineTable>& tables,
                               const std::string& file_name, bool password_exposed);

// "host", "host:port", "[v6]:port", with an optional "sip:" prefix. False on anything else.
bool parse_host_port(std::string_view text, HostPort& out);

const char* codec_name(Codec codec);

}  // namespace orvexa::sip
