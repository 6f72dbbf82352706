// `orvexa message record|play|info` on ALSA's null sound card, declared in an ALSA configuration
// under a HOME of the test's own (hence an executable of its own): a message is recorded from the
// machine's capture device, as the window's record button does, and never from a line's audio.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/cli.h"
#include "platform/audio/wave_file.h"

namespace orvexa::cli {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out, err;
};

class MessageCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(root() / "home");
    std::ofstream(root() / "home" / ".asoundrc") << "pcm.orvexanull {\n  type null\n"
                                                 << "  hint { show on description \"null\" }\n}\n";
    ::setenv("HOME", (root() / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root() / "home" / ".config").c_str(), 1);
  }
  static void TearDownTestSuite() { fs::remove_all(root()); }
  static fs::path root() {
    return fs::temp_directory_path() / ("orvexa-message-cli-" + std::to_string(::getpid()));
  }
  MessageCommand() {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }

  CliRun orvexa(std::vector<std::string> args) {
    std::ostringstream out, err;
    std::istringstream in;
    args.insert(args.begin(), {"orvexa", "--home", folder.string()});
    const CliOutcome o = run_cli(args, {out, err, in});
    return {o.exit_code, out.str(), err.str()};
  }
  // The number `wave devices` gives the first device of that direction and kind with that name
  // (any name when empty), or -1. Rows read "record 2\tsystem\tname\tformats".
  int device_number(const std::string& direction, const std::string& kind, const std::string& name) {
    std::istringstream rows(orvexa({"wave", "devices"}).out);
    std::string word, number, row_kind, row_name;
    std::string rest;
    while (rows >> word >> number && std::getline(rows.ignore(1), row_kind, '\t') &&
           std::getline(rows, row_name, '\t') && std::getline(rows, rest)) {
      if (word == direction && row_kind == kind && (name.empty() || row_name == name))
        return std::stoi(number);
    }
    return -1;
  }
  std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder = root() / "program";
};

TEST_F(MessageCommand, RecordsFromTheSystemCaptureDeviceAndPlaysItBack) {
  const int null_card = device_number("record", "system", "orvexanull");
  ASSERT_GE(null_card, 0) << "PortAudio must list ALSA's null card: " << orvexa({"wave", "devices"}).out;
  // Device -1 is the window's choice: the first capture device that is not a line's.
  const int preferred_kind_system = device_number("record", "system", "");
  CliRun r = orvexa({"message", "record", "opening", "--seconds", "0.5"});
  ASSERT_EQ(r.code, kExitDone) << r.err;
  EXPECT_NE(r.out.find("from device " + std::to_string(preferred_kind_system) + " "),
            std::string::npos) << r.out;
  audio::WaveFileInfo info;
  ASSERT_EQ(audio::read_wave_file(folder / "First.wav", info), audio::WaveProblem::None);
  EXPECT_GT(info.data_size, 0u);
  EXPECT_EQ(info.format.nSamplesPerSec, 8000u);

  r = orvexa({"message", "record", "main", "--seconds", "0.5", "--device", std::to_string(null_card)});
  ASSERT_EQ(r.code, kExitDone) << r.err;
  EXPECT_NE(r.out.find("from device " + std::to_string(null_card) + " "), std::string::npos) << r.out;

  r = orvexa({"message", "info"});
  EXPECT_EQ(r.code, kExitDone) << r.err;
  EXPECT_NE(r.out.find("opening\t" + (folder / "First.wav").string() + "\tPCM 8000 Hz 16-bit mono\t"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("main\t" + (folder / "Orginal.wav").string() + "\tPCM 8000 Hz"),
            std::string::npos) << r.out;

  const int speaker = device_number("playback", "system", "orvexanull");
  ASSERT_GE(speaker, 0);
  r = orvexa({"message", "play", "opening", "--device", std::to_string(speaker)});
  EXPECT_EQ(r.code, kExitDone) << r.err;
  EXPECT_NE(r.out.find("played the opening message"), std::string::npos) << r.out;
}

TEST_F(MessageCommand, RefusesALinesAudioAndBadArgumentsAndKeepsTheOldMessage) {
  std::ofstream(folder / "Orginal.wav", std::ios::binary) << "the old message";
  const int line_input = device_number("record", "line", "Simulated line 1 Modem wave/in");
  ASSERT_GE(line_input, 0);
  const struct {
    std::vector<std::string> args;
    int code;
    const char* says;
  } cases[] = {
      {{"message", "record", "main", "--seconds", "1", "--device", std::to_string(line_input)},
       kExitFailed, "no capture device"},
      {{"message", "record", "main", "--seconds", "1", "--device", "99"}, kExitFailed,
       "no capture device"},
      {{"message", "record", "main", "--seconds", "0"}, kExitBadArguments, "--seconds"},
      {{"message", "record", "closing", "--seconds", "1"}, kExitBadArguments, "closing"},
      {{"message", "play", "main"}, kExitFailed, "Orginal.wav"},
  };
  for (const auto& c : cases) {
    const CliRun r = orvexa(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[2] << ' ' << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(read(folder / "Orginal.wav"), "the old message");
  }
  EXPECT_EQ(orvexa({"message", "info"}).code, kExitFailed);
}

}  // namespace
}  // namespace orvexa::cli
