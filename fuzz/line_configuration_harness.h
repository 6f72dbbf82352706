// orvexa.toml as the assembly reads it: parsed once, sorted by kind, then each provider's reading
// of its own tables. Any text is read or refused with messages; nothing is thrown or trapped.
#pragma once

#include <string_view>

#include "app/assembly/line_configuration.h"
#include "platform/sip/sip_config.h"
#include "platform/telephony/sim_config.h"

namespace orvexa::fuzz {

// False when an invariant breaks.
inline bool read_line_configuration_text(std::string_view text) {
  const assembly::LineConfiguration config =
      assembly::parse_line_configuration(text, "/fuzz/orvexa.toml", false);
  if (!config.root) return false;
  int previous = 0;
  for (const auto& t : config.tables) {
    if (t.index <= previous || t.table == nullptr) return false;
    previous = t.index;
  }
  if (!config.file_error.empty()) return true;
  const telephony::SimReadResult sim =
      telephony::read_sim_config(*config.root, config.tables_of("sim"), "/fuzz");
  if (sim.config.has_value() == !sim.error.empty()) return false;
  if (sim.config && !config.has_line_key() && sim.config->lines.size() != 1) return false;
  const sip::SipConfigResult sip =
      sip::read_sip_lines(config.tables_of("sip"), config.file.string(), true);
  for (const auto& line : sip.lines)
    if (!line.password.empty()) return false;  // exposed files never yield a line with a password
  return true;
}

}  // namespace orvexa::fuzz
