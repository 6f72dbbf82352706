#include "app/cli/cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "platform/host/program_folder.h"

namespace orvexa::cli {

CLI::App* CommandSet::add(CLI::App& parent, const std::string& name,
                          const std::string& description, CommandAction action) {
  CLI::App* sub = parent.add_subcommand(name, description);
  sub->callback([this, action = std::move(action)] { chosen_ = action; });
  return sub;
}

namespace {

constexpr const char* kVersion = "Orvexa 5.0";

std::string usage_of(const CLI::App& app) { return app.help("", CLI::AppFormatMode::Normal); }

}  // namespace

CliOutcome run_cli(const std::vector<std::string>& args, Streams streams) {
  CLI::App app{"Orvexa: telephone announcements and reminders for Persian-speaking offices.",
               "orvexa"};
  app.set_version_flag("--version", kVersion);
  std::optional<std::filesystem::path> home;
  app.add_option("--home", home, "Program folder (default: ORVEXA_HOME, else the program's folder)");
  app.footer("With no subcommand the main window opens.");

  CommandSet commands;
  commands.add(app, "gui", "Open the main window", [](CliContext&) { return kExitDone; });
  register_commands(app, commands);

  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    streams.out << usage_of(app);
    return {false, kExitDone, {}};
  } catch (const CLI::CallForAllHelp&) {
    streams.out << app.help("", CLI::AppFormatMode::All);
    return {false, kExitDone, {}};
  } catch (const CLI::CallForVersion&) {
    streams.out << kVersion << '\n';
    return {false, kExitDone, {}};
  } catch (const CLI::ParseError& e) {
    streams.err << "orvexa: " << e.what() << "\n\n" << usage_of(app);
    return {false, kExitBadArguments, {}};
  }

  const std::filesystem::path exe =
      host::executable_path(args.empty() ? std::filesystem::path("orvexa") : std::filesystem::path(args.front()));
  host::FolderChoice folder = host::resolve_program_folder(home, exe);
  CliContext context{streams, folder.folder, folder.why};

  const CommandAction* action = commands.chosen();
  if (!action || app.got_subcommand("gui")) return {true, kExitDone, folder.folder};
  return {false, (*action)(context), folder.folder};
}

CliOutcome run_cli(int argc, char** argv, Streams streams) {
  return run_cli(std::vector<std::string>(argv, argv + argc), streams);
}

}  // namespace orvexa::cli
