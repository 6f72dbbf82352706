// Tone monitoring: the tones a call asks for are looked for in the audio it receives, which
// every provider reports from its line's wave input; each tone found becomes LINE_MONITORTONE.
#include <chrono>

#include "platform/telephony/line_service.h"

namespace orvexa::telephony {

LONG LineService::lineMonitorTones(HCALL call, const LINEMONITORTONE* list, DWORD count) {
  Call* c = find_call(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->state == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  // No list (or an empty one) ends the monitoring; the count is then of no interest.
  if (!list || count == 0) {
    stop_tone_monitor(call, true);
    return 0;
  }
  // A count past what the device offers is answered as a bad list, as the function documents.
  if (count > kMaxMonitoredTones) return LINEERR_INVALPOINTER;
  std::vector<dsp::WantedTone> tones;
  for (DWORD i = 0; i < count; ++i) {
    const LINEMONITORTONE& t = list[i];
    dsp::WantedTone wanted{t.dwAppSpecific, std::chrono::milliseconds(t.dwDuration),
                       {t.dwFrequency1, t.dwFrequency2, t.dwFrequency3}};
    if (dsp::check_tone(wanted) != dsp::ToneProblem::None) return LINEERR_INVALTONE;
    tones.push_back(wanted);
  }
  if (!tone_monitors_.contains(call)) {
    const LONG started = devices_[c->device].provider->receive_audio(call, true);
    if (started != 0) return started;
  }
  // A new list starts afresh: nothing heard under the old one counts toward it.
  tone_monitors_[call] = std::make_unique<dsp::ToneMonitor>(std::move(tones));
  return 0;
}

void LineService::stop_tone_monitor(HCALL call, bool tell_provider) {
  if (tone_monitors_.erase(call) == 0 || !tell_provider) return;
  if (Call* c = find_call(call)) devices_[c->device].provider->receive_audio(call, false);
}

void LineService::received_audio(HCALL call, std::span<const std::int16_t> samples) {
  auto monitor = tone_monitors_.find(call);
  Call* c = find_call(call);
  if (monitor == tone_monitors_.end() || !c) return;
  const auto tick = std::chrono::duration_cast<std::chrono::milliseconds>(
      window_.loop().now().time_since_epoch());
  for (std::uintptr_t tag : monitor->second->feed(samples))
    enqueue({c->line, call, LINE_MONITORTONE, static_cast<DWORD_PTR>(tag), 0,
             static_cast<DWORD_PTR>(static_cast<DWORD>(tick.count()))});
}

}  // namespace orvexa::telephony
