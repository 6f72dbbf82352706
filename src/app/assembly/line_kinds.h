// The kinds of line orvexa.toml can name, as a table: a new kind of line is one more entry here,
// and no entry point changes.
//
//   for (const LineKindEntry& entry : standard_line_kinds()) {
//     MadeLines made = entry.make(context, config.tables_of(entry.kind));
//     ...
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/assembly/line_configuration.h"
#include "platform/audio/audio_service.h"
#include "platform/messaging/loop.h"
#include "platform/telephony/line_provider.h"

namespace orvexa::assembly {

// The lines of one kind, kept alive as long as the program.
class LineKind {
 public:
  virtual ~LineKind() = default;
  virtual telephony::LineProvider& provider() = 0;
  // What `orvexa lines` shows in its registration column for the kind's own device index.
  virtual std::string device_state(std::size_t) const { return "-"; }
  // Waits (on the loop) until the device has a state worth showing; false after `limit`.
  virtual void settle(messaging::Loop&, std::size_t, messaging::Duration) {}
};

// Called on the SIP thread with the microseconds between two frames a call sent.
using SendSpacingHook = std::function<void(std::int64_t)>;

struct LineKindContext {
  messaging::Loop& loop;
  audio::AudioService& audio;
  const LineConfiguration& config;
  bool real_time;  // false with the manual clock
  SendSpacingHook sip_send_spacing;  // for benchmarks; usually unset
};

struct MadeLines {
  std::unique_ptr<LineKind> lines;  // null when the kind has no usable line
  std::vector<std::string> line_errors;
  std::string file_error;  // the kind's part of the file is wrong as a whole
};

struct LineKindEntry {
  std::string kind;
  // Called once, with the kind's [[line]] tables (possibly none).
  std::function<MadeLines(const LineKindContext&, const std::vector<telephony::LineTable>&)> make;
};

// "sim" then "sip": the devices are numbered in this order.
std::vector<LineKindEntry> standard_line_kinds();

// The simulated lines alone, from a configuration at hand (the stand-in when the file is refused).
MadeLines make_default_sim_lines(const LineKindContext& context);

}  // namespace orvexa::assembly
