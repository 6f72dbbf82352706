// `orvexa solar [YYYY-MM-DD]`: the Solar Hijri date of a Gregorian day, today by default.
#include <CLI/CLI.hpp>

#include "app/cli/cli.h"
#include "app/data/solar_date.h"
#include "platform/messaging/clock.h"

namespace orvexa::cli {

void register_solar_command(CLI::App& app, CommandSet& commands) {
  auto date = std::make_shared<std::string>();
  CLI::App* solar = commands.add(app, "solar", "Print the Solar Hijri date (YYYY/MM/DD)",
                                 [date](CliContext& context) {
    if (date->empty()) {
      messaging::SteadyClock clock;
      context.streams.out << data::solar_today(clock).text() << '\n';
      return kExitDone;
    }
    auto gregorian = data::parse_gregorian(*date);
    auto solar = gregorian ? data::solar_from_gregorian(*gregorian) : std::nullopt;
    if (!solar) {
      context.streams.err << "orvexa solar: not a date in the form YYYY-MM-DD: " << *date << '\n';
      return kExitFailed;
    }
    context.streams.out << solar->text() << '\n';
    return kExitDone;
  });
  solar->add_option("date", *date, "Gregorian date, YYYY-MM-DD (default: today)");
}

}  // namespace orvexa::cli
