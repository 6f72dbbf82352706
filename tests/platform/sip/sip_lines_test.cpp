// The sip lines of orvexa.toml joining a telephony set-up after its simulated lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/sip/sip_lines.h"

namespace orvexa::sip {
namespace {

using namespace telephony;

DWORD device_count(LineService& lines) {
  HLINEAPP app = 0;
  DWORD devices = 0, version = kApiVersion20002;
  LINEINITIALIZEEXPARAMS params{};
  params.dwTotalSize = sizeof params;
  const LONG r = lines.lineInitializeExW(&app, [](DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {},
                                         &devices, &version, &params);
  EXPECT_EQ(r, 0);
  lines.lineShutdown(app);
  return devices;
}

TEST(SipLines, JoinAfterTheSimulatedLinesOnlyWithRealTime) {
  const auto home = std::filesystem::path(::testing::TempDir()) / "sip_lines_home";
  std::filesystem::create_directories(home);
  {
    std::ofstream(home / "orvexa.toml") << "[[line]]\nkind = \"sim\"\nname = \"Sim\"\n"
                                           "[[line]]\nkind = \"sip\"\nname = \"Office 201\"\n"
                                           "registrar = \"127.0.0.1:5999\"\nuser = \"201\"\n"
                                           "register = false\n"
                                           "[[line]]\nkind = \"sip\"\nuser = \"x\"\n";
  }
  ::chmod((home / "orvexa.toml").c_str(), 0600);

  for (bool fast : {false, true}) {
    auto made = TelephonyRig::create(home, fast);
    ASSERT_TRUE(made.rig) << made.error;
    const DWORD before = device_count(made.rig->lines());
    SipLines sip = attach_sip_lines(*made.rig, home);
    // The third table has no registrar: refused with its own error, the second still joins.
    ASSERT_FALSE(sip.errors.empty());
    EXPECT_NE(sip.errors[0].find("line 2"), std::string::npos) << sip.errors[0];
    if (fast) {
      EXPECT_EQ(sip.provider, nullptr);
      EXPECT_EQ(device_count(made.rig->lines()), before);
      continue;
    }
    ASSERT_NE(sip.provider, nullptr);
    EXPECT_EQ(device_count(made.rig->lines()), before + 1);
    EXPECT_EQ(registration_text(*sip.provider, 0), "not registering");
    const auto& d = sip.provider->device(0);
    EXPECT_EQ(d.name, "Office 201");
    EXPECT_GE(d.wave_in, 0);
    EXPECT_GE(d.wave_out, 0);
    bool named = false;
    for (const auto& dev : made.rig->audio().devices(audio::Direction::Playback))
      named |= dev.name == u"Office 201 Modem wave/out";
    EXPECT_TRUE(named);
  }
}

}  // namespace
}  // namespace orvexa::sip
