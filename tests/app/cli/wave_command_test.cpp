#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/cli.h"
#include "platform/audio/wave_file.h"

namespace orvexa::cli {
namespace {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun orvexa(std::vector<std::string> args) {
  std::ostringstream out, err;
  std::istringstream in;
  args.insert(args.begin(), "orvexa");
  const CliOutcome o = run_cli(args, {out, err, in});
  return {o.exit_code, out.str(), err.str()};
}

class WaveCommand : public ::testing::Test {
 protected:
  WaveCommand() {
    std::filesystem::create_directories(dir);
    auto bytes = audio::wave_header(audio::pcm_format(), 16000);
    bytes.resize(bytes.size() + 16000, 1);
    std::ofstream(good, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ofstream(bad) << "not a sound";
  }
  ~WaveCommand() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("orvexa-wave-cli-" + std::to_string(::getpid()));
  std::string good = (dir / "good.wav").string();
  std::string bad = (dir / "bad.wav").string();
};

TEST_F(WaveCommand, InfoTellsTheFormatOrOneLineOfError) {
  CliRun r = orvexa({"wave", "info", good});
  EXPECT_EQ(r.code, kExitDone);
  EXPECT_EQ(r.out,
            "format: PCM\nchannels: 1\nrate: 8000\nbits: 16\nblock align: 2\ndata size: 16000\n"
            "duration: 1.000 s\n");
  struct Case {
    std::string file;
    std::string says;
  };
  for (const Case& c : {Case{bad, "not a RIFF WAVE file"}, Case{dir.string(), "a directory"},
                        Case{(dir / "none.wav").string(), "cannot be opened"}}) {
    r = orvexa({"wave", "info", c.file});
    EXPECT_EQ(r.code, kExitFailed) << c.file;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_EQ(orvexa({"wave", "info"}).code, kExitBadArguments);
}

TEST_F(WaveCommand, PlayAndRecordOnVirtualDevices) {
  CliRun r = orvexa({"wave", "devices", "--virtual"});
  EXPECT_EQ(r.code, kExitDone);
  // The lines' audio comes first, as in every entry point; the preferred device passes it over.
  EXPECT_NE(r.out.find("playback 0\tline\tSimulated line 1 Modem wave/out\t"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("playback 1\tvirtual\tVirtual Speakers\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("record 1\tvirtual\tVirtual Microphone\t"), std::string::npos) << r.out;

  r = orvexa({"wave", "play", good, "--virtual"});
  EXPECT_EQ(r.code, kExitDone) << r.err;
  EXPECT_EQ(r.out, "played 16000 bytes (00:01:0)\n");
  r = orvexa({"wave", "play", bad, "--virtual"});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_NE(r.err.find("(37)"), std::string::npos) << r.err;

  const std::string recorded = (dir / "First.wav").string();
  r = orvexa({"wave", "record", recorded, "--seconds", "2", "--virtual"});
  EXPECT_EQ(r.code, kExitDone) << r.err;
  EXPECT_EQ(r.out, "recorded 28800 bytes (00:01:8) into " + recorded + "\n");
  audio::WaveFileInfo info;
  ASSERT_EQ(audio::read_wave_file(recorded, info), audio::WaveProblem::None);
  EXPECT_EQ(info.data_size, 28800u);
  EXPECT_EQ(info.data_offset, 46u);
  EXPECT_EQ(orvexa({"wave", "record", recorded, "--seconds", "0", "--virtual"}).code,
            kExitBadArguments);
}

}  // namespace
}  // namespace orvexa::cli
