// `orvexa backup DIR` and `orvexa restore DIR`: the contact database to and from a folder.
#include <CLI/CLI.hpp>

#include "app/cli/contact_cli.h"
#include "app/data/backup.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {
namespace {

int run_copy(CliContext& context, const data::CopyReport& copy) {
  if (!copy.ok && copy.messages.empty()) return report(context, false, {copy.path_field});
  return report(context, copy.ok, copy.messages, copy.error);
}

}  // namespace

void register_backup_command(CLI::App& app, CommandSet& commands) {
  auto folder = std::make_shared<std::string>();
  commands
      .add(app, "backup", "Copy the contact database into DIR/Orvexa Backup/",
           [folder](CliContext& context) {
             auto store = open_contacts(context);
             if (!store) return kExitFailed;
             messaging::SteadyClock clock;
             return run_copy(context, data::backup_database(*store, *folder,
                                                            data::solar_today(clock), {}));
           })
      ->add_option("dir", *folder, "Folder that receives \"Orvexa Backup\"")
      ->required();
  commands
      .add(app, "restore", "Replace the contact database with DIR/OrvexaBack.cfg",
           [folder](CliContext& context) {
             auto store = open_contacts(context);
             if (!store) return kExitFailed;
             return run_copy(context, data::restore_database(*store, *folder, {}));
           })
      ->add_option("dir", *folder, "Folder holding OrvexaBack.cfg")
      ->required();
}

}  // namespace orvexa::cli
