#include "platform/dsp/dtmf.h"

#include <spandsp.h>

namespace orvexa::dsp {

void DtmfGenerator::Free::operator()(dtmf_tx_state_s* s) const { dtmf_tx_free(s); }
void DtmfDetector::Free::operator()(dtmf_rx_state_s* s) const { dtmf_rx_free(s); }

DtmfGenerator::DtmfGenerator(int on_ms, int off_ms) : state_(dtmf_tx_init(nullptr)) {
  dtmf_tx_set_timing(state_.get(), on_ms, off_ms);
}

DtmfGenerator::~DtmfGenerator() = default;

std::vector<std::int16_t> DtmfGenerator::render(std::string_view keys) {
  std::vector<std::int16_t> out;
  std::string valid;
  for (char c : keys)
    if (std::string_view("0123456789*#ABCD").find(c) != std::string_view::npos) valid += c;
  if (valid.empty()) return out;
  dtmf_tx_put(state_.get(), valid.c_str(), static_cast<int>(valid.size()));
  std::int16_t block[160];
  // The generator stops producing samples once its queue and the last pause are done.
  while (true) {
    const int n = dtmf_tx(state_.get(), block, 160);
    if (n <= 0) break;
    out.insert(out.end(), block, block + n);
  }
  return out;
}

DtmfDetector::DtmfDetector() : state_(dtmf_rx_init(nullptr, nullptr, nullptr)) {}

DtmfDetector::~DtmfDetector() = default;

std::string DtmfDetector::feed(std::span<const std::int16_t> samples) {
  dtmf_rx(state_.get(), samples.data(), static_cast<int>(samples.size()));
  char digits[128];
  std::string out;
  std::size_t n;
  while ((n = dtmf_rx_get(state_.get(), digits, sizeof digits - 1)) > 0) out.append(digits, n);
  return out;
}

}  // namespace orvexa::dsp
