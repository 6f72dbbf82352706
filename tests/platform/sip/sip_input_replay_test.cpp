// The SIP input fuzz target's corpus and a bounded batch of random and mutated inputs, run in
// the normal suite so that every saved find stays a test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "sip_input_harness.h"

namespace orvexa::sip {
namespace {

std::vector<std::vector<std::uint8_t>> corpus() {
  const char* src = std::getenv("ORVEXA_SOURCE_DIR");
  const auto dir = std::filesystem::path(src ? src : ".") / "fuzz/corpus/sip_input";
  std::vector<std::vector<std::uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

TEST(SipInput, CorpusAndRandomInputsKeepTheirProperties) {
  const fuzzing::SipInputHarness harness;
  const auto files = corpus();
  ASSERT_GE(files.size(), 5u);
  for (const auto& f : files) EXPECT_TRUE(harness.check(f.data(), f.size()));

  std::mt19937 rng(20261209);
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> input = files[rng() % files.size()];
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = input.empty() ? 0 : rng() % input.size();
      switch (rng() % 3) {
        case 0: if (!input.empty()) input[at] = static_cast<std::uint8_t>(rng()); break;
        case 1: input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(rng())); break;
        default: if (!input.empty()) input.erase(input.begin() + static_cast<std::ptrdiff_t>(at)); break;
      }
    }
    ASSERT_TRUE(harness.check(input.data(), input.size())) << "mutation " << i;
  }
}

}  // namespace
}  // namespace orvexa::sip
