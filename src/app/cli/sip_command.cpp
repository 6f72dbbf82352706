// `orvexa sip check --line N`: one registration of a sip line, its outcome and round trip.
#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "app/assembly/line_configuration.h"
#include "app/cli/cli.h"
#include "platform/sip/registration_check.h"
#include "platform/sip/sip_config.h"

namespace orvexa::cli {
namespace {

// libre gives up on an unanswered request after 32 s; wait a little longer than that.
constexpr std::chrono::seconds kCheckLimit{40};

int sip_check(CliContext& context, int line_number) {
  const assembly::LineConfiguration lines = assembly::read_line_configuration(context.program_folder);
  const auto& file = lines.file;
  if (!lines.file_error.empty()) {
    context.streams.err << lines.file_error << '\n';
    return kExitBadArguments;
  }
  const sip::SipConfigResult config =
      sip::read_sip_lines(lines.tables_of("sip"), file.string(), lines.password_exposed);
  // Line numbers count the [[line]] tables of the file from 0.
  const int table_index = line_number + 1;
  bool broken = false;
  for (const auto& e : config.errors) {
    if (e.table_index == 0 || e.table_index == table_index) {
      context.streams.err << e.text << '\n';
      broken = true;
    }
  }
  if (broken) return kExitBadArguments;
  const sip::SipLineConfig* line = nullptr;
  for (const auto& l : config.lines)
    if (l.table_index == table_index) line = &l;
  if (line == nullptr) {
    context.streams.err << "orvexa: line " << line_number << " of " << file.string()
                        << " is not a sip line\n";
    return kExitBadArguments;
  }
  if (!line->do_register) {
    context.streams.out << "line " << line_number << " \"" << line->name
                        << "\": not registering (register = false)\n";
    return kExitFailed;
  }
  const sip::RegistrationStatus s = sip::check_registration(*line, kCheckLimit);
  context.streams.out << "line " << line_number << " \"" << line->name << "\": " << describe(s);
  if (s.code != 0) context.streams.out << ", code " << s.code;
  context.streams.out << ", round trip " << s.round_trip.count() << " ms\n";
  return s.state == sip::RegistrationStatus::State::Registered ? kExitDone : kExitFailed;
}

}  // namespace

void register_sip_command(CLI::App& app, CommandSet& commands) {
  CLI::App* sip = app.add_subcommand("sip", "SIP lines");
  sip->require_subcommand(1);
  auto line = std::make_shared<int>(0);
  CLI::App* check = commands.add(*sip, "check", "Register a sip line once and print the outcome",
                                 [line](CliContext& c) { return sip_check(c, *line); });
  check->add_option("--line", *line, "Line number (the [[line]] tables of orvexa.toml, from 0)")
      ->required()
      ->check(CLI::NonNegativeNumber);
}

}  // namespace orvexa::cli
