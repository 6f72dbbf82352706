// The program's assembly for a subcommand: every problem with orvexa.toml goes to standard
// error as it is found.
//
//   auto program = assemble(context, assembly::ClockKind::Steady);
//   if (program->config_refused()) return kExitBadArguments;
#pragma once

#include <memory>

#include "app/assembly/program_assembly.h"
#include "app/cli/cli.h"

namespace orvexa::cli {

inline std::unique_ptr<assembly::ProgramAssembly> assemble(
    CliContext& context, assembly::ClockKind clock,
    assembly::SoundDevices sound = assembly::SoundDevices::System) {
  assembly::AssemblyOptions options;
  options.clock = clock;
  options.sound = sound;
  std::ostream& err = context.streams.err;
  return std::make_unique<assembly::ProgramAssembly>(
      context.program_folder, std::move(options), [&err](const std::string& e) { err << e << '\n'; });
}

}  // namespace orvexa::cli
