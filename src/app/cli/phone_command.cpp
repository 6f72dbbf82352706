// `orvexa phone ring|lamp|display|hookswitch ...`: drives the phone device beside a line through
// the line component, waits for the device's answer, and prints the device's state.
#include <CLI/CLI.hpp>
#include <ostream>

#include "app/cli/cli.h"
#include "components/phone/kdphone.h"
#include "app/cli/assembled.h"
#include "platform/host/utf.h"

namespace orvexa::cli {

namespace {

using namespace std::chrono_literals;

struct PhoneOptions {
  int line = 0;
  int ring_mode = 0, ring_volume = 0xFFFF;
  int lamp = 0;
  std::string lamp_mode;
  int row = 0, column = 0;
  std::string text;
  std::string device;
  int hook_state = 0;
};

// "off", "steady", ... or the mode's number, as the line component passes it on unchecked.
std::optional<int> LampMode(const std::string& name) {
  static constexpr telephony::DWORD kModes[] = {
      telephony::PHONELAMPMODE_OFF, telephony::PHONELAMPMODE_STEADY, telephony::PHONELAMPMODE_WINK,
      telephony::PHONELAMPMODE_FLASH, telephony::PHONELAMPMODE_FLUTTER};
  for (telephony::DWORD mode : kModes)
    if (telephony::lamp_mode_name(mode) == name) return static_cast<int>(mode);
  try {
    std::size_t used = 0;
    const int value = std::stoi(name, &used, 0);
    if (used == name.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

using Operation = std::function<int(components::KDPhone&, const PhoneOptions&)>;

int DrivePhone(CliContext& context, const PhoneOptions& options, const std::string& what,
               const Operation& operation) {
  std::ostream& err = context.streams.err;
  const auto program = assemble(context, assembly::ClockKind::Steady);
  if (program->config_refused()) return kExitBadArguments;
  assembly::ProgramAssembly& rig = *program;
  components::KDPhone phone(rig.loop(), rig.lines());
  int refused = 0;
  phone.OnLineState = [&](components::KDPhone&, components::TLineState s, int code) {
    if (s == components::lsError) refused = code;
  };
  if (const int r = phone.LineActive(options.line, true); r != 0) {
    err << "orvexa phone: line " << options.line << ": " << phone.GetErrorText(r) << " (" << r
        << ")\n";
    return kExitFailed;
  }
  int r = operation(phone, options);
  // The device answers on the loop; the component gives up after its time-out.
  if (r == 0) rig.loop().run_until([&] { return phone.PendingRequestCount() == 0; }, 1min);
  if (r == 0) r = refused;
  const telephony::PhoneDevice* device = rig.lines().phone_of_line(static_cast<telephony::DWORD>(options.line));
  if (device) context.streams.out << "line " << options.line << ": " << describe_phone(*device) << '\n';
  if (r != 0) {
    err << "orvexa phone " << what << ": " << phone.GetErrorText(r) << " (" << r << ")\n";
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

void register_phone_command(CLI::App& app, CommandSet& commands) {
  auto options = std::make_shared<PhoneOptions>();
  // Only the actions below run: the group itself has none.
  CLI::App* phone = app.add_subcommand("phone", "Drive the phone device beside a line");
  phone->require_subcommand(1);
  phone->fallthrough();
  phone->add_option("--line", options->line, "Line device number (default 0)");
  auto add = [&](const std::string& name, const std::string& description, Operation operation) {
    return commands.add(*phone, name, description, [options, name, operation](CliContext& c) {
      return DrivePhone(c, *options, name, operation);
    });
  };
  CLI::App* ring = add("ring", "Set the ring mode (0 is silence) and volume",
                       [](components::KDPhone& p, const PhoneOptions& o) {
                         return p.ExtPhoneSetRing(o.ring_mode, o.ring_volume);
                       });
  ring->add_option("MODE", options->ring_mode, "Ring mode")->required();
  ring->add_option("--volume", options->ring_volume, "0 to 65535 (default 65535)");
  CLI::App* lamp = add("lamp", "Set a lamp: off, steady, wink, flash, flutter",
                       [](components::KDPhone& p, const PhoneOptions& o) {
                         const auto mode = LampMode(o.lamp_mode);
                         return mode ? p.ExtPhoneSetLamp(o.lamp, *mode)
                                     : components::err::kInvalidArgument;
                       });
  lamp->add_option("INDEX", options->lamp, "Lamp number from 0")->required();
  lamp->add_option("MODE", options->lamp_mode, "Lamp mode")->required();
  CLI::App* display = add("display", "Write text on the display from a row and column",
                          [](components::KDPhone& p, const PhoneOptions& o) {
                            return p.ExtPhoneSetDisplay(o.row, o.column,
                                                        host::to_utf16(o.text));
                          });
  display->add_option("TEXT", options->text, "Text (cut to the display)")->required();
  display->add_option("--row", options->row, "Row from 0");
  display->add_option("--column", options->column, "Column from 0");
  CLI::App* hook = add("hookswitch", "Set the handset's or speaker's hook switch",
                       [](components::KDPhone& p, const PhoneOptions& o) {
                         components::TExtDev& dev =
                             o.device == "handset" ? p.ExtDevHandSet() : p.ExtDevAux();
                         return dev.SetMicSpeakerState(static_cast<std::uint8_t>(o.hook_state));
                       });
  hook->add_option("DEVICE", options->device, "handset or speaker")
      ->required()
      ->check(CLI::IsMember({"handset", "speaker"}));
  hook->add_option("STATE", options->hook_state,
                   "0 on hook, 1 microphone, 2 speaker, 3 microphone and speaker")
      ->required()
      ->check(CLI::Range(0, 3));
}

}  // namespace orvexa::cli
