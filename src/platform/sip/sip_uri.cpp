#include "platform/sip/sip_uri.h"

namespace orvexa::sip {
namespace {

bool is_pause(char c) { return c == ',' || c == 'w' || c == 'W' || c == 'p' || c == 'P' || c == '!'; }

std::string transport_param(const SipLineConfig& line) {
  return line.transport == Transport::Tcp ? ";transport=tcp" : "";
}

std::string bracketed(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

std::string host_text(const HostPort& hp) {
  std::string s = bracketed(hp.host);
  if (hp.port != 0) s += ":" + std::to_string(hp.port);
  return s;
}

std::string registrar_uri(const SipLineConfig& line) {
  return "sip:" + host_text(line.registrar) + transport_param(line);
}

std::string address_of_record(const SipLineConfig& line) {
  return "sip:" + line.user + "@" + bracketed(line.domain);
}

std::string proxy_route(const SipLineConfig& line) {
  if (line.outbound_proxy.host.empty()) return {};
  return "sip:" + host_text(line.outbound_proxy) + transport_param(line) + ";lr";
}

DialParts split_dial_string(std::string_view dial) {
  DialParts parts;
  bool paused = false;
  for (char c : dial) {
    if (c == ' ' || c == '\t') continue;
    if (!paused && is_pause(c)) paused = true;
    (paused ? parts.after : parts.number) += c;
  }
  return parts;
}

std::string call_uri(std::string_view number, const SipLineConfig& line) {
  if (number.empty()) return {};
  std::string uri = "sip:";
  for (char c : number) {
    if (c == '#') uri += "%23";
    else uri += c;
  }
  uri += "@" + bracketed(line.domain);
  // Without registration the call goes straight to the domain, on the registrar's port.
  if (line.domain == line.registrar.host && line.registrar.port != 0)
    uri += ":" + std::to_string(line.registrar.port);
  return uri + transport_param(line);
}

}  // namespace orvexa::sip
