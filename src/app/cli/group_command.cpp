// `orvexa group add|list|drop`: the groups of the contact database.
#include <CLI/CLI.hpp>
#include <istream>

#include "app/cli/contact_cli.h"
#include "app/data/data_messages.h"

namespace orvexa::cli {
namespace {

int add_group(CliContext& context, const std::string& name) {
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  auto created = store->create_group(name);
  return report(context, created.ok, created.messages, created.error);
}

int list_groups(CliContext& context) {
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  for (const data::Group& group : store->groups()) {
    auto count = store->count_members(group);
    context.streams.out << group.name << '\t';
    if (count) context.streams.out << *count;
    else context.streams.out << "?";
    context.streams.out << '\n';
  }
  return kExitDone;
}

bool confirmed(CliContext& context) {
  context.streams.err << data::text::kConfirmDrop << " [y/N] ";
  std::string answer;
  std::getline(context.streams.in, answer);
  return answer == "y" || answer == "yes" || answer == "بله";
}

int drop_group(CliContext& context, const std::string& name, bool yes) {
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  if (!store->find_group(name)) {
    context.streams.err << data::text::kChooseGroup << '\n';
    return kExitFailed;
  }
  if (!yes && !confirmed(context)) return kExitFailed;
  auto dropped = store->drop_group(name);
  return report(context, dropped.ok, dropped.messages, dropped.error);
}

}  // namespace

void register_group_command(CLI::App& app, CommandSet& commands) {
  CLI::App* group = app.add_subcommand("group", "Groups of the contact database");
  group->require_subcommand(1);
  auto name = std::make_shared<std::string>();
  auto yes = std::make_shared<bool>(false);
  commands.add(*group, "add", "Create a group", [name](CliContext& c) { return add_group(c, *name); })
      ->add_option("name", *name, "Group name, exactly as it should be shown")
      ->required();
  commands.add(*group, "list", "Each group's name and member count",
               [](CliContext& c) { return list_groups(c); });
  CLI::App* drop = commands.add(*group, "drop", "Drop a group and its members",
                                [name, yes](CliContext& c) { return drop_group(c, *name, *yes); });
  drop->add_option("name", *name, "Group name")->required();
  drop->add_flag("--yes", *yes, "Do not ask for confirmation");
}

}  // namespace orvexa::cli
