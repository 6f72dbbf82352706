// The description of simulated lines and far ends: what it reads, and errors that name the line
// and the key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/telephony/sim_config.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono_literals;

TEST(SimConfig, AFullDescriptionIsRead) {
  const char* text = R"(
[timing]
ring = 4000
[[line]]
name = "Office"
number = "100"
ring_timeout = 30000
[[line.incoming]]
at = 5000
number = "0912"
name = "Reza"
rings = 3
[[line]]
kind = "sip"
name = "Trunk"
[[far_end]]
number = "0912 111"
outcome = "busy"
[[far_end]]
number = "222"
rings = 2
dtmf = "inband"
keys = [{ key = "1", at = 3000 }, { key = "#", after_heard = 8.5 }]
hangup_after_heard = 20
tones = [{ hz = 440, at = 2000, ms = 1000 }, { hz = [350, 440.5], at = 0, ms = 800 }]
[default_far_end]
outcome = "no-answer"
)";
  SimConfigResult r = parse_sim_config(text);
  ASSERT_TRUE(r.config) << r.error;
  const SimConfig& c = *r.config;
  EXPECT_EQ(c.timing.ring, 4000ms);
  EXPECT_EQ(c.timing.dialing, 100ms);
  ASSERT_EQ(c.lines.size(), 1u);  // the SIP line belongs to another provider
  EXPECT_EQ(c.lines[0].ring_timeout, 30000ms);
  ASSERT_EQ(c.lines[0].incoming.size(), 1u);
  EXPECT_EQ(c.lines[0].incoming[0].name, "Reza");
  EXPECT_EQ(c.far_end_for("0912111").outcome, FarEndOutcome::Busy);
  const FarEnd& f = c.far_end_for("222");
  EXPECT_EQ(f.digits, DigitPath::InBand);
  ASSERT_EQ(f.keys.size(), 2u);
  EXPECT_EQ(f.keys[1].key, '#');
  EXPECT_EQ(f.keys[1].after_heard_seconds, 8.5);
  ASSERT_EQ(f.tones.size(), 2u);
  EXPECT_EQ(f.tones[0].at, 2000ms);
  EXPECT_EQ(f.tones[0].length, 1000ms);
  EXPECT_EQ(f.tones[0].hz, (std::vector<double>{440}));
  EXPECT_EQ(f.tones[1].at, 0ms);
  EXPECT_EQ(f.tones[1].hz, (std::vector<double>{350, 440.5}));
  EXPECT_EQ(c.far_end_for("999").outcome, FarEndOutcome::NoAnswer);
}

TEST(SimConfig, MissingLinesGiveOneDefaultLine) {
  SimConfigResult r = parse_sim_config("[default_far_end]\noutcome = \"busy\"\n");
  ASSERT_TRUE(r.config);
  EXPECT_EQ(r.config->lines.size(), 1u);
  EXPECT_EQ(r.config->far_end_for("123").outcome, FarEndOutcome::Busy);
}

TEST(SimConfig, ChannelsDefaultToOne) {
  struct Case {
    const char* text;
    int channels;
  };
  const Case kCases[] = {{"[[line]]\n", 1}, {"[[line]]\nchannels = 1\n", 1},
                         {"[[line]]\nchannels = 500\n", 500}, {"", 1}};
  for (const Case& c : kCases) {
    SimConfigResult r = parse_sim_config(c.text);
    ASSERT_TRUE(r.config) << c.text << r.error;
    EXPECT_EQ(r.config->lines.at(0).channels, c.channels) << c.text;
  }
}

