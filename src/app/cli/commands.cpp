// The list of subcommands: each command file adds one line here.
#include "app/cli/cli.h"

namespace orvexa::cli {

void register_commands(CLI::App&, CommandSet&) {}

}  // namespace orvexa::cli
