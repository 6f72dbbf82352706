// The description of simulated lines and far ends, read from orvexa.toml.
//
//   [timing]                      # optional, milliseconds
//   dialing = 100  proceeding = 1000  ringback = 1500  ring = 5000
//   transfer_talk = 5000          # how long far ends joined by a transfer talk
//   [[line]]                      # kind = "sim" (the default) or "sip"
//   name = "Office line"  number = "021-5550100"  ring_timeout = 60000
//   hold_music = "music.wav"      # what a held far end hears; beside orvexa.toml when relative
//   phone = false                 # no phone device beside the line
//   channels = 4                  # calls at once, each with audio devices of its own (1 to 500)
//   [[line.incoming]]
//   at = 5000  number = "09120000001"  name = "Reza"  rings = 3
//   [[far_end]]
//   number = "09121111111"  outcome = "answer"  rings = 2  dtmf = "inband"
//   keys = [{ key = "1", at = 3000 }, { key = "2", after_heard = 8.0 }]
//   hangup_at = 20000  tone = 1000  # the far end speaks a steady 1 kHz tone while it hears
//   # tones it sends at given times after the answer (ms), one to three frequencies together:
//   tones = [{ hz = 440, at = 2000, ms = 1000 }, { hz = [350, 440], at = 5000, ms = 800 }]
//   [[far_end]]                 # busy on the first attempt, answers from the second on
//   number = "09122222222"  outcomes = ["busy", "answer"]
//   [default_far_end]
//   outcome = "no-answer"
//
// A missing file gives one default line; a broken one an error naming the line and key.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/line_tables.h"
#include "platform/telephony/sim_media.h"

namespace orvexa::telephony {

enum class FarEndOutcome { Answer, Busy, NoAnswer, Reject, Unreachable };
enum class DigitPath { Notification, InBand };

struct FarEndKey {
  char key = '1';
  // Milliseconds after the answer, or seconds of audio heard; exactly one is set.
  std::optional<std::chrono::milliseconds> at;
  std::optional<double> after_heard_seconds;
};

// A tone the far end sends: all its frequencies together, from `at` after the answer.
struct FarEndTone {
  std::chrono::milliseconds at{0};
  std::chrono::milliseconds length{0};
  std::vector<double> hz;  // one to three
};

struct FarEnd {
  std::string number;  // empty for the default far end
  FarEndOutcome outcome = FarEndOutcome::Answer;
  // Per attempt: attempt N to the number takes entry N, the last entry repeats. Empty: 'outcome'.
  std::vector<FarEndOutcome> outcomes;
  int rings = 1;
  std::vector<FarEndKey> keys;
  std::optional<std::chrono::milliseconds> hangup_at;
  std::optional<double> hangup_after_heard_seconds;
  DigitPath digits = DigitPath::Notification;
  double tone_hz = 0;  // the far end's voice: a steady tone, 0 for silence
  std::vector<FarEndTone> tones;
  // What the line says of a busy, rejected or unreachable call ("486 Busy Here" on a line
  // that imitates a SIP trunk); empty: the disconnect mode alone.
  std::string status;
};

struct IncomingCall {
  std::chrono::milliseconds at{0};  // after the line is opened
  std::string number, name;
  int rings = 4;  // the caller gives up after this many rings unless answered
  FarEnd behaviour;  // keys and hang-up once answered
};

// The most calls one simulated line carries at once.
constexpr int kMaxSimChannels = 500;

struct SimLine {
  std::string name;
  std::string number;
  std::chrono::milliseconds ring_timeout{60000};
  bool never_reply = false;  // requests are accepted and never answered
  bool phone = true;         // a phone device beside the line
  int channels = 1;          // calls at once, each on audio devices of its own
  std::string hold_music;    // as written in the file
  std::shared_ptr<const LoopSound> hold_music_sound;
  std::vector<IncomingCall> incoming;
};

struct SimTiming {
  std::chrono::milliseconds dialing{100}, proceeding{1000}, ringback{1500}, ring{5000};
  std::chrono::milliseconds transfer_talk{5000};
};

struct SimConfig {
  SimTiming timing;
  std::vector<SimLine> lines;
  std::vector<FarEnd> far_ends;
  FarEnd default_far_end;

  // The far end a dialled number reaches: exact match after dropping blanks, else the default.
  const FarEnd& far_end_for(std::string_view dialled) const;
  // The far end as the given attempt (0 = first) to it meets it: 'outcome' set from 'outcomes'.
  FarEnd far_end_for_attempt(std::string_view dialled, std::size_t attempt) const;
};

// One simulated line that answers every number after one ring.
SimConfig default_sim_config();

struct SimConfigResult {
  std::optional<SimConfig> config;
  std::string error;  // "line 2 (\"Office\"): key 'ring_timeout': must be a positive integer"
};

struct SimReadResult {
  std::optional<SimConfig> config;   // unset when the file as a whole is wrong
  std::string error;                 // [timing], [[far_end]], ...: the whole file is refused
  std::vector<LineError> line_errors;  // lines left out; the others work

  SimReadResult& whole_file(std::string text) {
    config.reset();
    error = std::move(text);
    return *this;
  }
};

// Reads the simulated provider's part of a parsed orvexa.toml: the top-level tables and the
// given [[line]] tables. Without any [[line]] in the file there is one default line.
SimReadResult read_sim_config(const toml::table& root, const std::vector<LineTable>& lines,
                              const std::filesystem::path& folder);

// Parses a whole file's text: a line of another kind than "sim" or "sip", or any broken line,
// refuses the file. Relative file names (hold music) are found in `folder`.
SimConfigResult parse_sim_config(std::string_view toml_text,
                                 const std::filesystem::path& folder = {});

std::string_view outcome_name(FarEndOutcome outcome);

}  // namespace orvexa::telephony
