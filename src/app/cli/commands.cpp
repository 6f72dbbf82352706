// The list of subcommands: each command file adds one line here.
#include "app/cli/cli.h"

namespace orvexa::cli {

void register_sip_command(CLI::App& app, CommandSet& commands);

void register_commands(CLI::App& app, CommandSet& commands) {
  register_sip_command(app, commands);
}

}  // namespace orvexa::cli
