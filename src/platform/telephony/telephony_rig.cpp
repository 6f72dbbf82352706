#include "platform/telephony/telephony_rig.h"

namespace orvexa::telephony {

TelephonyRig::TelephonyRig(SimConfig config, bool manual_clock) {
  if (manual_clock) {
    auto manual = std::make_unique<messaging::ManualClock>();
    manual_ = manual.get();
    clock_ = std::move(manual);
  } else {
    clock_ = std::make_unique<messaging::SteadyClock>();
  }
  loop_ = std::make_unique<messaging::Loop>(*clock_);
  audio_ = std::make_unique<audio::AudioService>(*loop_);
  sim_ = std::make_unique<SimProvider>(*loop_, std::move(config));
  line_audio_ = attach_sim_audio(*sim_, *audio_);
  service_ = std::make_unique<LineService>(*loop_);
  service_->add_provider(*sim_);
}

// The service closes its lines at the provider before the provider and the audio go.
TelephonyRig::~TelephonyRig() {
  service_.reset();
  sim_.reset();
  audio_.reset();
  loop_.reset();
}

}  // namespace orvexa::telephony
