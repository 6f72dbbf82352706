#include "platform/sip/sip_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <toml++/toml.h>

namespace orvexa::sip {
namespace {

SipConfigResult read(std::string_view body, bool exposed = false) {
  const toml::table root = toml::parse(body);
  std::vector<telephony::LineTable> sip;
  for (const auto& t : telephony::line_tables(root).tables)
    if (t.kind == "sip") sip.push_back(t);
  return read_sip_lines(sip, "orvexa.toml", exposed);
}

constexpr std::string_view kFull = R"(
[[line]]
kind = "sim"
[[line]]
kind = "sip"
name = "Office 201"
registrar = "sip:pbx.example.ir:5070"
user = "201"
password = "secret"
transport = "tcp"
local_port = 5062
register = false
expires = 300
codecs = ["PCMA"]
dtmf = "both"
rtp_timeout = 10
channels = 3
)";

TEST(SipConfig, ReadsEveryKeyAndSkipsOtherKinds) {
  const auto r = read(kFull);
  ASSERT_TRUE(r.errors.empty()) << r.errors.front().text;
  ASSERT_EQ(r.lines.size(), 1u);
  const SipLineConfig& l = r.lines[0];
  EXPECT_EQ(l.table_index, 2);
  EXPECT_EQ(l.name, "Office 201");
  EXPECT_EQ(l.registrar.host, "pbx.example.ir");
  EXPECT_EQ(l.registrar.port, 5070);
  EXPECT_EQ(l.domain, "pbx.example.ir");
  EXPECT_EQ(l.auth_user, "201");
  EXPECT_EQ(l.transport, Transport::Tcp);
  EXPECT_EQ(l.local_port, 5062);
  EXPECT_FALSE(l.do_register);
  EXPECT_EQ(l.expires, 300u);
  EXPECT_EQ(l.codecs, std::vector<Codec>{Codec::Pcma});
  EXPECT_EQ(l.dtmf, DtmfMode::Both);
  EXPECT_EQ(l.rtp_timeout_s, 10u);
  EXPECT_EQ(l.channels, 3u);
  const auto plain = read("[[line]]\nkind = \"sip\"\nregistrar = \"h\"\nuser = \"7\"\n");
  ASSERT_EQ(plain.lines.size(), 1u);
  EXPECT_EQ(plain.lines[0].channels, 1u) << "one call at a time unless the line says more";
}

TEST(SipConfig, BadKeysNameTheLineAndTheKey) {
  struct Case {
    const char* name;
    std::string body;
    std::string key;
  };
  const std::string head = "[[line]]\nkind = \"sip\"\nname = \"L\"\n";
  const std::string ok = "registrar = \"127.0.0.1\"\nuser = \"201\"\n";
  const Case cases[] = {
      {"no registrar", head + "user = \"201\"\n", "registrar"},
      {"no user", head + "registrar = \"10.0.0.1\"\n", "user"},
      {"header injection in user", head + "registrar = \"h\"\nuser = \"201>\\r\\nX: y\"\n", "user"},
      {"at sign in user", head + "registrar = \"h\"\nuser = \"a@b\"\n", "user"},
      {"registrar with path", head + "registrar = \"h/x\"\nuser = \"1\"\n", "registrar"},
      {"port out of range", head + "registrar = \"h:70000\"\nuser = \"1\"\n", "registrar"},
      {"transport", head + ok + "transport = \"tls\"\n", "transport"},
      {"dtmf", head + ok + "dtmf = \"sip-info\"\n", "dtmf"},
      {"codec unknown", head + ok + "codecs = [\"G729\"]\n", "codecs"},
      {"codec twice", head + ok + "codecs = [\"PCMU\", \"PCMU\"]\n", "codecs"},
      {"codecs empty", head + ok + "codecs = []\n", "codecs"},
      {"expires type", head + ok + "expires = \"600\"\n", "expires"},
      {"expires range", head + ok + "expires = 5\n", "expires"},
      {"register type", head + ok + "register = 1\n", "register"},
      {"misspelt key", head + ok + "pasword = \"x\"\n", "pasword"},
      {"no channels", head + ok + "channels = 0\n", "channels"},
      {"channels past the most", head + ok + "channels = 501\n", "channels"},
      {"channels as text", head + ok + "channels = \"x\"\n", "channels"},
      {"channels fraction", head + ok + "channels = 2.5\n", "channels"},
      {"quote in name", "[[line]]\nkind = \"sip\"\nname = \"a\\\"b\"\n" + ok, "name"},
  };
  for (const Case& c : cases) {
    const auto r = read(c.body);
    EXPECT_TRUE(r.lines.empty()) << c.name;
    ASSERT_FALSE(r.errors.empty()) << c.name;
    EXPECT_NE(r.errors[0].text.find("line 0"), std::string::npos) << c.name << ": " << r.errors[0].text;
    EXPECT_NE(r.errors[0].text.find("\"" + c.key + "\""), std::string::npos)
        << c.name << ": " << r.errors[0].text;
  }
}

TEST(SipConfig, HostPortForms) {
  struct Case {
    std::string_view in;
    bool ok;
    std::string_view host;
    std::uint16_t port;
  };
  constexpr Case kCases[] = {
      {"pbx.example.ir", true, "pbx.example.ir", 0}, {"sip:10.0.0.1:5080", true, "10.0.0.1", 5080},
      {"[::1]:5060", true, "::1", 5060},             {"[::1]", true, "::1", 0},
      {"", false, "", 0},                            {"host:", false, "", 0},
      {"host:0", false, "", 0},                      {"[::1", false, "", 0},
      {"user@host", false, "", 0},                   {"-host", false, "", 0},
      {"[zz::1]", false, "", 0},                     {"host;transport=tcp", false, "", 0},
  };
  for (const Case& c : kCases) {
    HostPort hp;
    EXPECT_EQ(parse_host_port(c.in, hp), c.ok) << c.in;
    if (c.ok) {
      EXPECT_EQ(hp.host, c.host) << c.in;
      EXPECT_EQ(hp.port, c.port) << c.in;
    }
  }
}

TEST(SipConfig, ReadableFileRefusesOnlySipLinesWithAPassword) {
  const std::string body = std::string(kFull) +
                           "[[line]]\nkind = \"sip\"\nregistrar = \"h\"\nuser = \"7\"\n";
  const auto r = read(body, /*exposed=*/true);
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].table_index, 3);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_NE(r.errors[0].text.find("chmod 600 orvexa.toml"), std::string::npos) << r.errors[0].text;
  EXPECT_NE(r.errors[0].text.find("line 1"), std::string::npos) << r.errors[0].text;
}

}  // namespace
}  // namespace orvexa::sip
