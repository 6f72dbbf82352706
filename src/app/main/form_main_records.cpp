// TForm1 and calls.db: what the window asks at start about a file it cannot use and about a
// campaign a previous run left unfinished.
#include "app/campaign/pre_call_settings.h"
#include "app/main/form_main.h"
#include "app/main/page_dialogs.h"
#include "app/main/window_records.h"

namespace orvexa::app {

void TForm1::check_records() {
  if (!deps_.records) return;
  if (deps_.records->db()) {
    offer_unfinished_campaign();
    return;
  }
  // Without an answer the campaigns stay refused, as they are without a record.
  if (deps_.questions && deps_.questions->confirm(deps_.records->run_unrecorded_question())) {
    log_.append(std::string(records_text::kNotRecorded));
  } else {
    records_refusal_ = deps_.records->refusal();
  }
}

void TForm1::offer_unfinished_campaign() {
  if (!deps_.questions) return;
  auto unfinished = deps_.records->unfinished();
  if (!unfinished) return;
  const auto& recorded = unfinished->plan.campaign;
  if (!deps_.questions->confirm(unfinished->question)) {
    // Declined once: not asked again (orvexa run --resume still continues it by its number).
    deps_.records->db()->mark(recorded.id, campaign::CampaignState::Stopped);
    return;
  }
  if (!deps_.records->recorder()->reopen(recorded.id)) {
    deps_.dialogs.message_box(deps_.records->recorder()->problem());
    return;
  }
  // The campaign goes on with the messages and settings it was started with.
  paths_.opening = recorded.opening.path;
  paths_.main = recorded.main.path;
  settings_ = campaign::settings_from_text(recorded.settings, settings_);
  refresh_paths();
  use_active_line();
  engine_->resume({recorded.id, recorded.choice, records::plan_groups(std::move(unfinished->plan.members))});
  refresh_channel_table();
}

}  // namespace orvexa::app
