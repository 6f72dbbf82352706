// The campaign's channels beyond the window's own line: a line component and a voice component
// each, opened on the chosen lines in order. The window's line is the first channel of the first
// line; a line with `channels = N` in orvexa.toml gives N channels.
//
//   ChannelLines lines({loop, api, audio, busy, box, &settings}, window_line, {0, 2});
//   CampaignDeps deps{..., &lines};
#pragma once

#include <memory>
#include <vector>

#include "app/campaign/campaign_engine.h"
#include "app/campaign/adapters/phone_line.h"
#include "app/campaign/adapters/voice_device.h"

namespace orvexa::campaign {

struct ChannelComponents {
  messaging::Loop& loop;
  telephony::TelephonyApi& api;
  audio::AudioService& audio;
  host::BusyIndicator& busy;
  host::ComponentMessageBox& message_box;
  const settings::SettingsStore* sound_settings = nullptr;
};

class ChannelLines final : public ChannelSource {
 public:
  // `first`: the window's line component, which also reads the lines' channel counts.
  ChannelLines(ChannelComponents components, LinePort& first, std::vector<int> devices);
  ~ChannelLines() override;

  // The chosen line devices, the window's active line first.
  void set_devices(std::vector<int> devices) { devices_ = std::move(devices); }
  const std::vector<int>& devices() const { return devices_; }

  int offered() override;
  std::vector<ChannelPorts> open(int count, std::string& problem) override;
  void bind(std::size_t index, CallFlow& flow) override;
  void close() override;

 private:
  struct Opened {
    std::unique_ptr<PhoneLine> line;
    std::unique_ptr<VoiceDevice> voice;
  };
  ChannelComponents c_;
  LinePort& first_;
  std::vector<int> devices_;
  std::vector<Opened> opened_;
};

}  // namespace orvexa::campaign
