// The fuzz corpora and bounded random mutations of them, in the normal suite.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "file_list_harness.h"
#include "wave_reader_harness.h"

namespace orvexa::fuzzing {
namespace {

std::vector<std::string> corpus(const char* name) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  const auto dir = std::filesystem::path(source ? source : ".") / "fuzz/corpus" / name;
  std::vector<std::string> seeds;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    seeds.push_back(text.str());
  }
  return seeds;
}

std::string mutate(std::string s, std::mt19937& random, const std::string& alphabet) {
  const int edits = 1 + static_cast<int>(random() % 6);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = s.empty() ? 0 : random() % s.size();
    switch (random() % 4) {
      case 0:
        if (!s.empty()) s[at] = alphabet[random() % alphabet.size()];
        break;
      case 1:
        if (!s.empty()) s.erase(at, 1 + random() % 8);
        break;
      case 2: s.insert(at, 1, alphabet[random() % alphabet.size()]); break;
      default:
        if (!s.empty()) s[at] = static_cast<char>(random());
    }
  }
  return s;
}

const std::uint8_t* bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(FuzzReplay, WaveReader) {
  const auto seeds = corpus("wave_reader");
  ASSERT_FALSE(seeds.empty());
  WaveReaderHarness harness;
  for (const auto& s : seeds) EXPECT_TRUE(harness.check(bytes(s), s.size())) << "seed";
  std::mt19937 random(11);
  const std::string alphabet("RIFFWAVEfmt data\0\1\2\x10\xff", 22);
  for (int round = 0; round < 1500; ++round) {
    const std::string s = mutate(seeds[random() % seeds.size()], random, alphabet);
    ASSERT_TRUE(harness.check(bytes(s), s.size())) << "round " << round;
  }
}

TEST(FuzzReplay, FileList) {
  const auto seeds = corpus("file_list");
  ASSERT_FALSE(seeds.empty());
  FileListHarness harness;
  for (const auto& s : seeds) EXPECT_TRUE(harness.check(bytes(s), s.size())) << s;
  std::mt19937 random(5);
  const std::string alphabet = "ab.wav*?|>\r\n0123456789 ";
  for (int round = 0; round < 3000; ++round) {
    const std::string s = mutate(seeds[random() % seeds.size()], random, alphabet);
    ASSERT_TRUE(harness.check(bytes(s), s.size())) << s;
  }
}

}  // namespace
}  // namespace orvexa::fuzzing
