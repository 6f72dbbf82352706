#include "components/foundation/error_texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

#include "components/foundation/component_base.h"

namespace orvexa::components {
namespace {

TEST(ErrorTexts, TableIsCompleteUniqueAndGroupedByKind) {
  auto table = error_table();
  EXPECT_EQ(table.size(), 61u);
  std::set<ErrorNumber> seen;
  for (const auto& e : table) {
    EXPECT_TRUE(seen.insert(e.number).second) << "duplicate " << e.number;
    EXPECT_FALSE(e.text.empty()) << e.number;
    EXPECT_EQ(error_text(e.number), e.text);
    // Every documented text is one sentence or more, ending in a full stop.
    EXPECT_EQ(e.text.back(), '.') << e.number;
  }
}

TEST(ErrorTexts, KnownNumbersAndNumbersOutsideTheSet) {
  struct Case {
    ErrorNumber number;
    std::string_view text;
  };
  const Case cases[] = {
      {err::kFileNotFound, "The filename, directory name or volume label was not found."},
      {err::kTimeOut,
       "Telephony Device Time out: telephony device response to the application request was not "
       "received in the expected time."},
      {err::kNotOffering, "Cannot answer the call because it's not being offered."},
      {err::kTwoRecordingDevices,
       "KDVoice control cannot open simultaneously two different recording devices. Wait until the "
       "current recording is finished or use another KDVoice control."},
      {err::kFileProtected, "The file is protected and cannot be opened."},
      {err::kSoundNotEnabled, "Sound device is not enabled."},
      // Numbers of the family's other components, and success, have no text here.
      {0, ""}, {13, ""}, {104, ""}, {117, ""}, {-91, ""}, {-99, ""}, {171, ""}, {-101, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(error_text(c.number), c.text) << c.number;
}

TEST(ErrorTexts, WaveResultsMapToErrorNumbers) {
  using namespace audio;
  struct Case {
    MMRESULT result;
    WaveCall call;
    ErrorNumber want;
  };
  const Case cases[] = {
      {MMSYSERR_NOERROR, WaveCall::Other, 0},
      {MMSYSERR_BADDEVICEID, WaveCall::Other, 11},
      {MMSYSERR_NOTENABLED, WaveCall::Other, 8},
      {MMSYSERR_ALLOCATED, WaveCall::Open, 10},
      {MMSYSERR_INVALHANDLE, WaveCall::Other, 9},
      {MMSYSERR_NODRIVER, WaveCall::Other, 12},
      {MMSYSERR_NOMEM, WaveCall::Other, -50},
      {MMSYSERR_NOMEM, WaveCall::Open, 8},  // opening reports no memory as not enabled
      {WAVERR_BADFORMAT, WaveCall::Open, 14},
      {WAVERR_SYNC, WaveCall::Other, 15},
      {WAVERR_STILLPLAYING, WaveCall::Other, -1},
      {MMSYSERR_ERROR, WaveCall::Other, -1},
      {MMIOERR_CANNOTOPEN, WaveCall::Open, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(wave_error(c.result, c.call), c.want) << c.result;
}

}  // namespace
}  // namespace orvexa::components
