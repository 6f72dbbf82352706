// The window's record and stop buttons on the program's assembly, with ALSA's null sound card
// declared under a HOME of the test's own (hence an executable of its own): the opening message
// is recorded from the machine's capture device, never from a line's audio.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <cstdlib>
#include <fstream>

#include "../campaign/campaign_fakes.h"
#include "app/assembly/program_assembly.h"
#include "app/campaign/adapters/voice_device.h"
#include "app/campaign/campaign_texts.h"
#include "app/main/application_windows.h"
#include "platform/audio/wave_file.h"

namespace orvexa::app {
namespace {

using namespace std::chrono_literals;
using namespace campaign::testing;
namespace fs = std::filesystem;

class NoFiles final : public FileChooser {
 public:
  std::optional<std::string> open_log() override { return std::nullopt; }
  std::optional<std::string> save_log() override { return std::nullopt; }
  std::optional<std::string> open_wave() override { return std::nullopt; }
  std::optional<std::string> save_report(ReportFormat) override { return std::nullopt; }
};

fs::path root() { return fs::temp_directory_path() / ("orvexa-window-audio-" + std::to_string(::getpid())); }

TEST(WindowAudio, RecordButtonRecordsFromTheSystemCaptureDevice) {
  fs::create_directories(root() / "home");
  std::ofstream(root() / "home" / ".asoundrc") << "pcm.orvexanull {\n  type null\n"
                                               << "  hint { show on description \"null\" }\n}\n";
  ::setenv("HOME", (root() / "home").c_str(), 1);
  const fs::path folder = root() / "program";
  fs::create_directories(folder);
  static int argc = 1;
  static char name[] = "window_audio_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);  // outlives Qt's statics
  (void)application;

  assembly::AssemblyOptions options;
  options.settings_file = fs::path();
  assembly::ProgramAssembly program(folder, options, {});
  messaging::Loop& loop = program.loop();
  host::NoBusyIndicator busy;
  std::ostringstream boxes;
  host::StreamMessageBox box(boxes);
  campaign::VoiceDevice voice(loop, program.audio(), busy, box, &program.settings());
  // The device the window's buttons record from is the machine's, and it is the null card's
  // side of the machine: a line's audio would be kind "line".
  const auto source = voice.message_capture_device(-1);
  ASSERT_TRUE(source.has_value()) << "PortAudio must list ALSA's null card";
  bool system = false;
  for (const auto& d : program.audio().devices(audio::Direction::Capture))
    if (static_cast<int>(d.number) == *source) system = d.kind == audio::DeviceKind::System;
  EXPECT_TRUE(system);

  Scheduler scheduler(loop);
  FakeLine line(loop, scheduler);
  FakeMembers members;
  RecordingDialogs dialogs;
  NoFiles files;
  host::RecordingShell shell;
  {
    ApplicationWindows windows(MainWindowDeps{loop, line, voice, members, dialogs, files, shell, folder});
    TForm1& form = windows.main();
    form.set_show_splash(false);
    form.FormShow();
    voice.bind([&form](campaign::SoundEvent s, int e) { form.KDVoice1SoundState(s, e); });
    form.findChild<QPushButton*>("BitBtn9")->click();
    loop.run_until([] { return false; }, 300ms);
    form.findChild<QPushButton*>("BitBtn10")->click();
    loop.run_until([] { return false; }, 50ms);
    voice.bind({});
    const QString log = form.findChild<QWidget*>("Memo1")->property("plainText").toString();
    EXPECT_FALSE(log.contains(QString::fromUtf8(campaign::text::kRecFailed.data(),
                                                static_cast<int>(campaign::text::kRecFailed.size()))))
        << log.toStdString();
  }
  audio::WaveFileInfo info;
  ASSERT_EQ(audio::read_wave_file(folder / campaign::kOpeningFile, info), audio::WaveProblem::None);
  EXPECT_GT(info.data_size, 0u);
  EXPECT_EQ(info.format.nSamplesPerSec, 8000u);
  fs::remove_all(root());
}

}  // namespace
}  // namespace orvexa::app
