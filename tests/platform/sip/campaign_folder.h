// A program folder for headless campaigns over a sip line: orvexa.toml with one sip line,
// the two message files as sine tones, and a group of members in the contact database.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli/headless_runner.h"
#include "app/records/calls_database.h"

namespace orvexa::sip::testing {

class CampaignFolder {
 public:
  explicit CampaignFolder(const std::string& name);
  ~CampaignFolder();
  const std::filesystem::path& path() const { return path_; }

  // register = false: calls go straight to `address` ("127.0.0.1:port"); the line carries
  // `channels` calls at once.
  void write_sip_line(const std::string& address, int channels = 1);
  void write_messages(double opening_seconds, double main_seconds, double hertz = 1000);
  void add_group(const std::string& group, const std::vector<std::string>& numbers);

  struct Outcome {
    int code = 0;
    std::vector<std::string> out;  // status log lines, then the summary
    std::vector<std::string> record;  // the campaign's outcomes, where its log and report are
    std::string err;
    std::string all() const;       // for failure messages
  };
  // The campaign on the real clock, as `orvexa run` does it.
  Outcome run(campaign::HeadlessOptions options) const;
  // The attempts of the newest campaign in calls.db, in dial order; none without one.
  std::vector<records::AttemptRow> attempts() const;

 private:
  std::filesystem::path path_;
};

// The most calls that were in progress at once, from each attempt's dial and end.
int calls_at_once(const std::vector<records::AttemptRow>& attempts);

// An 8 kHz 16-bit mono WAVE file of a sine tone.
void write_sine_wave(const std::filesystem::path& file, double seconds, double hertz);

}  // namespace orvexa::sip::testing
