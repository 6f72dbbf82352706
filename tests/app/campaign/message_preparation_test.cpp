// Recording, previewing and choosing the two messages; a bad take never replaces a message.
#include <gtest/gtest.h>

#include <fstream>

#include "app/campaign/campaign_texts.h"
#include "campaign_fakes.h"

namespace orvexa::campaign {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct PrepRig : Rig {
  fs::path folder;
  std::unique_ptr<MessagePreparation> prep;
  explicit PrepRig(const char* name) {
    folder = fs::temp_directory_path() / ("orvexa-prep-" + std::to_string(::getpid()) + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    paths = {};
    prep = std::make_unique<MessagePreparation>(voice, engine.call_flow(), log, dialogs, paths,
                                                folder);
    voice.prep = prep.get();
  }
  ~PrepRig() { fs::remove_all(folder); }
  void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
  std::string read(const fs::path& p) {
    std::error_code e;
    return host::read_file(p, e).value_or("<missing>");
  }
};

const std::string kOldTake(100, 'o');
const std::string kNewTake(100, 'n');

TEST(MessagePreparation, RecordingReplacesTheMessageOnlyWhenTheTakeEndedWell) {
  struct Case {
    const char* name;
    int rec_result;           // the device's answer to Rec
    bool error_during_take;   // the voice component reports ssError while recording
    std::string take;         // what reached the temporary file
    bool replaced;
    bool rec_failed_logged;
    bool only_line_audio = false;  // no capture device but a line's
  };
  const Case cases[] = {
      {"good take", 0, false, kNewTake, true, false},
      {"no input device", 11, false, kNewTake, false, true},
      {"device error mid-take", 0, true, kNewTake, false, true},
      {"nothing recorded", 0, false, "", false, true},
      {"only a line's audio", 0, false, kNewTake, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PrepRig rig(c.name[0] == 'g' ? "a" : c.name[0] == 'n' ? "b" : "c");
    const fs::path first = rig.folder / kOpeningFile;
    rig.write(first, kOldTake);
    rig.paths.opening = first.string();
    rig.voice.rec_result = c.rec_result;
    rig.voice.only_line_audio = c.only_line_audio;
    const bool began = rig.prep->record(MessageRow::Opening);
    EXPECT_EQ(began, c.rec_result == 0 && !c.only_line_audio);
    if (c.only_line_audio) {
      EXPECT_TRUE(rig.voice.recordings.empty()) << "never opens a line's audio";
    }
    if (began) {
      EXPECT_EQ(rig.prep->buttons(), MessageButtons::OnlyOpeningStop);
      EXPECT_NE(rig.voice.recordings.back(), first.string()) << "records beside, not over";
      rig.write(rig.voice.recordings.back(), c.take);
      if (c.error_during_take) rig.voice.report(SoundEvent::Error);
    }
    rig.prep->stop();
    EXPECT_EQ(rig.prep->buttons(), MessageButtons::AllEnabled);
    EXPECT_EQ(rig.read(first), c.replaced ? kNewTake : kOldTake);
    EXPECT_EQ(rig.paths.opening, first.string());
    EXPECT_FALSE(fs::exists(rig.prep->temporary_file_of(MessageRow::Opening)));
    const auto& lines = rig.log.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(text::kRecFailed)),
              c.rec_failed_logged ? 1 : 0);
  }
}

TEST(MessagePreparation, FailedFirstRecordingLeavesNoPathToAMissingFile) {
  PrepRig rig("d");
  rig.prep->record(MessageRow::Main);
  EXPECT_EQ(rig.paths.main, (rig.folder / kMainFile).string());
  EXPECT_EQ(rig.prep->buttons(), MessageButtons::OnlyMainStop);
  rig.prep->stop();  // nothing was written
  EXPECT_EQ(rig.paths.main, "");
}

TEST(MessagePreparation, PreviewChooseAndStartupPaths) {
  PrepRig rig("e");
  rig.prep->play(MessageRow::Opening);
  EXPECT_EQ(rig.dialogs.boxes, std::vector<std::string>{std::string(text::kNoFileToPlay)});
  EXPECT_TRUE(rig.log.lines().empty());

  rig.prep->choose(MessageRow::Main, std::nullopt);
  EXPECT_EQ(rig.paths.main, "");
  rig.prep->choose(MessageRow::Main, "/elsewhere/greeting.WAV");
  EXPECT_EQ(rig.paths.main, "/elsewhere/greeting.WAV");
  rig.prep->play(MessageRow::Main);
  rig.loop.run_for(std::chrono::seconds(10));
  EXPECT_EQ(rig.log.lines(),
            (std::vector<std::string>{std::string(text::kPlayBegin), std::string(text::kPlayDone)}));
  EXPECT_EQ(rig.voice.plays.back().device, -1);

  MessagePaths fresh;
  MessagePreparation other(rig.voice, rig.engine.call_flow(), rig.log, rig.dialogs, fresh,
                           rig.folder);
  other.fill_paths_from_folder();
  EXPECT_EQ(fresh.opening, "");
  rig.write(rig.folder / kOpeningFile, kOldTake);
  other.fill_paths_from_folder();
  EXPECT_EQ(fresh.opening, (rig.folder / kOpeningFile).string());
  EXPECT_EQ(fresh.main, "");
}

}  // namespace
}  // namespace orvexa::campaign
