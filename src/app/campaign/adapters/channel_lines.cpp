#include "app/campaign/adapters/channel_lines.h"

#include "app/campaign/channel_texts.h"

namespace orvexa::campaign {

ChannelLines::ChannelLines(ChannelComponents components, LinePort& first, std::vector<int> devices)
    : c_(components), first_(first), devices_(std::move(devices)) {}

ChannelLines::~ChannelLines() { close(); }

int ChannelLines::offered() {
  int sum = 0;
  for (const int device : devices_) sum += first_.channels(device);
  return sum;
}

std::vector<ChannelPorts> ChannelLines::open(int count, std::string& problem) {
  close();
  // Every channel a chosen line carries, in order; the window's line holds the first.
  std::vector<int> slots;
  for (const int device : devices_) slots.insert(slots.end(), first_.channels(device), device);
  if (!slots.empty()) slots.erase(slots.begin());
  std::vector<ChannelPorts> ports;
  for (int i = 1; i < count && static_cast<std::size_t>(i - 1) < slots.size(); ++i) {
    const int device = slots[static_cast<std::size_t>(i - 1)];
    Opened o{std::make_unique<PhoneLine>(c_.loop, c_.api, c_.busy),
             std::make_unique<VoiceDevice>(c_.loop, c_.audio, c_.busy, c_.message_box, c_.sound_settings)};
    if (const int e = o.line->activate(device); e != 0) {
      problem = text::channel_open_failed(device, i + 1, e);
      close();
      return {};
    }
    ports.push_back({o.line.get(), o.voice.get()});
    opened_.push_back(std::move(o));
  }
  return ports;
}

void ChannelLines::bind(std::size_t index, CallFlow& flow) {
  if (index == 0 || index > opened_.size()) return;
  Opened& o = opened_[index - 1];
  o.line->bind({[&flow](CallEvent e) { flow.on_call_state(e); }, [&flow] { flow.on_before_disconnect(); },
                [&flow](char d) { flow.on_digit(d); }});
  o.voice->bind([&flow](SoundEvent s, int e) { flow.on_sound_state(s, e); });
}

void ChannelLines::close() {
  // Their last events must find nobody: the flows they fed are about to go.
  for (auto& o : opened_) {
    o.line->bind({});
    o.voice->bind({});
  }
  opened_.clear();
}

}  // namespace orvexa::campaign
