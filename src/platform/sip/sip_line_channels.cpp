#include "platform/sip/sip_line_channels.h"

#include <algorithm>
#include <string>

namespace orvexa::sip {
namespace {

// "#2 " for the second channel: the names are ASCII digits, so they widen as they are.
std::u16string channel_label(std::size_t index) {
  std::u16string label = u"#";
  for (char c : std::to_string(index + 1)) label += static_cast<char16_t>(c);
  return label + u" ";
}

}  // namespace

SipLineChannels::SipLineChannels(audio::AudioService& audio, const std::u16string& line_name,
                                 std::size_t count)
    : audio_(audio) {
  count = std::max<std::size_t>(count, 1);
  channels_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    // The first pair keeps the line's own names, so a one-channel line is as it always was.
    const std::u16string base = line_name + u" " + (i == 0 ? u"" : channel_label(i)) + u"Modem ";
    auto ch = std::make_unique<Channel>();
    ch->playback = std::make_shared<SipLinePlayback>(base + u"wave/out", ch->outbound);
    ch->capture = std::make_shared<SipLineCapture>(base + u"wave/in");
    ch->playback_id = audio_.add_playback_device(ch->playback);
    ch->capture_id = audio_.add_capture_device(ch->capture);
    channels_.push_back(std::move(ch));
  }
}

SipLineChannels::~SipLineChannels() {
  for (const auto& ch : channels_) {
    audio_.remove_device(ch->playback_id);
    audio_.remove_device(ch->capture_id);
  }
}

std::optional<std::size_t> SipLineChannels::claim(std::uint64_t call) {
  for (std::size_t i = 0; i < channels_.size(); ++i) {
    std::uint64_t free = 0;
    if (channels_[i]->owner.compare_exchange_strong(free, call, std::memory_order_acq_rel))
      return i;
  }
  return std::nullopt;
}

bool SipLineChannels::release(std::size_t i, std::uint64_t call) {
  return channels_[i]->owner.compare_exchange_strong(call, 0, std::memory_order_acq_rel);
}

std::int32_t SipLineChannels::wave_out(std::size_t i) const {
  const auto n = audio_.playback_number(channels_[i]->playback_id);
  return n ? static_cast<std::int32_t>(*n) : -1;
}

std::int32_t SipLineChannels::wave_in(std::size_t i) const {
  const auto n = audio_.capture_number(channels_[i]->capture_id);
  return n ? static_cast<std::int32_t>(*n) : -1;
}

}  // namespace orvexa::sip
