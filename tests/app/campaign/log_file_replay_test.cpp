// The log file fuzz corpus and a bounded run of random inputs, in the normal suite.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "../../../fuzz/log_file_harness.h"
#include "platform/host/atomic_file.h"

namespace orvexa::campaign {
namespace {

TEST(LogFileFuzzReplay, CorpusAndRandomInputsKeepTheRules) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const auto corpus = std::filesystem::path(source) / "fuzz/corpus/log_file";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::error_code error;
    auto bytes = host::read_file(entry.path(), error);
    ASSERT_TRUE(bytes) << entry.path();
    EXPECT_TRUE(fuzzing::check_log_file(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()))
        << entry.path();
    ++replayed;
  }
  EXPECT_GE(replayed, 5);
  // Bytes drawn mostly from line ends, Arabic-range lead bytes and continuation bytes.
  std::mt19937 random(1256);
  const std::uint8_t alphabet[] = {'\r', '\n', 'a', ' ', 0xC7, 0xD8, 0xD9, 0xDB, 0x98, 0x81,
                                   0xA7, 0xB1, 0xEF, 0xBB, 0xBF, 0xE2, 0x80, 0xFF, 0x00};
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> input(random() % 64);
    for (auto& b : input) {
      b = (random() % 4 == 0) ? static_cast<std::uint8_t>(random()) : alphabet[random() % std::size(alphabet)];
    }
    ASSERT_TRUE(fuzzing::check_log_file(input.data(), input.size())) << "round " << round;
  }
}

}  // namespace
}  // namespace orvexa::campaign
