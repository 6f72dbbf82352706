// The holiday import fuzz corpus and a bounded run of random inputs, in the normal suite.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "../../../fuzz/holiday_text_harness.h"

namespace orvexa::data {
namespace {

TEST(HolidayTextFuzzReplay, CorpusAndRandomInputsKeepTheRules) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(source) / "fuzz/corpus/holiday_text")) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(fuzzing::check_holiday_text(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
        << entry.path();
    ++replayed;
  }
  EXPECT_GE(replayed, 4);
  // Pieces of good lines shuffled with stray bytes, so many inputs get past the date.
  const std::string pieces[] = {"1404", "/", "12", "30", "29", "01", " ", "\t", "\n", "\r", "#", "۱۴۰۴", "۰۵",
                                "name", "روز", "\xFF", "\xD8", "\xC0\xAF", "-", "0", "3177", "3178"};
  std::mt19937 random(1404);
  for (int round = 0; round < 5000; ++round) {
    std::string input;
    for (int n = static_cast<int>(random() % 16); n > 0; --n) input += pieces[random() % std::size(pieces)];
    ASSERT_TRUE(fuzzing::check_holiday_text(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()))
        << "round " << round << ": " << input;
  }
}

}  // namespace
}  // namespace orvexa::data
