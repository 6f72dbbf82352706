// The list of subcommands: each command file adds one line here.
#include "app/cli/cli.h"

namespace orvexa::cli {

void register_sip_command(CLI::App& app, CommandSet& commands);
void register_solar_command(CLI::App& app, CommandSet& commands);
void register_group_command(CLI::App& app, CommandSet& commands);
void register_member_command(CLI::App& app, CommandSet& commands);
void register_backup_command(CLI::App& app, CommandSet& commands);
void register_password_command(CLI::App& app, CommandSet& commands);
void register_wave_command(CLI::App& app, CommandSet& commands);
void register_run_command(CLI::App& app, CommandSet& commands);
void register_lines_command(CLI::App& app, CommandSet& commands);
void register_call_command(CLI::App& app, CommandSet& commands);
void register_phone_command(CLI::App& app, CommandSet& commands);
void register_message_command(CLI::App& app, CommandSet& commands);
void register_report_command(CLI::App& app, CommandSet& commands);
void register_dnc_command(CLI::App& app, CommandSet& commands);
void register_schedule_command(CLI::App& app, CommandSet& commands);
void register_holidays_command(CLI::App& app, CommandSet& commands);

void register_commands(CLI::App& app, CommandSet& commands) {
  register_sip_command(app, commands);
  register_solar_command(app, commands);
  register_group_command(app, commands);
  register_member_command(app, commands);
  register_backup_command(app, commands);
  register_password_command(app, commands);
  register_wave_command(app, commands);
  register_run_command(app, commands);
  register_lines_command(app, commands);
  register_call_command(app, commands);
  register_phone_command(app, commands);
  register_message_command(app, commands);
  register_report_command(app, commands);
  register_dnc_command(app, commands);
  register_schedule_command(app, commands);
  register_holidays_command(app, commands);
}

}  // namespace orvexa::cli
