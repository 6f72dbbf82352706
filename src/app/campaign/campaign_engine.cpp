#include "app/campaign/campaign_engine.h"

#include "app/campaign/campaign_texts.h"

namespace orvexa::campaign {

CampaignEngine::CampaignEngine(messaging::Loop& loop, CampaignDeps deps)
    : window_(loop, [this](messaging::UINT m, messaging::WPARAM w, messaging::LPARAM) {
        return window_proc(m, w);
      }),
      d_(deps),
      flow_(loop, deps.line, deps.voice, deps.log, deps.settings, deps.paths, deps.dialogs) {
  flow_.on_disconnected([this] {
    close_attempt(d_.line.call_cause());
    window_.set_timer(kTimer12, kBetweenCalls);
  });
}

CampaignEngine::~CampaignEngine() {
  if (attempt_open_) {
    flow_.facts().interrupted = true;
    close_attempt(d_.line.call_cause());
  }
  if (operation_open_ && !paused_) recorder().finish(CampaignState::Interrupted);
}

void CampaignEngine::stop() {
  stopped_by_operator_ = true;
  // The call the operator cuts short reached nobody as far as the campaign is concerned.
  if (attempt_open_) flow_.facts().interrupted = true;
  end_operation(false);
}

messaging::LRESULT CampaignEngine::window_proc(messaging::UINT message, messaging::WPARAM id) {
  if (message != messaging::WM_TIMER) return 0;
  window_.kill_timer(id);
  if (id == kTimer12) next_step_decision();
  if (id == kTimer14) power_off();
  return 0;
}

void CampaignEngine::stop_voice() {
  d_.voice.rec_stop();
  d_.voice.play_stop();
  d_.view.enable_message_buttons();
}

StartResult CampaignEngine::start(const CampaignRequest& request) {
  if (running_) return StartResult::Refused;
  stop_voice();
  mode_single_ = mode_group_ = mode_all_groups_ = group_has_more_ = false;
  resuming_ = paused_ = stopped_by_operator_ = false;
  flow_.marks().reset_for_new_number();
  d_.members.clear_filter();
  if (d_.paths.opening.empty()) return refuse(text::kNoOpeningMessage, false);
  if (d_.paths.main.empty()) return refuse(text::kNoMainMessage, false);
  if (request.filter && !d_.members.set_filter(*request.filter)) {
    return refuse(text::kBadFilterDate, false);
  }
  switch (request.choice) {
    case CampaignChoice::OneNumber:
      return start_one_number(request);
    case CampaignChoice::OneGroup:
      return start_one_group(request);
    case CampaignChoice::AllGroups:
      return start_all_groups(request);
  }
  return StartResult::Refused;
}

void CampaignEngine::log_group_header(std::string_view header) {
  std::string line(header);
  line += group_name_;
  d_.log.append(text::kSeparator);
  d_.log.append(line);
}

StartResult CampaignEngine::refuse(std::string_view text, bool activity_started) {
  // The indicator was started with the date line; an idle window should not look busy.
  if (activity_started) d_.view.show_activity(false);
  d_.dialogs.message_box(text);
  return StartResult::Refused;
}

void CampaignEngine::begin_activity() {
  d_.view.focus_sink();
  d_.view.show_activity(true);
  d_.log.append(date_line(d_.view.solar_date_text(), d_.view.time_text()));
}

void CampaignEngine::lock_window() {
  running_ = true;
  operation_open_ = true;
  d_.view.set_running(true);
}

StartResult CampaignEngine::start_one_number(const CampaignRequest& request) {
  if (request.number.empty()) return refuse(text::kNoNumber, false);
  // The number shown is the number dialled, whatever an earlier group campaign left in num.
  num_ = request.number;
  d_.view.set_number(num_);
  begin_activity();
  set_plan({PlannedGroup{{}, {CampaignMember{.number = num_}}, std::nullopt}});
  if (!begin_record(request)) return refuse(recorder().problem(), true);
  lock_window();
  d_.log.append(text::kSeparator);
  d_.log.append(text::kOneNumberHeader);
  d_.view.set_labels(std::string(text::kOneNumberHeader), "1", "1");
  d_.view.set_gauge(100, 100);
  mode_single_ = true;
  dial_one_number();
  return StartResult::Started;
}

void CampaignEngine::dial_one_number() {
  if (!running_) return;
  auto& marks = flow_.marks();
  if (!marks.first_attempt && !marks.retry_wanted()) {
    mode_single_ = false;
    return;
  }
  if (!marks.first_attempt) {
    mode_single_ = false;
    d_.log.append(text::kSeparator);
    d_.log.append(text::kRetry);
  }
  d_.view.set_labels(std::string(text::kOneNumberCaption), "1", "1");
  d_.view.set_gauge(100, 100);
  marks.wait_count = 0;
  dial(num_);
}

void CampaignEngine::dial(const std::string& number) {
  flow_.reset_facts();
  attempt_ = AttemptStart{current_group_ < group_offsets_.size() && member_position_ > 0
                              ? group_offsets_[current_group_] + static_cast<std::size_t>(member_position_ - 1)
                              : 0,
                          flow_.marks().first_attempt ? 1 : 2, d_.line.active_device(), 0,
                          window_.loop().clock().wall_now()};
  // No call without its record: a store that cannot take it pauses the campaign.
  if (!recorder().attempt_started(attempt_)) {
    pause_for_records();
    return;
  }
  attempt_open_ = true;
  ++flow_.tally().attempts;
  const int result = d_.line.dial(number);
  d_.log.append(text::kSeparator);
  std::string line(text::kCalleeNumber);
  line += number;
  d_.log.append(line);
  if (result == 0) return;
  d_.log.append(text::kDialFailed);
  // No call means no disconnected state to move on from: count it as unanswered instead.
  ++flow_.tally().failed;
  flow_.record_failed_attempt();
  flow_.facts().dial_refused = true;
  CallCause cause = d_.line.call_cause();
  cause.line_error = result;
  close_attempt(std::move(cause));
  if (!paused_) window_.set_timer(kTimer12, kBetweenCalls);
}

void CampaignEngine::show_group_progress() {
  d_.view.set_labels(group_name_, std::to_string(member_position_), std::to_string(member_total_));
  d_.view.set_gauge(member_total_, member_position_);
}

StartResult CampaignEngine::start_one_group(const CampaignRequest& request) {
  if (request.group_name.empty()) return refuse(text::kNoGroupChosen, false);
  begin_activity();
  const auto groups = d_.members.groups();
  const GroupRow* row = nullptr;
  for (const auto& g : groups) {
    if (g.gname == request.group_name) row = &g;
  }
  if (!row) return refuse(text::kNoGroupChosen, true);
  auto group = read_group(*row);
  if (group->open_error) {
    d_.dialogs.error_box(*group->open_error);
    d_.view.show_activity(false);
    return StartResult::Refused;
  }
  if (group->members.empty()) return refuse(text::kEmptyGroup, true);
  set_plan({std::move(*group)});
  enter_group(0);
  if (!begin_record(request)) return refuse(recorder().problem(), true);
  show_group_progress();
  lock_window();
  mode_group_ = true;
  log_group_header(text::kOneGroupHeader);
  next_member(mode_group_);
  return StartResult::Started;
}

StartResult CampaignEngine::start_all_groups(const CampaignRequest& request) {
  begin_activity();
  const auto groups = d_.members.groups();
  if (groups.empty()) return refuse(text::kNoGroups, true);
  std::vector<PlannedGroup> plan;
  for (const auto& g : groups) plan.push_back(std::move(*read_group(g)));
  set_plan(std::move(plan));
  if (!begin_record(request)) return refuse(recorder().problem(), true);
  group_position_ = 1;
  mode_all_groups_ = true;
  enter_group(0);
  group_has_more_ = member_total_ > 0;
  show_group_progress();
  log_group_header(text::kGroupHeader);
  lock_window();
  next_group();
  return StartResult::Started;
}

CampaignEngine::Step CampaignEngine::next_member(bool& members_left) {
  if (!running_) return Step::Handled;
  auto& marks = flow_.marks();
  // The retry is decided before the members-left flag is read, so the last member gets it too.
  if (marks.retry_wanted()) {
    d_.log.append(text::kSeparator);
    d_.log.append(text::kRetry);
    marks.retry_due = false;
    dial_current_member();
    return Step::Handled;
  }
  for (;;) {
    if (!members_left || member_position_ >= member_total_) {
      members_left = false;
      return Step::Exhausted;
    }
    marks.reset_for_new_number();
    ++member_position_;
    const MemberProgress progress = current_member().progress;
    if (progress == MemberProgress::Done) continue;  // only in a resumed campaign
    show_group_progress();
    if (progress == MemberProgress::RetryDue) {
      d_.log.append(text::kSeparator);
      d_.log.append(text::kRetry);
      marks.first_attempt = marks.retry_due = false;
    }
    dial_current_member();
    return Step::Handled;
  }
}

CampaignMember& CampaignEngine::current_member() {
  return plan_[current_group_].members[static_cast<std::size_t>(member_position_ - 1)];
}

void CampaignEngine::dial_current_member() {
  flow_.marks().wait_count = 0;
  num_ = current_member().number;
  d_.view.set_number(num_);
  dial(num_);
}

void CampaignEngine::next_group() {
  for (;;) {
    if (!running_) return;
    if (group_has_more_ && next_member(group_has_more_) == Step::Handled) return;
    group_has_more_ = false;
    if (group_position_ >= plan_.size()) {
      mode_all_groups_ = false;
      end_operation(true);
      return;
    }
    ++group_position_;
    group_has_more_ = true;
    enter_group(group_position_ - 1);
    if (has_members_to_call()) {
      show_group_progress();
      flow_.marks().reset_for_new_number();
      log_group_header(text::kGroupHeader);
      next_member(group_has_more_);
      return;
    }
    // A resumed campaign passes over the groups it has finished without a word.
    if (!resuming_ || plan_[group_position_ - 1].members.empty()) {
      d_.log.append(text::kSeparator);
      d_.log.append(text::kGroupSkipped);
    }
    group_has_more_ = false;
  }
}

void CampaignEngine::next_step_decision() {
  if (mode_single_ && flow_.marks().retry_wanted()) {
    dial_one_number();
  } else if (mode_group_) {
    if (next_member(mode_group_) == Step::Exhausted) end_operation(true);
  } else if (mode_all_groups_) {
    next_group();
  } else {
    end_operation(true);
  }
}

void CampaignEngine::end_operation(bool as_end) {
  d_.view.show_activity(false);
  running_ = false;
  d_.view.set_running(false);
  d_.view.set_labels("", "", "");
  d_.view.set_gauge(0, 0);
  mode_single_ = mode_group_ = mode_all_groups_ = group_has_more_ = false;
  d_.line.hangup();
  // An idle incoming call also ends in here; only a started campaign has an operation to end.
  if (!as_end || !operation_open_) return;
  operation_open_ = false;
  recorder().finish(stopped_by_operator_ ? CampaignState::Stopped : CampaignState::Finished);
  d_.log.append(text::kSeparator);
  d_.log.append(text::kEndOfOperation);
  d_.dialogs.message_box(text::kEndOfOperation);
  if (d_.settings.shutdown) window_.set_timer(kTimer14, kBeforePowerOff);
  if (ended_) ended_();
}

void CampaignEngine::power_off() {
  // The report is on disk before the power goes.
  d_.view.close_main_window();
  d_.shell.power_off();
}

}  // namespace orvexa::campaign
