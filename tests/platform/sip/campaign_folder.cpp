#include "campaign_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "app/data/contact_store.h"
#include "platform/audio/wave_file.h"
#include "platform/host/host_services.h"

namespace orvexa::sip::testing {

namespace fs = std::filesystem;

CampaignFolder::CampaignFolder(const std::string& name)
    : path_(fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
  fs::remove_all(path_);
  fs::create_directories(path_);
}

CampaignFolder::~CampaignFolder() { fs::remove_all(path_); }

void CampaignFolder::write_sip_line(const std::string& address, int channels) {
  const fs::path file = path_ / "orvexa.toml";
  std::ofstream(file) << "[[line]]\nkind = \"sip\"\nname = \"Office 201\"\nregistrar = \""
                      << address << "\"\nuser = \"201\"\npassword = \"secret\"\n"
                      << "register = false\nchannels = " << channels << "\n";
  ::chmod(file.c_str(), 0600);  // a readable password file is refused
}

void write_sine_wave(const fs::path& file, double seconds, double hertz) {
  const auto samples = static_cast<std::uint32_t>(8000 * seconds);
  std::vector<std::uint8_t> bytes = audio::wave_header(audio::pcm_format(), samples * 2);
  for (std::uint32_t i = 0; i < samples; ++i) {
    const auto s = static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * hertz * i / 8000)));
    const auto u = static_cast<std::uint16_t>(s);
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void CampaignFolder::write_messages(double opening_seconds, double main_seconds, double hertz) {
  write_sine_wave(path_ / "First.wav", opening_seconds, hertz);
  write_sine_wave(path_ / "Orginal.wav", main_seconds, hertz);
}

void CampaignFolder::add_group(const std::string& group, const std::vector<std::string>& numbers) {
  data::ContactStore store(path_);
  ASSERT_TRUE(store.open().ok);
  auto made = store.create_group(group);
  ASSERT_TRUE(made.ok);
  for (const auto& number : numbers) {
    data::MemberEntry entry;
    entry.name = "n";
    entry.num = number;
    ASSERT_TRUE(store.insert_member(*made.group, entry).ok);
  }
}

std::string CampaignFolder::Outcome::all() const {
  std::string text;
  for (const auto& line : out) text += line + "\n";
  for (const auto& line : record) text += line + "\n";
  return text + err;
}

CampaignFolder::Outcome CampaignFolder::run(campaign::HeadlessOptions options) const {
  options.fast = false;
  std::ostringstream out, err;
  host::RecordingShell shell;
  Outcome r;
  r.code = campaign::run_headless_campaign(path_, options, out, err, shell);
  std::istringstream lines(out.str());
  for (std::string l; std::getline(lines, l);) r.out.push_back(l);
  // What follows the summary: the campaign's outcomes and where its log and report are.
  const auto summary = std::find_if(r.out.rbegin(), r.out.rend(),
                                    [](const std::string& l) { return l.starts_with("attempts "); });
  if (summary != r.out.rend()) {
    r.record.assign(summary.base(), r.out.end());
    r.out.erase(summary.base(), r.out.end());
  }
  r.err = err.str();
  return r;
}

std::vector<records::AttemptRow> CampaignFolder::attempts() const {
  auto db = records::CallsDatabase::open(path_ / records::kCallsFile);
  if (!db || db->campaigns().empty()) return {};
  return db->attempts(db->campaigns().front().id);
}

int calls_at_once(const std::vector<records::AttemptRow>& attempts) {
  std::vector<std::pair<std::int64_t, int>> edges;  // an end sorts before a dial at the same ms
  for (const auto& a : attempts) {
    edges.emplace_back(a.dialled_ms, 1);
    edges.emplace_back(a.ended_ms.value_or(a.dialled_ms), -1);
  }
  std::sort(edges.begin(), edges.end());
  int now = 0, most = 0;
  for (const auto& [ms, step] : edges) most = std::max(most, now += step);
  return most;
}

}  // namespace orvexa::sip::testing
