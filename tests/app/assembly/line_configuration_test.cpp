// orvexa.toml read once: which files are used, and the mode check that guards sip passwords.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <fstream>

#include "app/assembly/line_configuration.h"
#include "line_configuration_harness.h"
#include "platform/sip/sip_config.h"

namespace orvexa::assembly {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSip =
    "[[line]]\nkind = \"sip\"\nregistrar = \"127.0.0.1\"\nuser = \"201\"\npassword = \"x\"\n";

struct Case {
  const char* name;
  std::function<void(const fs::path& file)> make;
  bool present, file_error, exposed;
  std::size_t sip_lines;  // read from the tables of kind "sip"
};

TEST(LineConfiguration, ReadsTheFileOnceOrSaysWhyNot) {
  const fs::path folder = fs::path(::testing::TempDir()) / "line-configuration";
  auto write = [](const fs::path& f, const char* text, mode_t mode) {
    std::ofstream(f, std::ios::binary) << text;
    ::chmod(f.c_str(), mode);
  };
  const std::vector<Case> cases = {
      {"missing", [](const fs::path&) {}, false, false, false, 0},
      {"private", [&](const fs::path& f) { write(f, kSip, 0600); }, true, false, false, 1},
      // A password others can read: the sip line is refused, with the chmod that mends it.
      {"readable by others", [&](const fs::path& f) { write(f, kSip, 0644); }, true, false, true, 0},
      {"readable by group", [&](const fs::path& f) { write(f, kSip, 0640); }, true, false, true, 0},
      {"empty", [&](const fs::path& f) { write(f, "", 0600); }, true, false, false, 0},
      {"not toml", [&](const fs::path& f) { write(f, "[[line]\nkind=", 0600); }, true, true, false, 0},
      {"line not a list", [&](const fs::path& f) { write(f, "line = 3\n", 0600); }, true, true, false, 0},
      // A pipe would block the reader for ever; a folder is no file either.
      {"pipe", [](const fs::path& f) { ::mkfifo(f.c_str(), 0600); }, true, true, false, 0},
      {"folder", [](const fs::path& f) { fs::create_directory(f); }, true, true, false, 0},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    c.make(folder / kLineFileName);
    const LineConfiguration config = read_line_configuration(folder);
    EXPECT_EQ(config.present, c.present) << c.name;
    EXPECT_EQ(!config.file_error.empty(), c.file_error) << c.name << ": " << config.file_error;
    if (c.file_error) {
      EXPECT_NE(config.file_error.find(kLineFileName), std::string::npos) << config.file_error;
    }
    EXPECT_EQ(config.password_exposed, c.exposed) << c.name;
    ASSERT_NE(config.root, nullptr) << c.name;
    const sip::SipConfigResult sip =
        sip::read_sip_lines(config.tables_of("sip"), config.file.string(), config.password_exposed);
    EXPECT_EQ(sip.lines.size(), c.sip_lines) << c.name;
    if (c.exposed) {
      ASSERT_EQ(sip.errors.size(), 1u) << c.name;
      EXPECT_NE(sip.errors[0].text.find("chmod 600 " + config.file.string()), std::string::npos)
          << sip.errors[0].text;
    }
  }
  fs::remove_all(folder);
}

TEST(LineConfiguration, SortsTheLinesByKindInFileOrder) {
  const LineConfiguration config = parse_line_configuration(
      "[[line]]\nname = \"A\"\n[[line]]\nkind = \"sip\"\n[[line]]\nkind = \"fax\"\n"
      "[[line]]\nkind = \"sim\"\nname = \"B\"\n",
      "/x/orvexa.toml", false);
  ASSERT_TRUE(config.file_error.empty()) << config.file_error;
  EXPECT_TRUE(config.has_line_key());
  std::vector<int> sim;
  for (const auto& t : config.tables_of("sim")) sim.push_back(t.index);
  EXPECT_EQ(sim, (std::vector<int>{1, 4}));
  ASSERT_EQ(config.tables_of("fax").size(), 1u);
  EXPECT_EQ(config.tables_of("fax")[0].index, 3);
  EXPECT_FALSE(parse_line_configuration("[timing]\n", "/x/orvexa.toml", false).has_line_key());
}

// The stored corpora of the line descriptions and random mutations of them, with sip lines
// mixed in: every input is read or refused with messages, the invariants of the fuzz target hold.
TEST(LineConfiguration, BoundedRandomInputsKeepTheFuzzInvariants) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  const fs::path corpus = fs::path(source ? source : ".") / "fuzz/corpus/sim_config";
  std::vector<std::string> seeds{kSip, std::string(kSip) + "[[line]]\nname = \"A\"\n"};
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(corpus, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    seeds.push_back(text.str());
  }
  ASSERT_GT(seeds.size(), 10u) << corpus;
  std::mt19937 random(11);
  const std::string alphabet = "[]{}=\"\n ,.#-_0123456789abcdefghijklmnopqrstuvwxyz";
  for (int round = 0; round < 3000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    for (int e = 1 + static_cast<int>(random() % 6); e > 0 && !text.empty(); --e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = alphabet[random() % alphabet.size()]; break;
        case 1: text.erase(at, 1 + random() % 8); break;
        default: text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    EXPECT_TRUE(fuzz::read_line_configuration_text(text)) << text;
  }
}

}  // namespace
}  // namespace orvexa::assembly
