// `orvexa lines`: one row per line device, with what the device probe finds.
#include <CLI/CLI.hpp>
#include <iomanip>
#include <ostream>

#include "app/cli/cli.h"
#include "components/phone/kdphone.h"
#include "app/cli/assembled.h"
#include "platform/host/utf.h"

namespace orvexa::cli {

namespace {

std::string CapabilityWords(int word) {
  struct Bit {
    int bit;
    const char* name;
  };
  // The five the device dialog shows, in its order, then the rest of the word in hex.
  static constexpr Bit kBits[] = {{0x4, "caller-id"},
                                  {0x10, "pulse-digits"},
                                  {0x20, "tone-digits"},
                                  {0x1, "wave"},
                                  {0x2, "data-modem"}};
  std::string out;
  for (const Bit& b : kBits)
    if (word & b.bit) out += (out.empty() ? "" : ",") + std::string(b.name);
  return out.empty() ? "-" : out;
}

std::string WaveName(audio::AudioService& audio, int device, bool output) {
  if (device < 0) return "-";
  audio::WAVECAPS caps{};
  const auto r = output ? audio.waveOutGetDevCaps(static_cast<std::uint32_t>(device), &caps)
                        : audio.waveInGetDevCaps(static_cast<std::uint32_t>(device), &caps);
  if (r != 0) return std::to_string(device);
  return std::to_string(device) + " \"" + host::to_utf8(caps.szPname) + "\"";
}

// Each line's phone device: its counts and present state, or "-" for a line without one.
void ListPhones(std::ostream& out, telephony::LineService& lines, int count) {
  out << "line\tphone\n";
  for (int i = 0; i < count; ++i) {
    const telephony::PhoneDevice* phone = lines.phone_of_line(static_cast<telephony::DWORD>(i));
    out << i << '\t';
    if (!phone) {
      out << "-\n";
      continue;
    }
    const auto& n = phone->counts();
    out << n.ring_modes << " ring modes, " << n.lamps << " lamps, " << n.rows << "x" << n.columns
        << " display; " << describe_phone(*phone) << '\n';
  }
}

int ListLines(CliContext& context, bool phones) {
  // Real time, so that sip lines can register while they are listed.
  const auto program = assemble(context, assembly::ClockKind::Steady);
  if (program->config_refused()) return kExitBadArguments;
  assembly::ProgramAssembly& rig = *program;
  components::KDPhone phone(rig.loop(), rig.lines());
  const int count = phone.NumberOfLines();
  context.streams.out
      << "line\tname\tprovider\taddress\tcapabilities\twave in\twave out\tregistration"
         "\tchannels\n";
  for (int i = 0; i < count; ++i) {
    std::u16string name, address;
    int word = 0;
    phone.GetLineName(i, name);
    phone.GetAddressName(i, 0, address);
    const int probe = phone.GetLineCaps(i, word);
    // How many calls the line carries at once, each with its own audio.
    int channels = 0;
    const std::string calls =
        phone.GetMaxActiveCalls(i, channels) == 0 ? std::to_string(channels) : "?";
    std::string wave_in = "-", wave_out = "-";
    auto provider = rig.lines().provider_of(static_cast<telephony::DWORD>(i));
    if (phone.LineActive(i, true) == 0) {
      wave_in = WaveName(rig.audio(), phone.WaveRecID(), false);
      wave_out = WaveName(rig.audio(), phone.WavePlayID(), true);
      // A line that registers when it opens: wait a bounded moment for the registrar's answer.
      rig.settle(static_cast<std::size_t>(i), std::chrono::seconds(5));
      phone.LineActive(i, false);
    }
    const std::string registration = rig.device_state(static_cast<std::size_t>(i));
    std::ostringstream caps;
    caps << CapabilityWords(word) << " (0x" << std::hex << word << ")";
    if (probe != 0) caps << " probe error " << std::dec << probe;
    context.streams.out << i << '\t' << host::to_utf8(name) << '\t'
                        << (provider ? provider->first->name() : "?") << '\t'
                        << host::to_utf8(address) << '\t' << caps.str() << '\t' << wave_in
                        << '\t' << wave_out << '\t' << registration << '\t' << calls << '\n';
  }
  if (phones) ListPhones(context.streams.out, rig.lines(), count);
  // The lines that work are listed; a file with a broken line still fails the check.
  return rig.problems().empty() ? kExitDone : kExitBadArguments;
}

}  // namespace

void register_lines_command(CLI::App& app, CommandSet& commands) {
  auto phones = std::make_shared<bool>(false);
  CLI::App* lines =
      commands.add(app, "lines", "List the line devices with their capabilities and wave devices",
                   [phones](CliContext& context) { return ListLines(context, *phones); });
  lines->add_flag("--phone", *phones, "Also show each line's phone device and its state");
}

}  // namespace orvexa::cli
