// `orvexa holidays list|add|remove|move|import`: the official holidays and the operator's changes
// to them (kept in calls.db), which campaigns with --calling-hours do not call on.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

#include "app/cli/cli.h"
#include "app/data/holiday_text.h"
#include "app/data/solar_days.h"
#include "app/records/calls_database.h"
#include "app/records/holiday_store.h"
#include "app/schedule/calling_hours.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {

namespace {

struct HolidayArguments {
  std::optional<int> year;
  std::string date, to, name, file;
};

int with_store(CliContext& c, const std::function<int(records::HolidayStore&)>& use) {
  auto opened = records::CallsDatabase::open(c.program_folder / records::kCallsFile);
  if (!opened) {
    c.streams.err << opened.error() << '\n';
    return kExitFailed;
  }
  messaging::SteadyClock clock;
  records::HolidayStore store(*opened.db, clock);
  return use(store);
}

// The date, or nullopt with the reason on standard error.
std::optional<data::SolarDate> read_date(CliContext& c, std::string_view command, const std::string& text) {
  auto read = data::read_holiday_date(text);
  if (!read.date) c.streams.err << "orvexa holidays " << command << ": " << read.problem << '\n';
  return read.date;
}

std::string_view kind_of(const data::Holiday& h) {
  if (h.source == data::HolidaySource::Operator) return "yours";
  return h.estimate ? "estimate" : "official";
}

int list_holidays(CliContext& c, const HolidayArguments& a) {
  messaging::SteadyClock clock;
  const int year = a.year.value_or(data::solar_today(clock).year);
  return with_store(c, [&](records::HolidayStore& store) {
    const data::HolidayCalendar calendar(year - 1, year + 1, store.changes());
    for (const data::Holiday& h : calendar.holidays_in(year)) {
      const auto day = data::solar_weekday(h.date);
      c.streams.out << h.date.text() << "  " << (day ? schedule::weekday_key(*day) : "?") << "  " << h.name
                    << "  " << kind_of(h) << '\n';
    }
    return kExitDone;
  });
}

int add_holiday(CliContext& c, const HolidayArguments& a) {
  const auto date = read_date(c, "add", a.date);
  if (!date) return kExitBadArguments;
  // The import's rules for a name (not empty, no control characters), on the one line.
  const auto read = data::parse_holiday_text(date->text() + " " + a.name);
  if (read.holidays.size() != 1 || !read.errors.empty()) {
    c.streams.err << "orvexa holidays add: the name is empty or holds a control character\n";
    return kExitBadArguments;
  }
  return with_store(c, [&](records::HolidayStore& store) {
    if (!store.add(read.holidays)) {
      c.streams.err << "orvexa holidays add: calls.db could not be written\n";
      return kExitFailed;
    }
    c.streams.out << date->text() << " is a holiday: " << read.holidays[0].name << '\n';
    return kExitDone;
  });
}

int report_edit(CliContext& c, std::string_view command, const data::SolarDate& date, records::HolidayEdit edit) {
  if (edit == records::HolidayEdit::NotAHoliday) {
    c.streams.err << "orvexa holidays " << command << ": " << date.text() << " is not a holiday\n";
    return kExitFailed;
  }
  if (edit == records::HolidayEdit::Failed) {
    c.streams.err << "orvexa holidays " << command << ": calls.db could not be written\n";
    return kExitFailed;
  }
  return kExitDone;
}

int remove_holiday(CliContext& c, const HolidayArguments& a) {
  const auto date = read_date(c, "remove", a.date);
  if (!date) return kExitBadArguments;
  return with_store(c, [&](records::HolidayStore& store) {
    const int code = report_edit(c, "remove", *date, store.remove(*date));
    if (code == kExitDone) c.streams.out << date->text() << " is no longer a holiday\n";
    return code;
  });
}

int move_holiday(CliContext& c, const HolidayArguments& a) {
  const auto from = read_date(c, "move", a.date);
  const auto to = from ? read_date(c, "move", a.to) : std::nullopt;
  if (!from || !to) return kExitBadArguments;
  return with_store(c, [&](records::HolidayStore& store) {
    const int code = report_edit(c, "move", *from, store.move(*from, *to));
    if (code == kExitDone) c.streams.out << "the holiday of " << from->text() << " is on " << to->text() << '\n';
    return code;
  });
}

int import_holidays(CliContext& c, const HolidayArguments& a) {
  std::ifstream in(a.file, std::ios::binary);
  if (!in) {
    c.streams.err << "orvexa holidays import: cannot read " << a.file << '\n';
    return kExitFailed;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto read = data::parse_holiday_text(text);
  for (const auto& e : read.errors) c.streams.err << a.file << ": " << e << '\n';
  return with_store(c, [&](records::HolidayStore& store) {
    if (!store.add(read.holidays)) {
      c.streams.err << "orvexa holidays import: calls.db could not be written\n";
      return kExitFailed;
    }
    c.streams.out << read.holidays.size() << " added, " << read.errors.size() << " refused\n";
    return read.errors.empty() ? kExitDone : kExitFailed;
  });
}

}  // namespace

void register_holidays_command(CLI::App& app, CommandSet& commands) {
  CLI::App* holidays = app.add_subcommand("holidays", "The holidays campaigns with --calling-hours do not call on");
  holidays->require_subcommand(1);
  auto a = std::make_shared<HolidayArguments>();
  CLI::App* list = commands.add(*holidays, "list", "Each holiday of a year: date, weekday, name, and whose",
                                [a](CliContext& c) { return list_holidays(c, *a); });
  list->add_option("--year", a->year, "Solar year (default: this one)");
  CLI::App* add =
      commands.add(*holidays, "add", "A holiday of your own", [a](CliContext& c) { return add_holiday(c, *a); });
  add->add_option("date", a->date, "YYYY/MM/DD (Solar)")->required();
  add->add_option("name", a->name, "What the day is")->required();
  CLI::App* remove = commands.add(*holidays, "remove", "The day is no longer a holiday",
                                  [a](CliContext& c) { return remove_holiday(c, *a); });
  remove->add_option("date", a->date, "YYYY/MM/DD (Solar)")->required();
  CLI::App* move = commands.add(*holidays, "move", "Move the holidays of one day to another",
                                [a](CliContext& c) { return move_holiday(c, *a); });
  move->add_option("from", a->date, "YYYY/MM/DD (Solar)")->required();
  move->add_option("to", a->to, "YYYY/MM/DD (Solar)")->required();
  CLI::App* import = commands.add(*holidays, "import", "Holidays of your own from a text file",
                                  [a](CliContext& c) { return import_holidays(c, *a); });
  import->add_option("file", a->file, "UTF-8 text, \"YYYY/MM/DD name\" a line; # starts a comment line")->required();
}

}  // namespace orvexa::cli
