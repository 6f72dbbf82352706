// Which device a voice message is recorded from: the machine's own, never a line's audio.
#include <gtest/gtest.h>

#include "app/campaign/adapters/voice_device.h"
#include "platform/audio/audio_service.h"
#include "platform/audio/virtual_device.h"

namespace orvexa::campaign {
namespace {

using audio::DeviceKind;

TEST(VoiceDevice, MessagesAreRecordedFromTheMachinesCaptureDeviceOnly) {
  struct Case {
    const char* name;
    std::vector<DeviceKind> devices;  // capture devices, in the order they are added
    int requested;
    std::optional<int> chosen;
  };
  // The service numbers system devices first, then lines, then virtual ones.
  const Case cases[] = {
      {"only a line's audio", {DeviceKind::Line}, -1, std::nullopt},
      {"nothing at all", {}, -1, std::nullopt},
      {"microphone after the line", {DeviceKind::Line, DeviceKind::System}, -1, 0},
      {"virtual microphone", {DeviceKind::Line, DeviceKind::Virtual}, -1, 1},
      {"a line asked for by number", {DeviceKind::System, DeviceKind::Line}, 1, std::nullopt},
      {"a microphone asked for by number", {DeviceKind::System, DeviceKind::System}, 1, 1},
      {"a number that is no device", {DeviceKind::System}, 4, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messaging::ManualClock clock;
    messaging::Loop loop(clock);
    audio::AudioService audio(loop);
    int n = 0;
    for (DeviceKind kind : c.devices) {
      const std::u16string name = kind == DeviceKind::Line ? u"Line Modem wave/in" : u"Mic";
      audio.add_capture_device(std::make_shared<audio::VirtualCaptureDevice>(
          loop, name + static_cast<char16_t>(u'0' + n++), kind));
    }
    host::NoBusyIndicator busy;
    std::ostringstream boxes;
    host::StreamMessageBox box(boxes);
    VoiceDevice voice(loop, audio, busy, box);
    EXPECT_EQ(voice.message_capture_device(c.requested), c.chosen);
  }
}

}  // namespace
}  // namespace orvexa::campaign
