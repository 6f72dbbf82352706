// DTMF key tones at 8 kHz, 16-bit mono: rendering keys as audio and finding keys in audio.
//
//   DtmfGenerator gen;  std::vector<std::int16_t> pcm = gen.render("12#");
//   DtmfDetector det;   det.feed(pcm);  // det.take() == "12#"
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct dtmf_tx_state_s;
struct dtmf_rx_state_s;

namespace orvexa::dsp {

inline constexpr int kDtmfSampleRate = 8000;

class DtmfGenerator {
 public:
  // Each key sounds `on_ms` and is followed by `off_ms` of silence.
  explicit DtmfGenerator(int on_ms = 100, int off_ms = 100);
  ~DtmfGenerator();
  DtmfGenerator(const DtmfGenerator&) = delete;
  DtmfGenerator& operator=(const DtmfGenerator&) = delete;

  // Keys other than 0-9, *, #, A-D are skipped.
  std::vector<std::int16_t> render(std::string_view keys);

 private:
  struct Free {
    void operator()(dtmf_tx_state_s* s) const;
  };
  std::unique_ptr<dtmf_tx_state_s, Free> state_;
};

class DtmfDetector {
 public:
  DtmfDetector();
  ~DtmfDetector();
  DtmfDetector(const DtmfDetector&) = delete;
  DtmfDetector& operator=(const DtmfDetector&) = delete;

  // Feeds samples; returns the keys recognised in them (in order).
  std::string feed(std::span<const std::int16_t> samples);

 private:
  struct Free {
    void operator()(dtmf_rx_state_s* s) const;
  };
  std::unique_ptr<dtmf_rx_state_s, Free> state_;
};

}  // namespace orvexa::dsp
