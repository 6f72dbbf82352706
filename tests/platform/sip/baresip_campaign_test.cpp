// Headless campaigns over a sip line into baresip on the loopback, which answers by itself and
// records what it hears: each recording holds the opening message, one call at a time or three.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "campaign_folder.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

namespace fs = std::filesystem;
using testing::CampaignFolder;
using testing::ChildProcess;
using testing::SippProcess;

constexpr const char* kModules = "/usr/lib/baresip/modules";

// ORVEXA_BARESIP names another program in its place (the harness's own tests point it nowhere).
const char* baresip_program() {
  const char* other = std::getenv("ORVEXA_BARESIP");
  return other && *other ? other : "/usr/bin/baresip";
}

struct Recording {
  std::uint32_t rate = 0;
  std::vector<std::int16_t> samples;  // the first channel
};

std::optional<Recording> read_wave(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  auto u32 = [&](std::size_t at) { return u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16; };
  if (bytes.size() < 12 || std::string(bytes.data(), 4) != "RIFF") return std::nullopt;
  Recording r;
  std::uint16_t channels = 0, bits = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id(bytes.data() + at, 4);
    const std::size_t size = std::min<std::size_t>(u32(at + 4), bytes.size() - at - 8);
    if (id == "fmt " && size >= 16) {
      channels = u16(at + 10);
      r.rate = u32(at + 12);
      bits = u16(at + 22);
    } else if (id == "data" && channels > 0 && bits == 16) {
      for (std::size_t i = at + 8; i + 2 * channels <= at + 8 + size; i += 2 * channels)
        r.samples.push_back(static_cast<std::int16_t>(u16(i)));
    }
    at += 8 + size + (size & 1);
  }
  return r.rate > 0 ? std::optional(r) : std::nullopt;
}

// The loud stretch of a recording: its length in seconds and its frequency from the zero
// crossings within it.
struct Tone {
  double seconds = 0, hertz = 0;
  double quiet_s = 0;  // within the stretch: a dropout or a cut shows here
};

Tone loud_stretch(const Recording& r) {
  const std::size_t block = r.rate / 100;  // 10 ms
  std::size_t first = 0, last = 0, loud = 0;
  bool found = false;
  for (std::size_t b = 0; (b + 1) * block <= r.samples.size(); ++b) {
    double energy = 0;
    for (std::size_t i = b * block; i < (b + 1) * block; ++i) energy += double(r.samples[i]) * r.samples[i];
    if (std::sqrt(energy / block) < 1000) continue;
    if (!found) first = b;
    last = b + 1;
    ++loud;
    found = true;
  }
  if (!found) return {};
  int crossings = 0;
  for (std::size_t i = first * block + 1; i < last * block; ++i)
    if ((r.samples[i - 1] < 0) != (r.samples[i] < 0)) ++crossings;
  const double seconds = double((last - first) * block) / r.rate;
  return {seconds, crossings / 2.0 / seconds, double((last - first - loud) * block) / r.rate};
}

struct Baresip {
  fs::path home;
  std::uint16_t port = 0;
  std::unique_ptr<ChildProcess> process;
};

// Its own config folder: loopback only, G.711, no sound card (a bridge device for each user, so
// calls at once do not share one), every call answered at once and what it hears dumped to WAVE
// files in `home`/rec. It takes as many calls at once as it has users (call_max_calls would
// otherwise refuse the fifth with 486).
std::optional<Baresip> start_baresip(const fs::path& home, const std::vector<std::string>& users) {
  if (::access(baresip_program(), X_OK) != 0 || !fs::exists(fs::path(kModules) / "sndfile.so"))
    return std::nullopt;
  Baresip b;
  b.home = home;
  b.port = SippProcess::free_udp_port();
  const std::uint16_t rtp = SippProcess::free_udp_port();
  fs::create_directories(home / "rec");
  std::ofstream(home / "config")
      << "poll_method epoll\nsip_listen 127.0.0.1:" << b.port << "\nnet_interface 127.0.0.1\n"
      << "rtp_ports " << rtp << "-" << rtp + 40 << "\n"
      << "audio_player aubridge,orvexa\naudio_source aubridge,orvexa\naudio_alert aubridge,orvexa\n"
      << "module_path " << kModules << "\nmodule g711.so\nmodule aubridge.so\n"
      << "module sndfile.so\nmodule account.so\nsnd_path " << (home / "rec").string() << "\n"
      << "call_max_calls " << users.size() << "\n";
  std::ofstream accounts(home / "accounts");
  for (const auto& user : users)
    accounts << "<sip:" << user << "@127.0.0.1>;regint=0;answermode=auto;audio_player=aubridge,"
             << user << ";audio_source=aubridge," << user << "\n";
  accounts.close();
  std::ofstream(home / "contacts").close();
  // -t bounds its life even if the test never gets to stop it.
  b.process = ChildProcess::spawn(baresip_program(), {"-4", "-f", home.string(), "-t", "90"},
                                  home / "baresip.log");
  if (!b.process) return std::nullopt;
  return b;
}

