#include "app/campaign/campaign_engine.h"

#include "app/campaign/campaign_texts.h"
#include "app/campaign/channel_texts.h"

namespace orvexa::campaign {

CampaignEngine::CampaignEngine(messaging::Loop& loop, CampaignDeps deps)
    : window_(loop, [this](messaging::UINT m, messaging::WPARAM w, messaging::LPARAM) {
        return window_proc(m, w);
      }),
      d_(deps),
      flow_(loop, deps.line, deps.voice, deps.log, deps.settings, deps.paths, deps.dialogs) {
  channels_.resize(1);
  channels_.front().line = &d_.line;
  channels_.front().flow = &flow_;
  setup_channel(channels_.front(), 0);
}

CampaignEngine::~CampaignEngine() {
  for (auto& ch : channels_) {
    if (!ch.attempt_open) continue;
    ch.flow->facts().interrupted = true;
    close_attempt(ch, ch.line->call_cause());
  }
  if (operation_open_ && !paused_) recorder().finish(CampaignState::Interrupted);
  close_channels();
}

void CampaignEngine::setup_channel(Channel& ch, std::size_t index) {
  ch.number = static_cast<int>(index) + 1;
  ch.timer = index == 0 ? kTimer12 : kChannelTimers + index;
  ch.flow->on_disconnected([this, index] {
    Channel& c = channels_[index];
    close_attempt(c, c.line->call_cause());
    window_.set_timer(c.timer, wait_after_call(c));
  });
}

void CampaignEngine::stop() {
  stopped_by_operator_ = true;
  // The calls the operator cuts short reached nobody as far as the campaign is concerned.
  for (auto& ch : channels_) {
    if (ch.attempt_open) ch.flow->facts().interrupted = true;
  }
  end_operation(false);
}

messaging::LRESULT CampaignEngine::window_proc(messaging::UINT message, messaging::WPARAM id) {
  if (message != messaging::WM_TIMER) return 0;
  window_.kill_timer(id);
  if (id == kTimer14) {
    power_off();
  } else if (Channel* ch = channel_of_timer(id)) {
    if (ch->dial_waiting) {
      ch->dial_waiting = false;
      // A window that opened is asked again (and then the pace); a turn under the pace dials.
      if (running_ && ch->waiting_for_hours) dial(*ch, ch->num);
      else if (running_) place_call(*ch);
    } else {
      next_step_decision(*ch);
    }
  }
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
  if (std::string problem; !open_channels(request.choice, problem)) return refuse(problem, false);
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

void CampaignEngine::log_call(const Channel& ch, std::string_view line) { ch.flow->say(line); }

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
  Channel& ch = channels_.front();
  ch.num = request.number;
  d_.view.set_number(ch.num);
  begin_activity();
  set_plan({PlannedGroup{{}, {CampaignMember{.number = ch.num}}, std::nullopt}});
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
  Channel& ch = channels_.front();
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
  ch.member = 0;
  if (skip_listed(ch, 0)) return;
  dial(ch, ch.num);
}

void CampaignEngine::dial(Channel& ch, const std::string& number) {
  ch.num = number;
  if (wait_for_hours(ch)) return;
  // The pace spaces the set-ups of all channels: each takes the next free slot. One channel's
  // three seconds between calls never meet it.
  if (several() && d_.settings.pace > 0) {
    const auto now = window_.loop().now();
    const auto slot = std::max(now, next_setup_.value_or(now));
    next_setup_ = slot + std::chrono::duration_cast<messaging::Duration>(
                             std::chrono::duration<double>(1.0 / d_.settings.pace));
    if (slot > now) {
      ch.dial_waiting = true;
      window_.set_timer(ch.timer, std::chrono::ceil<std::chrono::milliseconds>(slot - now));
      return;
    }
  }
  place_call(ch);
}

bool CampaignEngine::wait_for_hours(Channel& ch) {
  ch.waiting_for_hours = false;
  if (!d_.settings.calling_hours || !d_.hours) return false;
  const auto now = window_.loop().clock().wall_now();
  const auto open = d_.hours->next_open(now);
  if (open && *open <= now) return false;
  if (!open) {
    d_.log.append(text::kNeverOpen);
    end_operation(true);
    return true;
  }
  if (announced_wait_ != open) {
    announced_wait_ = open;
    std::string line(text::kWaitingForHours);
    line += d_.hours->describe(*open);
    d_.log.append(line);
  }
  ch.dial_waiting = ch.waiting_for_hours = true;
  window_.set_timer(ch.timer, std::chrono::ceil<std::chrono::milliseconds>(*open - now));
  return true;
}

void CampaignEngine::place_call(Channel& ch) {
  CallFlow& flow = *ch.flow;
  flow.reset_facts();
  const int number = by_policy() ? plan_member(ch.member.value_or(0)).attempts + 1 : flow.marks().first_attempt ? 1 : 2;
  ch.attempt = AttemptStart{ch.member.value_or(0), number,
                            ch.line->active_device(), ch.number, window_.loop().clock().wall_now()};
  // No call without its record: a store that cannot take it pauses the campaign.
  if (!recorder().attempt_started(ch.attempt)) {
    pause_for_records();
    return;
  }
  ch.attempt_open = true;
  const int result = ch.line->dial(ch.num);
  if (result != 0 && several() && ch.line->refused_for_capacity(result)) {
    // Somebody else holds the line's calls: not an attempt; the member waits for a channel.
    ch.attempt_open = false;
    recorder().attempt_withdrawn(ch.number);
    return_member(ch);
    window_.set_timer(ch.timer, kBetweenCalls);
    return;
  }
  ++flow.tally().attempts;
  log_call(ch, text::kSeparator);
  std::string line(text::kCalleeNumber);
  line += ch.num;
  log_call(ch, line);
  if (result != 0) dial_refused(ch, result);
}

void CampaignEngine::dial_refused(Channel& ch, int result) {
  CallFlow& flow = *ch.flow;
  log_call(ch, text::kDialFailed);
  // No call means no disconnected state to move on from: count it as unanswered instead.
  ++flow.tally().failed;
  flow.facts().dial_refused = true;
  CallCause cause = ch.line->call_cause();
  cause.line_error = result;
  if (several() && !last_channel(ch)) {
    // The line failed, not the member: another channel calls it.
    close_attempt(ch, std::move(cause));
    return_member(ch);
    ch.failed = true;
    log_call(ch, text::kChannelStopped);
    wake_idle_channels();
    return;
  }
  flow.record_failed_attempt();
  close_attempt(ch, std::move(cause));
  if (!paused_) window_.set_timer(ch.timer, wait_after_call(ch));
}

void CampaignEngine::show_group_progress() {
  if (several()) {
    // Calls overlap: the gauge counts the members that are done.
    d_.view.set_labels(group_name_, std::to_string(members_done_), std::to_string(member_count_));
    d_.view.set_gauge(static_cast<int>(member_count_), static_cast<int>(members_done_));
    return;
  }
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
  for (auto& ch : channels_) channel_step(ch);
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
  for (auto& ch : channels_) channel_step(ch);
  return StartResult::Started;
}

CampaignEngine::Step CampaignEngine::next_member(Channel& ch, bool& members_left) {
  if (!running_) return Step::Handled;
  auto& marks = ch.flow->marks();
  for (;;) {
    if (!members_left || member_position_ >= member_total_) {
      members_left = false;
      return Step::Exhausted;
    }
    marks.reset_for_new_number();
    ++member_position_;
    const std::size_t index = plan_index(current_group_, member_position_);
    const MemberProgress progress = plan_member(index).progress;
    if (progress == MemberProgress::Done) continue;  // only in a resumed campaign
    if (progress == MemberProgress::RetryDue && by_policy()) continue;  // on the due list
    show_group_progress();
    if (progress == MemberProgress::RetryDue) {
      log_call(ch, text::kSeparator);
      log_call(ch, text::kRetry);
      marks.first_attempt = marks.retry_due = false;
    }
    dial_member(ch, index);
    return Step::Handled;
  }
}

void CampaignEngine::dial_member(Channel& ch, std::size_t index) {
  ch.flow->marks().wait_count = 0;
  ch.member = index;
  const std::string& number = plan_member(index).number;
  if (!several()) d_.view.set_number(number);
  if (skip_listed(ch, index)) return;
  dial(ch, number);
}

bool CampaignEngine::next_group(Channel& ch) {
  for (;;) {
    if (!running_) return true;
    if (group_has_more_ && next_member(ch, group_has_more_) == Step::Handled) return true;
    group_has_more_ = false;
    if (group_position_ >= plan_.size()) return false;
    ++group_position_;
    group_has_more_ = true;
    enter_group(group_position_ - 1);
    if (has_members_to_call()) {
      show_group_progress();
      ch.flow->marks().reset_for_new_number();
      log_group_header(text::kGroupHeader);
      if (next_member(ch, group_has_more_) == Step::Handled) return true;
      continue;
    }
    // A resumed campaign passes over the groups it has finished without a word.
    if (!resuming_ || plan_[group_position_ - 1].members.empty()) {
      d_.log.append(text::kSeparator);
      d_.log.append(text::kGroupSkipped);
    }
    group_has_more_ = false;
  }
}

void CampaignEngine::next_step_decision(Channel& ch) {
  if (by_policy() && running_) {
    // Retries by outcome come from the due list, one number or a group alike.
    channel_step(ch);
  } else if (mode_single_ && flow_.marks().retry_wanted()) {
    dial_one_number();
  } else if (mode_group_ || mode_all_groups_ || (several() && running_)) {
    channel_step(ch);
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
  for (auto& ch : channels_) {
    ch.dial_waiting = false;
    ch.line->hangup();
  }
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
