// The command line: global options, the subcommands, and what the program entry does next.
//
//   CliOutcome outcome = run_cli(argc, argv, {std::cout, std::cerr, std::cin});
//   if (outcome.open_gui) ...;  else return outcome.exit_code;
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace orvexa::cli {

// Exit codes shared by every subcommand.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

struct Streams {
  std::ostream& out;  // results and status logs (UTF-8)
  std::ostream& err;  // messages
  std::istream& in;
};

// What a subcommand's action sees once the arguments are parsed.
struct CliContext {
  Streams streams;
  std::filesystem::path program_folder;
  std::string program_folder_reason;
};

using CommandAction = std::function<int(CliContext&)>;

// Subcommands register here; the one the user chose runs after parsing.
class CommandSet {
 public:
  // Adds a subcommand and returns it so that its options can be declared.
  CLI::App* add(CLI::App& parent, const std::string& name, const std::string& description,
                CommandAction action);
  const CommandAction* chosen() const { return chosen_ ? &*chosen_ : nullptr; }

 private:
  std::optional<CommandAction> chosen_;
};

struct CliOutcome {
  bool open_gui = false;
  int exit_code = kExitDone;
  std::filesystem::path program_folder;
};

// `argv[0]` names the executable; its folder is the default program folder.
CliOutcome run_cli(const std::vector<std::string>& args, Streams streams);
CliOutcome run_cli(int argc, char** argv, Streams streams);

// Every subcommand of the program (one registration function per command file).
void register_commands(CLI::App& app, CommandSet& commands);

}  // namespace orvexa::cli