// Each of baresip's recordings of what a call heard: one tone of `seconds` at `hertz`, whole.
void expect_each_call_heard(const Baresip& far_end, std::size_t calls, double seconds, double hertz) {
  std::vector<fs::path> heard;
  for (const auto& e : fs::directory_iterator(far_end.home / "rec"))
    if (e.path().filename().string().find("-dec") != std::string::npos) heard.push_back(e.path());
  ASSERT_EQ(heard.size(), calls) << far_end.process->log();
  for (const auto& file : heard) {
    const auto recording = read_wave(file);
    ASSERT_TRUE(recording) << file;
    const Tone tone = loud_stretch(*recording);
    EXPECT_NEAR(tone.seconds, seconds, 0.1) << file;
    EXPECT_NEAR(tone.hertz, hertz, 10) << file;
    EXPECT_LE(tone.quiet_s, 0.02) << file;
  }
}

campaign::HeadlessOptions one_play_of_group_g() {
  campaign::HeadlessOptions options;
  options.choice = campaign::CampaignChoice::OneGroup;
  options.group = "G";
  options.settings.waiting_length = 1;  // one play, no key, hang up
  options.settings.retry_once = false;
  return options;
}

TEST(CampaignOverSip, BaresipHearsTheOpeningMessageOnEveryCall) {
  CampaignFolder folder("orvexa-baresip-campaign");
  auto far_end = start_baresip(folder.path() / "baresip", {"100", "101", "102"});
  if (!far_end)
    ORVEXA_PEER_MISSING("baresip with its sndfile module is not installed (scripts/setup)");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let it bind
  folder.write_sip_line("127.0.0.1:" + std::to_string(far_end->port));
  constexpr double kOpening = 1.2, kHertz = 600;
  folder.write_messages(kOpening, 1.0, kHertz);
  folder.add_group("G", {"100", "101", "102"});

  const auto r = folder.run(one_play_of_group_g());
  far_end->process->stop(5);
  ASSERT_EQ(r.code, 0) << r.all() << far_end->process->log();
  EXPECT_EQ(r.out.back(),
            "attempts 3, answered 3, key 1 0, key 2 0, busy 0, unanswered 3, failed 0")
      << r.all() << far_end->process->log();
  expect_each_call_heard(*far_end, 3, kOpening, kHertz);
}

// Three calls at once on one line, their openings playing over each other in time: each call
// hears its own message whole, neither mixed with another call's (a longer tone) nor cut short.
TEST(CampaignOverSip, BaresipHearsEachOfThreeCallsAtOnceWhole) {
  const std::vector<std::string> users = {"100", "101", "102", "103", "104", "105"};
  CampaignFolder folder("orvexa-baresip-channels");
  auto far_end = start_baresip(folder.path() / "baresip", users);
  if (!far_end)
    ORVEXA_PEER_MISSING("baresip with its sndfile module is not installed (scripts/setup)");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let it bind
  folder.write_sip_line("127.0.0.1:" + std::to_string(far_end->port), 3);
  constexpr double kOpening = 2.5, kHertz = 600;
  folder.write_messages(kOpening, 1.0, kHertz);
  folder.add_group("G", users);

  auto options = one_play_of_group_g();
  options.settings.channels = 3;
  // baresip names a recording by the second its call began: one set-up in 1.25 s keeps them
  // apart, and still starts each call halfway through the previous one's opening.
  options.settings.pace = 0.8;
  const auto r = folder.run(options);
  far_end->process->stop(5);
  ASSERT_EQ(r.code, 0) << r.all() << far_end->process->log();
  EXPECT_EQ(r.out.back(),
            "attempts 6, answered 6, key 1 0, key 2 0, busy 0, unanswered 6, failed 0")
      << r.all() << far_end->process->log();
  EXPECT_EQ(testing::calls_at_once(folder.attempts()), 3);
  expect_each_call_heard(*far_end, users.size(), kOpening, kHertz);
}

}  // namespace
}  // namespace orvexa::sip
