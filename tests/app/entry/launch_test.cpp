#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/entry/launch.h"
#include "platform/audio/wave_file.h"

namespace orvexa::entry {
namespace {

namespace fs = std::filesystem;

TEST(QuickStart, OnlyAPlainWaveInfoIsAnsweredWithoutTheWholeProgram) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::optional<std::string> file;
  };
  const Case cases[] = {
      {"plain", {"wave", "info", "a.wav"}, "a.wav"},
      {"with a home folder", {"--home", "/tmp/x", "wave", "info", "a.wav"}, "a.wav"},
      {"with home=", {"--home=/tmp/x", "wave", "info", "b c.wav"}, "b c.wav"},
      {"no arguments opens the window", {}, std::nullopt},
      {"no file", {"wave", "info"}, std::nullopt},
      {"help", {"wave", "info", "--help"}, std::nullopt},
      {"a file that looks like an option", {"wave", "info", "-x.wav"}, std::nullopt},
      {"an empty file name", {"wave", "info", ""}, std::nullopt},
      {"two files", {"wave", "info", "a.wav", "b.wav"}, std::nullopt},
      {"another wave command", {"wave", "play", "a.wav"}, std::nullopt},
      {"another command", {"solar", "today"}, std::nullopt},
      {"home without a folder", {"--home", "wave", "info", "a.wav"}, std::nullopt},
      {"an option after home", {"--home", "/tmp/x", "--version", "wave", "info"}, std::nullopt},
      {"info before wave", {"info", "wave", "a.wav"}, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(quick_wave_info_file(c.args), c.file) << c.name;
}

struct Outcome {
  int code;
  std::string out, err;
};

std::string slurp(const fs::path& file) {
  std::ostringstream s;
  s << std::ifstream(file).rdbuf();
  return s.str();
}

// Runs an executable with arguments (each quoted for the shell) and collects what it printed.
Outcome run(const fs::path& exe, const std::vector<std::string>& args, const fs::path& scratch) {
  std::string command = "'" + exe.string() + "'";
  for (const auto& a : args) command += " '" + a + "'";
  command += " >'" + (scratch / "out").string() + "' 2>'" + (scratch / "err").string() + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(scratch / "out"),
          slurp(scratch / "err")};
}

class Executable : public ::testing::Test {
 protected:
  Executable() {
    fs::create_directories(dir);
    auto bytes = audio::wave_header(audio::pcm_format(), 16000);
    bytes.resize(bytes.size() + 16000, 1);
    std::ofstream(good, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ofstream(bad) << "not a sound";
  }
  ~Executable() override { fs::remove_all(dir); }
  fs::path dir = fs::temp_directory_path() / ("orvexa-entry-" + std::to_string(::getpid()));
  std::string good = (dir / "good.wav").string();
  std::string bad = (dir / "bad.wav").string();
};

TEST_F(Executable, AnswersTheSameWhicheverPathItTakes) {
  const std::string facts =
      "format: PCM\nchannels: 1\nrate: 8000\nbits: 16\nblock align: 2\ndata size: 16000\n"
      "duration: 1.000 s\n";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err_has;
  };
  const Case cases[] = {
      {"quick info", {"wave", "info", good}, 0, facts, ""},
      {"quick info with a home", {"--home", dir.string(), "wave", "info", good}, 0, facts, ""},
      {"quick info of a broken file", {"wave", "info", bad}, 1, "", "not a RIFF WAVE file"},
      {"the whole program's version", {"--version"}, 0, "Orvexa 5.0\n", ""},
      {"the whole program's argument errors", {"wave", "info"}, 2, "", "file is required"},
  };
  for (const Case& c : cases) {
    const Outcome r = run(ORVEXA_EXECUTABLE, c.args, dir);
    EXPECT_EQ(r.code, c.code) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_NE(r.err.find(c.err_has), std::string::npos) << c.name << ": " << r.err;
  }
}

TEST_F(Executable, AMissingWholeProgramIsAFailureWithAReason) {
  const fs::path alone = dir / "orvexa";
  fs::copy_file(ORVEXA_EXECUTABLE, alone);
  const Outcome r = run(alone, {"--version"}, dir);
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("cannot start " + (dir / kWholeProgramName).string()), std::string::npos)
      << r.err;
  // The quick path still works on its own.
  EXPECT_EQ(run(alone, {"wave", "info", good}, dir).code, 0);
}

}  // namespace
}  // namespace orvexa::entry
