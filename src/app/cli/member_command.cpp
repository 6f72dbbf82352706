// `orvexa member add|list|import|export`: the members of one group.
#include <CLI/CLI.hpp>

#include "app/cli/contact_cli.h"
#include "app/data/data_messages.h"
#include "app/data/member_csv.h"
#include "platform/host/atomic_file.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {
namespace {

struct MemberOptions {
  std::string group, phone, name, family, shsh, code;
  std::string birthday, marriage, contract, last_instalment;
  std::vector<std::string> instalments;
  std::string filter, date, file;
  bool local = false;
  bool as_typed = false;
};

// "MM/DD" into the dialog's month and day fields (Persian digits accepted).
std::optional<data::DateFields> date_fields(const std::string& text) {
  if (text.empty()) return data::DateFields{};
  const std::string ascii = data::ascii_digits(text);
  const auto slash = ascii.find('/');
  if (slash == std::string::npos) return std::nullopt;
  return data::DateFields{ascii.substr(slash + 1), ascii.substr(0, slash)};
}

std::optional<data::MemberEntry> entry_from(const MemberOptions& o, std::ostream& err) {
  data::MemberEntry entry{o.name, o.family, data::ascii_digits(o.shsh), data::ascii_digits(o.code),
                          o.phone};
  auto birthday = date_fields(o.birthday), marriage = date_fields(o.marriage),
       contract = date_fields(o.contract);
  if (!birthday || !marriage || !contract) {
    err << "orvexa member add: dates are MM/DD\n";
    return std::nullopt;
  }
  entry.birthday = *birthday;
  entry.marriage = *marriage;
  entry.contract = *contract;
  if (o.instalments.size() > entry.instalments.size()) {
    err << "orvexa member add: at most 12 instalments\n";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < o.instalments.size(); ++i) {
    auto fields = date_fields(o.instalments[i]);
    if (!fields) {
      err << "orvexa member add: dates are MM/DD\n";
      return std::nullopt;
    }
    entry.instalments[i] = *fields;
  }
  if (!o.last_instalment.empty()) {
    const std::string ascii = data::ascii_digits(o.last_instalment);
    const auto first = ascii.find('/'), second = ascii.rfind('/');
    if (first == std::string::npos || first == second) {
      err << "orvexa member add: the last instalment is YYYY/MM/DD\n";
      return std::nullopt;
    }
    entry.last_instalment_year = ascii.substr(0, first);
    entry.last_instalment = {ascii.substr(second + 1), ascii.substr(first + 1, second - first - 1)};
  }
  return entry;
}

std::optional<data::Group> chosen_group(CliContext& context, data::ContactStore& store,
                                        const std::string& name) {
  auto group = store.find_group(name);
  if (!group) context.streams.err << data::text::kChooseGroup << '\n';
  return group;
}

int add_member(CliContext& context, const MemberOptions& o) {
  auto entry = entry_from(o, context.streams.err);
  if (!entry) return kExitBadArguments;
  if (!o.as_typed) {
    auto number = data::dialable_number(o.phone, o.local);
    if (!number) {
      context.streams.err << "orvexa member add: " << o.phone << ": no usable telephone number\n";
      return kExitFailed;
    }
    entry->num = *number;
  }
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  auto group = chosen_group(context, *store, o.group);
  if (!group) return kExitFailed;
  auto inserted = store->insert_member(*group, *entry);
  return report(context, inserted.ok, inserted.messages, inserted.error);
}

int list_members(CliContext& context, const MemberOptions& o) {
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  auto group = chosen_group(context, *store, o.group);
  if (!group) return kExitFailed;
  std::optional<data::MemberFilter> filter;
  if (!o.filter.empty()) {
    auto fields = date_fields(o.date);
    data::FilterFields typed{fields ? fields->day : "", fields ? fields->month : ""};
    messaging::SteadyClock clock;
    auto prepared = data::prepare_filter(true, typed, *data::date_kind_from_name(o.filter),
                                         data::solar_today(clock));
    if (prepared.refused) return report(context, false, {data::kFilterDateMessage});
    filter = prepared.filter;
  }
  auto rows = store->members(*group, filter ? &*filter : nullptr);
  if (!rows) return report(context, false, {data::text::kOperationFailed}, store->last_error());
  for (const data::Member& m : *rows)
    context.streams.out << m.id << '\t' << m.num << '\t' << m.name << '\t' << m.family << '\n';
  return kExitDone;
}

int import_members(CliContext& context, const MemberOptions& o) {
  std::error_code error;
  auto text = host::read_file(o.file, error);
  if (!text) {
    context.streams.err << "orvexa member import: " << o.file << ": " << error.message() << '\n';
    return kExitFailed;
  }
  auto prepared = data::prepare_import(*text, o.local);
  if (!prepared.error.empty()) {
    context.streams.err << "orvexa member import: " << o.file << ": " << prepared.error << '\n';
    return kExitFailed;
  }
  for (const auto& skipped : prepared.skipped)
    context.streams.err << o.file << ":" << skipped.line << ": " << skipped.reason << ", skipped\n";
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  auto group = chosen_group(context, *store, o.group);
  if (!group) return kExitFailed;
  auto stored = store->insert_rows(*group, prepared.rows);
  if (!stored.ok) return report(context, false, stored.messages, stored.error);
  context.streams.out << "added " << prepared.rows.size() << ", skipped " << prepared.skipped.size()
                      << '\n';
  return kExitDone;
}

int export_members(CliContext& context, const MemberOptions& o) {
  auto store = open_contacts(context);
  if (!store) return kExitFailed;
  auto group = chosen_group(context, *store, o.group);
  if (!group) return kExitFailed;
  auto rows = store->members(*group);
  if (!rows) return report(context, false, {data::text::kOperationFailed}, store->last_error());
  context.streams.out << data::export_csv(*rows);
  return kExitDone;
}

}  // namespace

