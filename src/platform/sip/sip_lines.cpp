#include "platform/sip/sip_lines.h"

namespace orvexa::sip {

SipLines attach_sip_lines(telephony::TelephonyRig& rig,
                          const std::filesystem::path& program_folder) {
  SipLines out;
  SipConfigResult config = load_sip_lines(program_folder / "orvexa.toml");
  for (auto& e : config.errors) out.errors.push_back(std::move(e.text));
  if (config.lines.empty()) return out;
  if (rig.manual_clock() != nullptr) {
    out.errors.push_back("sip lines are left out with --fast: they need real time");
    return out;
  }
  out.provider = std::make_unique<SipProvider>(rig.loop(), rig.audio(), std::move(config.lines));
  rig.lines().add_provider(*out.provider);
  return out;
}

std::string registration_text(const SipProvider& provider, std::size_t device) {
  return describe(provider.registration(device));
}

}  // namespace orvexa::sip
