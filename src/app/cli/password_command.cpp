// `orvexa password set` (digits on standard input, once or twice) and `orvexa password remove`.
#include <CLI/CLI.hpp>
#include <istream>

#include "app/access/password_file.h"
#include "app/cli/cli.h"

namespace orvexa::cli {
namespace {

access::PasswordLocations locations(const CliContext& context) {
  access::PasswordLocations where;
  where.program_folder = context.program_folder;
  return where;
}

int finish(CliContext& context, const access::PasswordChange& change) {
  std::ostream& out = change.ok ? context.streams.out : context.streams.err;
  for (const auto& message : change.messages) out << message << '\n';
  return change.ok ? kExitDone : kExitFailed;
}

std::string line_without_cr(std::istream& in) {
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void register_password_command(CLI::App& app, CommandSet& commands) {
  CLI::App* password = app.add_subcommand("password", "The login password");
  password->require_subcommand(1);
  commands.add(*password, "set", "Set the password: its digits on standard input (a second line repeats them)",
               [](CliContext& context) {
                 const std::string first = line_without_cr(context.streams.in);
                 std::string repeat = line_without_cr(context.streams.in);
                 if (repeat.empty() && context.streams.in.eof()) repeat = first;
                 return finish(context, access::set_password(locations(context), first, repeat,
                                                             access::HashCost::interactive()));
               });
  commands.add(*password, "remove", "Remove the password", [](CliContext& context) {
    return finish(context, access::remove_password(locations(context)));
  });
}

}  // namespace orvexa::cli