void register_member_command(CLI::App& app, CommandSet& commands) {
  CLI::App* member = app.add_subcommand("member", "Members of a group");
  member->require_subcommand(1);
  auto o = std::make_shared<MemberOptions>();
  auto with_group = [&](CLI::App* sub) {
    sub->add_option("--group", o->group, "Group name")->required();
    return sub;
  };
  CLI::App* add = with_group(
      commands.add(*member, "add", "Add a member", [o](CliContext& c) { return add_member(c, *o); }));
  add->add_option("--phone", o->phone, "Telephone number")->required();
  add->add_option("--name", o->name);
  add->add_option("--family", o->family);
  add->add_option("--shsh", o->shsh, "Birth certificate number");
  add->add_option("--code", o->code, "National or other identifying code");
  add->add_option("--birthday", o->birthday, "MM/DD");
  add->add_option("--marriage", o->marriage, "MM/DD");
  add->add_option("--contract", o->contract, "MM/DD");
  add->add_option("--instalment", o->instalments, "MM/DD, repeatable (up to 12)");
  add->add_option("--last-instalment", o->last_instalment, "YYYY/MM/DD");
  add->add_flag("--local", o->local, "Write a +98/0098 number in the 0 form");
  add->add_flag("--as-typed", o->as_typed,
                "Store the number exactly as given, as the member page does");

  CLI::App* list = with_group(commands.add(*member, "list", "List members, optionally filtered",
                                           [o](CliContext& c) { return list_members(c, *o); }));
  list->add_option("--filter", o->filter, "Date kind")
      ->check(CLI::IsMember({"birthday", "marriage", "contract", "instalments"}));
  list->add_option("--date", o->date, "MM/DD the filter compares with");

  CLI::App* import = with_group(commands.add(*member, "import", "Add members from a CSV file",
                                             [o](CliContext& c) { return import_members(c, *o); }));
  import->add_option("file", o->file, "CSV file with a header row")->required();
  import->add_flag("--local", o->local, "Write +98/0098 numbers in the 0 form");

  with_group(commands.add(*member, "export", "Write the members as CSV to standard output",
                          [o](CliContext& c) { return export_members(c, *o); }));
}

}  // namespace orvexa::cli