TEST(SimConfig, ErrorsNameTheLineAndTheKey) {
  struct Case {
    const char* text;
    const char* want;
  };
  const std::string long_status =
      "[[far_end]]\nnumber = \"1\"\nstatus = \"" + std::string(81, 'x') + "\"\n";
  const Case kCases[] = {
      {"[[line]]\nname = \"Office\"\nring_timeout = -4\n",
       "line 1 (\"Office\"): key 'ring_timeout'"},
      {"[[line]]\n[[line]]\nnumber = \"12a\"\n", "line 2: key 'number': is not a telephone number"},
      {"[[line]]\nkind = \"isdn\"\n", "line 1: key 'kind'"},
      {"[[line]]\nringtimeout = 4\n", "line 1: key 'ringtimeout': unknown key"},
      {"[[line]]\nnever_reply = 1\n", "line 1: key 'never_reply'"},
      {"[[line]]\n[[line.incoming]]\nat = 1\n", "line 1, incoming 1: key 'number': is missing"},
      {"[[far_end]]\noutcome = \"maybe\"\nnumber = \"1\"\n", "far_end 1: key 'outcome'"},
      {"[[far_end]]\nnumber = \"1\"\noutcomes = [\"busy\", \"maybe\"]\n",
       "far_end 1: key 'outcomes'"},
      {"[[far_end]]\nnumber = \"1\"\noutcomes = []\n", "far_end 1: key 'outcomes'"},
      {"[[far_end]]\nnumber = \"1\"\noutcomes = \"busy\"\n", "far_end 1: key 'outcomes'"},
      {"[[far_end]]\nnumber = \"1\"\nkeys = [{ key = \"1\" }]\n", "far_end 1, keys[0]: key 'at'"},
      {"[[far_end]]\nnumber = \"1\"\nkeys = [{ key = \"x\", at = 1 }]\n", "far_end 1, keys[0]: key 'key'"},
      {"[[far_end]]\nnumber = \"1\"\ndtmf = \"loud\"\n", "far_end 1: key 'dtmf'"},
      {"[[far_end]]\nnumber = \"1\"\nstatus = 486\n", "far_end 1: key 'status': must be a string"},
      {long_status.c_str(), "far_end 1: key 'status': must be at most 80 bytes"},
      {"[[far_end]]\noutcome = \"busy\"\n", "far_end 1: key 'number': is missing"},
      {"[timing]\nring = 0\n", "[timing]: key 'ring'"},
      {"[[line]\n", "line 1 of the file"},
      {"lines = 3\n", "top level: key 'lines': unknown key"},
      {"[[line]]\nname = \"Desk\"\nhold_music = \"no-such.wav\"\n",
       "line 1 (\"Desk\"): key 'hold_music': no-such.wav: "},
      {"[[line]]\nhold_music = 5\n", "line 1: key 'hold_music': must be a string"},
      {"[[line]]\nhold_music = \"/dev/null\"\n",
       "line 1: key 'hold_music': /dev/null: is not a regular file"},
      {"[[line]]\nphone = \"yes\"\n", "line 1: key 'phone': must be true or false"},
      {"[[line]]\nname = \"Wide\"\nchannels = 0\n",
       "line 1 (\"Wide\"): key 'channels': must be a whole number from 1 to 500"},
      {"[[line]]\nchannels = 501\n",
       "line 1: key 'channels': must be a whole number from 1 to 500"},
      {"[[line]]\nchannels = \"x\"\n", "line 1: key 'channels': must be a whole number from 1"},
      {"[[line]]\nchannels = 2.5\n", "line 1: key 'channels': must be a whole number from 1"},
      {"[[far_end]]\nnumber = \"1\"\ntone = 5000\n", "far_end 1: key 'tone'"},
      {"[timing]\ntransfer_talk = -1\n", "[timing]: key 'transfer_talk'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = 440\n", "far_end 1: key 'tones': must be a list"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [440]\n", "far_end 1: key 'tones': must be a list"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz': is missing"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 0, at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz': must be a frequency from 1 to 3900 Hz"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = [350, 4000], at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = [1, 2, 3, 4], at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = [], at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = \"a\", at = 0, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'hz'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 440, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'at': is missing"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 440, at = 5 }]\n",
       "far_end 1, tones[0]: key 'ms': is missing"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 440, at = 0, ms = 0 }]\n",
       "far_end 1, tones[0]: key 'ms': must be milliseconds from 1"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 440, at = -1, ms = 5 }]\n",
       "far_end 1, tones[0]: key 'at'"},
      {"[[far_end]]\nnumber = \"1\"\ntones = [{ hz = 440, at = 0, ms = 5 }, { hz = 1, ms = 1, "
       "at = 0, loud = true }]\n",
       "far_end 1, tones[1]: key 'loud': unknown key"},
      {"[[line]]\n[[line.incoming]]\nnumber = \"1\"\ntones = [{ hz = 9000, at = 0, ms = 1 }]\n",
       "line 1, incoming 1, tones[0]: key 'hz'"},
  };
  for (const Case& c : kCases) {
    SimConfigResult r = parse_sim_config(c.text);
    EXPECT_FALSE(r.config) << c.text;
    EXPECT_NE(r.error.find(c.want), std::string::npos) << r.error << " / wanted " << c.want;
  }
}

// The stored corpus and random mutations of it: every input is read or refused with a message.
TEST(SimConfig, BoundedRandomInputsAreReadOrRefused) {
  std::vector<std::string> seeds;
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  const std::filesystem::path corpus =
      std::filesystem::path(source ? source : ".") / "fuzz/corpus/sim_config";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    seeds.push_back(text.str());
  }
  ASSERT_FALSE(seeds.empty()) << corpus;
  std::mt19937 random(7);
  const std::string alphabet = "[]{}=\"\n ,.#-_0123456789abcdefghijklmnopqrstuvwxyz";
  for (int round = 0; round < 3000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = alphabet[random() % alphabet.size()]; break;
        case 1: text.erase(at, 1 + random() % 8); break;
        default: text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    SimConfigResult r = parse_sim_config(text);
    EXPECT_NE(r.config.has_value(), !r.error.empty()) << text;
  }
}

}  // namespace
}  // namespace orvexa::telephony
