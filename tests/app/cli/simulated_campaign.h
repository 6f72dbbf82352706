// A program folder for headless campaign tests: simulated far ends of every kind, two short
// messages and a group "G" of members, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/data/contact_store.h"
#include "message_files.h"

namespace orvexa::campaign {

constexpr const char* kFarEnds = R"(
[[line]]
name = "Test line"
ring_timeout = 20000

[[far_end]]
number = "100"
outcome = "answer"
keys = [{ key = "1", at = 4000 }]

[[far_end]]
number = "200"
outcome = "answer"

[[far_end]]
number = "300"
outcome = "busy"

[[far_end]]
number = "400"
outcome = "answer"
keys = [{ key = "1", at = 4000 }]
hangup_at = 6000

[[far_end]]
number = "500"
outcome = "answer"
keys = [{ key = "2", at = 4000 }]

[[far_end]]
number = "600"
outcome = "answer"
hangup_at = 1000

[[far_end]]
number = "700"
outcome = "no-answer"

[[far_end]]
number = "800"
outcome = "reject"

[[far_end]]
number = "900"
outcome = "unreachable"
)";

struct CampaignFolder {
  std::filesystem::path path;
  explicit CampaignFolder(const std::string& name)
      : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~CampaignFolder() { std::filesystem::remove_all(path); }
};

// The far ends, a 2 s opening and a 3 s main message, and group "G" with the members given as
// number and birthday ("MM/DD" or empty).
inline void prepare(const std::filesystem::path& folder, std::vector<std::pair<std::string, std::string>> members) {
  std::ofstream(folder / "orvexa.toml") << kFarEnds;
  test_support::write_tone_wave(folder / "First.wav", 2.0);
  test_support::write_tone_wave(folder / "Orginal.wav", 3.0);
  data::ContactStore store(folder);
  ASSERT_TRUE(store.open().ok);
  auto group = store.create_group("G");
  ASSERT_TRUE(group.ok);
  for (const auto& [num, birthday] : members) {
    data::MemberEntry entry;
    entry.name = "n";
    entry.num = num;
    if (!birthday.empty()) entry.birthday = {birthday.substr(3), birthday.substr(0, 2)};
    ASSERT_TRUE(store.insert_member(*group.group, entry).ok);
  }
}

}  // namespace orvexa::campaign
