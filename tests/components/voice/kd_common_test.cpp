#include "components/voice/kd_common.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "voice_fixture.h"

namespace orvexa::components::testing {
namespace {

class FileListTest : public VoiceTest {
 protected:
  FileListTest() {
    file("a.wav", pattern(10));
    file("b.wav", pattern(20));
    file("c.txt", pattern(5));
    std::filesystem::create_directories(dir / "sub");
    file("sub/d.wav", pattern(30));
    std::filesystem::create_directories(dir / "x.wav");  // a directory that matches *.wav
    std::filesystem::create_directories(dir / "e");
    file("e/empty.wav", {});
    folder = host::to_utf16(dir.string()) + u"/";
  }
  std::vector<std::pair<std::u16string, int>> list(const std::u16string& text, ErrorNumber& e) {
    TDynamicFileList l;
    l.push_back({u"stale", 1});
    e = FileList(text, true, l);
    std::vector<std::pair<std::u16string, int>> out;
    for (auto& x : l) out.emplace_back(x.FileName, x.Size);
    return out;
  }
  std::u16string folder;
};

TEST_F(FileListTest, Table) {
  const std::u16string F = folder;
  using Entries = std::vector<std::pair<std::u16string, int>>;
  struct Case {
    const char* name;
    std::u16string text;
    ErrorNumber want;
    Entries entries;
  };
  const std::vector<Case> cases = {
      {"two names share the first folder", F + u"a.wav|b.wav", 0,
       {{F + u"a.wav", 10}, {F + u"b.wav", 20}}},
      {"repeat count", F + u"a.wav>3", 0, {{F + u"a.wav", 10}, {F + u"a.wav", 10}, {F + u"a.wav", 10}}},
      {"count zero alone", F + u"a.wav>0", err::kFileNotFound, {}},
      {"count zero then a name", F + u"a.wav>0|b.wav", 0, {{F + u"b.wav", 20}}},
      {"empty count", F + u"a.wav>", err::kInvalidArgument, {}},
      {"letters in the count", F + u"a.wav>x", err::kInvalidArgument, {}},
      {"count that does not fit", F + u"a.wav>4294967297", err::kInvalidArgument, {}},
      {"count that would fill memory", F + u"a.wav>2000000000", err::kInvalidArgument, {}},
      {"leading separator", u"|" + F + u"a.wav", err::kInvalidArgument, {}},
      {"empty text", u"", err::kInvalidArgument, {}},
      {"stray separator in the middle", F + u"a.wav||b.wav", err::kInvalidArgument, {}},
      {"trailing separator", F + u"a.wav|", 0, {{F + u"a.wav", 10}}},
      {"CR LF separates", F + u"a.wav\r\nb.wav", 0, {{F + u"a.wav", 10}, {F + u"b.wav", 20}}},
      {"lone LF separates", F + u"a.wav\nb.wav\r", 0, {{F + u"a.wav", 10}, {F + u"b.wav", 20}}},
      {"wildcard skips directories", F + u"*.wav", 0, {{F + u"a.wav", 10}, {F + u"b.wav", 20}}},
      {"wildcard matching nothing", F + u"*.mp3", err::kFileNotFound, {}},
      {"an empty file", F + u"e/empty.wav", err::kFileEmpty, {}},
      {"an empty match", F + u"e/*.wav", err::kFileEmpty, {}},
      {"a missing name empties the list", F + u"a.wav|nothing.wav", err::kFileNotFound, {}},
      {"a directory by name", F + u"x.wav", err::kFileNotFound, {}},
      {"own folder", F + u"a.wav|" + F + u"sub/d.wav|b.wav", 0,
       {{F + u"a.wav", 10}, {F + u"sub/d.wav", 30}, {F + u"b.wav", 20}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ErrorNumber e = 1;
    EXPECT_EQ(list(c.text, e), c.entries);
    EXPECT_EQ(e, c.want);
  }
}

TEST(FolderPart, KeepsTheSeparator) {
  EXPECT_EQ(FolderPart(u"/snd/a.wav"), u"/snd/");
  EXPECT_EQ(FolderPart(u"a.wav"), u"");
  EXPECT_EQ(FolderPart(u"/"), u"/");
}

TEST(FileErrorMapping, Table) {
  const std::pair<std::uint32_t, ErrorNumber> cases[] = {
      {2, -97},  {3, -97},  {53, -97},  {67, -97}, {4, -95},   {5, -100}, {8, -50},  {14, -50},
      {15, -89}, {21, -89}, {34, -89},  {19, -92}, {82, -92},  {32, -96}, {33, -96}, {36, -96},
      {51, -98}, {88, -98}, {62, -51},  {112, -51}, {87, -10}, {123, -94}, {161, -94},
      {206, -94}, {0, -1},  {9999, -1}};
  for (auto [code, want] : cases) EXPECT_EQ(FileErrorMapping(code), want) << code;
}

TEST_F(VoiceTest, FileStreamMapsTheSystemsErrors) {
  ErrorNumber e = 0;
  { TKDFileStream s(u16(dir / "missing.bin"), e, 0x40); EXPECT_EQ(e, -97); EXPECT_FALSE(s.is_open()); }
  { TKDFileStream s(u16(dir / "no/such/dir/x"), e, 0x40); EXPECT_EQ(e, -97); }
  std::filesystem::create_directory(dir / "d");
  { TKDFileStream s(u16(dir / "d"), e, 0x40); EXPECT_EQ(e, -100); }
  const auto name = file("x.bin", pattern(100));
  const int fd = ::open((dir / "x.bin").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // another program holds it for itself
  { TKDFileStream s(name, e, 0x40); EXPECT_EQ(e, -96); }
  ::close(fd);
  {
    TKDFileStream s(name, e, 0x40);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(s.Size(), 100);
    std::uint8_t b[100];
    EXPECT_EQ(s.Read(b, 100), 100);
  }
  {
    TKDFileStream s(u16(dir / "new.bin"), e, 0xFFFF);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(s.Write("abc", 3), 3);
  }
  EXPECT_EQ(read_bytes(dir / "new.bin").size(), 3u);
}

TEST_F(VoiceTest, PreferredDeviceAndDeviceNames) {
  messaging::ManualClock c;
  messaging::Loop l(c);
  audio::AudioService a(l);
  settings::SettingsStore store;
  const DeviceContext ctx{a, &store};
  int device = -5;
  EXPECT_EQ(PreferredDevice(ctx, DeviceKindDir::Playback, 0, true, device), err::kNoSoundDevice);
  a.add_playback_device(std::make_shared<audio::VirtualPlaybackDevice>(l, u"Voice Modem Wave"));
  a.add_playback_device(std::make_shared<audio::VirtualPlaybackDevice>(l, u"Speakers"));
  a.add_playback_device(std::make_shared<audio::VirtualPlaybackDevice>(l, u"USB Headset"));
  EXPECT_EQ(PreferredDevice(ctx, DeviceKindDir::Playback, 3, true, device), 0);
  EXPECT_EQ(device, 1);  // the first whose name has no "modem"
  store.set_string(kSoundMapperPlayback, "USB Headset");
  EXPECT_EQ(PreferredDevice(ctx, DeviceKindDir::Playback, 3, true, device), 0);
  EXPECT_EQ(device, 2);
  store.set_string(kSoundMapperPlayback, "usb headset");  // case counts
  EXPECT_EQ(PreferredDevice(ctx, DeviceKindDir::Playback, 3, true, device), 0);
  EXPECT_EQ(device, 0);

  std::u16string name = u"old";
  EXPECT_EQ(DeviceName(ctx, DeviceKindDir::Playback, -2, 3, true, name), err::kSoundBadDeviceId);
  EXPECT_EQ(name, u"");
  name = u"old";
  EXPECT_EQ(DeviceName(ctx, DeviceKindDir::Capture, -2, 0, true, name), err::kSoundBadDeviceId);
  EXPECT_EQ(name, u"old");
  EXPECT_EQ(DeviceName(ctx, DeviceKindDir::Playback, 1, 3, true, name), 0);
  EXPECT_EQ(name, u"Speakers");
  EXPECT_EQ(DeviceName(ctx, DeviceKindDir::Playback, 7, 3, true, name), err::kSoundBadDeviceId);
  EXPECT_EQ(name, u"ERROR: Invalid sound device ID was passed as an argument.");
  EXPECT_EQ(DeviceName(ctx, DeviceKindDir::Capture, -1, 0, true, name), err::kNoSoundDevice);
}

struct FakeTimers {
  bool answer = true;
  std::vector<std::pair<std::uintptr_t, int>> set;
  int kills = 0;
  TimerHost host() {
    return {[this](std::uintptr_t id, int ms) {
              set.emplace_back(id, ms);
              return answer;
            },
            [this](std::uintptr_t) { ++kills; }};
  }
};

TEST(TimerSettings, IntervalsRefusalsAndFailedStarts) {
  RecordingBox box;
  FakeTimers timers;
  TTimerMilliseconds t(timers.host(), 1, box);
  t.SetMilliseconds(1000);
  t.SetEnabled(true);
  EXPECT_TRUE(timers.set.empty());  // not running yet
  t.SetRunning(true);
  EXPECT_EQ(timers.set.back(), (std::pair<std::uintptr_t, int>{1, 990}));
  t.SetMilliseconds(-5);
  EXPECT_EQ(box.shown, std::vector<std::string>{"Interval cannot be negative."});
  EXPECT_EQ(t.Milliseconds(), 1000);
  t.SetMilliseconds(15);
  t.SetRunning(false);
  t.SetRunning(true);
  EXPECT_EQ(timers.set.back().second, 10);  // never below the window system's 10 ms

  timers.answer = false;
  t.SetRunning(false);
  t.SetRunning(true);
  EXPECT_FALSE(t.Running());  // left off ...
  timers.answer = true;
  t.SetRunning(true);
  EXPECT_TRUE(t.Running());  // ... so switching on again tries again
  EXPECT_EQ(timers.set.size(), 4u);

  TTimerSilence s({}, 0, box);
  s.SetSeconds(3);
  s.SetLevel(6500);
  box.shown.clear();
  s.SetSeconds(61);
  s.SetLevel(40000);
  s.SetSeconds(-1);
  EXPECT_EQ(box.shown, (std::vector<std::string>{"Interval must be between 0 and 60 seconds",
                                                 "Level must be between 0 and 32000",
                                                 "Interval must be between 0 and 60 seconds"}));
  EXPECT_EQ(s.Seconds(), 3);
  EXPECT_EQ(s.Milliseconds(), 3000);
  EXPECT_EQ(s.Level(), 6500);
}

TEST_F(VoiceTest, ANewComponentHasTheDocumentedState) {
  EXPECT_EQ(voice.PlayingState(), psIdle);
  EXPECT_EQ(voice.RecordingState(), rsIdle);
  EXPECT_EQ(voice.ListeningState(), lasIdle);
  EXPECT_EQ(voice.FmtPlaySamplesPerSec(), 0);
  EXPECT_EQ(voice.FmtRecSamplesPerSec(), 8000);
  EXPECT_EQ(voice.FmtRecChannels(), 1);
  EXPECT_EQ(voice.FmtRecBitsPerSample(), 16);
  EXPECT_EQ(voice.TimerPlay().Milliseconds(), 1000);
  EXPECT_FALSE(voice.TimerPlay().Enabled());
  EXPECT_EQ(voice.SilenceDetection().Seconds(), 3);
  EXPECT_EQ(voice.SilenceDetection().Level(), 6500);
  EXPECT_EQ(voice.BackgroundVolume(), 30);
  EXPECT_TRUE(voice.BackgroundAutoRepeat());
  EXPECT_EQ(voice.PlayNumberOfDevs(), 1);
  EXPECT_EQ(voice.RecNumberOfDevs(), 1);
  std::u16string name;
  EXPECT_EQ(voice.RecGetDevName(-1, name), 0);
  EXPECT_EQ(name, u"Microphone");
  EXPECT_TRUE(box.shown.empty());
}

}  // namespace
}  // namespace orvexa::components::testing
