// Adds the sip lines of orvexa.toml to a telephony set-up, after its simulated lines.
//
//   auto made = telephony::TelephonyRig::create(folder, fast);
//   SipLines sip = attach_sip_lines(*made.rig, folder);   // keep it alive as long as the rig
//   for (auto& e : sip.errors) err << e << '\n';
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sip/sip_provider.h"
#include "platform/telephony/telephony_rig.h"

namespace orvexa::sip {

struct SipLines {
  std::unique_ptr<SipProvider> provider;  // null when the file has no usable sip line
  std::vector<std::string> errors;        // one per refused line or broken key
};

// Real network lines need real time: with the manual clock (--fast) no sip line is added and
// that is said in `errors`.
SipLines attach_sip_lines(telephony::TelephonyRig& rig, const std::filesystem::path& program_folder);

// "registered", "failed (403 Forbidden)", ...: the state column of `orvexa lines`.
std::string registration_text(const SipProvider& provider, std::size_t device);

}  // namespace orvexa::sip
