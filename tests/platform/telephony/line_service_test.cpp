// The line service over the simulated provider, called as an application would.
#include <gtest/gtest.h>

#include <functional>

#include "platform/telephony/line_service.h"
#include "platform/telephony/sim_provider.h"
#include "platform/telephony/var_struct.h"
#include "sim_service_rig.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono_literals;

struct Service : SimServiceRig {
  HLINEAPP app = 0;
  HLINE line = 0;

  Service() {
    DWORD devices = 0, version = kApiVersion20002;
    EXPECT_EQ(service.lineInitializeExW(&app, recorder(), &devices, &version, nullptr), 0);
    EXPECT_EQ(devices, 1u);
    EXPECT_EQ(service.lineOpen(app, 0, &line, kApiVersion20002, 0, 1,
                               LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              0);
  }
};

TEST(LineService, ImplausibleDialStringsNeverReachTheProvider) {
  Service s;
  HCALL cell = 0;
  for (const char* dial : {"sip:1@x", "12;user=phone", "12\r\nTo: x", "abc", "1@2"}) {
    EXPECT_EQ(s.service.lineMakeCall(s.line, &cell, dial, 0, nullptr), LINEERR_INVALADDRESS) << dial;
  }
  EXPECT_EQ(s.service.lineMakeCall(s.line, &cell, std::string(65, '1').c_str(), 0, nullptr),
            LINEERR_INVALADDRESS);
  EXPECT_TRUE(s.sim.records().empty());
  EXPECT_EQ(s.service.open_calls(), 0u);
  EXPECT_EQ(s.service.pending_requests(), 0u);
}

TEST(LineService, ReplyArrivesOnTheLoopAndWritesTheCellThen) {
  Service s;
  HCALL cell = 0;
  const LONG request = s.service.lineMakeCall(s.line, &cell, "201", 0, nullptr);
  ASSERT_GT(request, 0);
  EXPECT_EQ(cell, 0u);
  EXPECT_TRUE(s.notices.empty());  // nothing synchronous
  s.loop.run_for(50ms);
  ASSERT_GE(s.notices.size(), 2u);
  EXPECT_EQ(s.notices[0].message, LINE_REPLY);
  EXPECT_EQ(static_cast<LONG>(s.notices[0].p1), request);
  EXPECT_NE(cell, 0u);
  EXPECT_EQ(s.notices[1].message, LINE_CALLSTATE);
  EXPECT_EQ(s.notices[1].device, cell);
  EXPECT_EQ(s.notices[1].p1, LINECALLSTATE_DIALING);
}

TEST(LineService, ClosingTheLineDropsRepliesStillQueued) {
  Service s;
  HCALL cell = 0;
  ASSERT_GT(s.service.lineMakeCall(s.line, &cell, "201", 0, nullptr), 0);
  ASSERT_EQ(s.service.lineClose(s.line), 0);
  s.loop.run_for(30s);
  EXPECT_EQ(cell, 0u);
  EXPECT_TRUE(s.notices.empty());
  EXPECT_EQ(s.service.open_calls(), 0u);
  EXPECT_EQ(s.sim.live_calls(), 0u);
}

TEST(LineService, StructuresAreFilledAsFarAsTheyGo) {
  Service s;
  LINEDEVCAPS small{};
  small.dwTotalSize = 100;
  EXPECT_EQ(s.service.lineGetDevCaps(s.app, 0, kApiVersion20002, 0, &small),
            LINEERR_STRUCTURETOOSMALL);
  VarBuffer<LINEDEVCAPS> fixed(sizeof(LINEDEVCAPS));
  ASSERT_EQ(s.service.lineGetDevCaps(s.app, 0, kApiVersion20002, 0, fixed.get()), 0);
  EXPECT_GT(fixed->dwNeededSize, fixed->dwTotalSize);
  EXPECT_EQ(fixed->dwUsedSize, sizeof(LINEDEVCAPS));
  VarBuffer<LINEDEVCAPS> whole(fixed->dwNeededSize);
  ASSERT_EQ(s.service.lineGetDevCaps(s.app, 0, kApiVersion20002, 0, whole.get()), 0);
  EXPECT_EQ(read_text(whole.bytes(), sizeof(LINEDEVCAPS), whole->dwLineNameSize,
                      whole->dwLineNameOffset, true),
            u"Simulated line 1");
  EXPECT_EQ(s.service.lineGetDevCaps(s.app, 5, kApiVersion20002, 0, whole.get()),
            LINEERR_BADDEVICEID);
  VarBuffer<VARSTRING> id(sizeof(VARSTRING) + 4);
  EXPECT_EQ(s.service.lineGetID(s.line, 0, 0, LINECALLSELECT_LINE, id.get(), "wave/out"),
            LINEERR_NODEVICE);  // no audio attached to this line
  EXPECT_EQ(s.service.lineGetID(s.line, 0, 0, LINECALLSELECT_LINE, id.get(), "comm/datamodem"),
            LINEERR_NODEVICE);
  EXPECT_EQ(s.service.lineGetID(s.line, 0, 0, LINECALLSELECT_LINE, id.get(), "x/y"),
            LINEERR_INVALDEVICECLASS);
}

TEST(LineService, DeviceConfigurationRoundTrips) {
  Service s;
  const std::vector<std::uint8_t> blob{1, 2, 3, 4, 5};
  ASSERT_EQ(s.service.lineSetDevConfig(0, blob.data(), 5, "comm/datamodem"), 0);
  VarBuffer<VARSTRING> config(64);
  ASSERT_EQ(s.service.lineGetDevConfig(0, config.get(), "comm/datamodem"), 0);
  auto part = checked_part(config.bytes(), sizeof(VARSTRING), config->dwStringSize,
                           config->dwStringOffset);
  ASSERT_TRUE(part);
  EXPECT_EQ(std::vector<std::uint8_t>(part->begin(), part->end()), blob);
  EXPECT_EQ(s.service.lineGetDevConfig(0, config.get(), "wave/in"), LINEERR_INVALDEVICECLASS);
}


// A connected call on the service, for the hand-over requests.
HCALL ConnectedCall(Service& s) {
  HCALL cell = 0;
  EXPECT_GT(s.service.lineMakeCall(s.line, &cell, "201", 0, nullptr), 0);
  s.loop.run_for(30s);
  return cell;
}

TEST(LineService, HandOverRequestsAreCheckedBeforeTheProviderSeesThem) {
  Service s;
  const HCALL call = ConnectedCall(s);
  ASSERT_NE(call, 0u);
  HCALL consult = 0, conference = 0;
  struct Case {
    const char* name;
    std::function<LONG()> request;
    LONG want;
  };
  const Case kCases[] = {
      {"set-up on an unknown call", [&] { return s.service.lineSetupTransfer(77, &consult, nullptr); },
       LINEERR_INVALCALLHANDLE},
      {"set-up without a cell", [&] { return s.service.lineSetupTransfer(call, nullptr, nullptr); },
       LINEERR_INVALPOINTER},
      {"conference of one party",
       [&] { return s.service.lineSetupConference(call, s.line, &conference, &consult, 1, nullptr); },
       LINEERR_INVALPARAM},
      {"conference cells the same",
       [&] { return s.service.lineSetupConference(call, s.line, &consult, &consult, 3, nullptr); },
       LINEERR_INVALPOINTER},
      {"transfer of a call to itself",
       [&] { return s.service.lineCompleteTransfer(call, call, nullptr, 1); },
       LINEERR_INVALCALLHANDLE},
      {"transfer to an unknown call",
       [&] { return s.service.lineCompleteTransfer(call, 77, nullptr, 1); },
       LINEERR_INVALCALLHANDLE},
      {"adding to an unknown conference",
       [&] { return s.service.lineAddToConference(77, call); }, LINEERR_INVALCALLHANDLE},
      {"blind transfer to a URI",
       [&] { return s.service.lineBlindTransfer(call, "sip:x@y", 0); }, LINEERR_INVALADDRESS},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.request(), c.want) << c.name;
  EXPECT_EQ(s.service.pending_requests(), 0u);
  EXPECT_EQ(s.service.open_calls(), 1u) << "refused requests leave no calls behind";
  EXPECT_EQ(s.sim.live_calls(), 1u);
}

TEST(LineService, ConsultationCellIsWrittenWithTheReply) {
  Service s;
  const HCALL call = ConnectedCall(s);
  HCALL consult = 0, conference = 0;
  ASSERT_GT(s.service.lineSetupConference(call, s.line, &conference, &consult, 3, nullptr), 0);
  EXPECT_EQ(consult, 0u);
  EXPECT_EQ(s.service.open_calls(), 3u);
  s.notices.clear();
  s.loop.run_for(100ms);
  ASSERT_FALSE(s.notices.empty());
  EXPECT_EQ(s.notices[0].message, LINE_REPLY);
  EXPECT_NE(consult, 0u);
  EXPECT_NE(conference, 0u);
  EXPECT_NE(consult, conference);
  // A second set-up from the held call is refused by its state.
  HCALL again = 0;
  EXPECT_EQ(s.service.lineSetupTransfer(call, &again, nullptr), LINEERR_INVALCALLSTATE);
}

}  // namespace
}  // namespace orvexa::telephony
