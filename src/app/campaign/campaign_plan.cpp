// The campaign's plan and record: every member read at the start, resumed campaigns, and each
// attempt handed to the recorder.
#include "app/campaign/campaign_engine.h"

#include <algorithm>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/channel_texts.h"
#include "app/campaign/record_texts.h"

namespace orvexa::campaign {

StartResult CampaignEngine::resume(const ResumeRequest& request) {
  if (running_) return StartResult::Refused;
  stop_voice();
  mode_single_ = mode_group_ = mode_all_groups_ = group_has_more_ = false;
  paused_ = stopped_by_operator_ = false;
  resuming_ = true;
  flow_.marks().reset_for_new_number();
  if (d_.paths.opening.empty()) return refuse(text::kNoOpeningMessage, false);
  if (d_.paths.main.empty()) return refuse(text::kNoMainMessage, false);
  if (request.plan.empty()) return StartResult::Refused;
  if (std::string problem; !open_channels(request.choice, problem)) return refuse(problem, false);
  set_plan(request.plan);
  seed_dues();
  std::string first(text::kResumedCampaign);
  first += std::to_string(request.campaign);
  d_.log.append(first);
  begin_activity();
  lock_window();
  if (request.choice == CampaignChoice::OneNumber) return resume_one_number();
  enter_group(0);
  group_has_more_ = has_members_to_call();
  if (request.choice == CampaignChoice::OneGroup) {
    mode_group_ = true;
    show_group_progress();
    log_group_header(text::kOneGroupHeader);
  } else {
    group_position_ = 1;
    mode_all_groups_ = true;
    show_group_progress();
    if (group_has_more_) log_group_header(text::kGroupHeader);
  }
  for (auto& ch : channels_) channel_step(ch);
  return StartResult::Started;
}

StartResult CampaignEngine::resume_one_number() {
  CampaignMember& member = plan_.front().members.front();
  channels_.front().num = member.number;
  d_.view.set_number(member.number);
  d_.log.append(text::kSeparator);
  d_.log.append(text::kOneNumberHeader);
  mode_single_ = true;
  if (member.progress == MemberProgress::Done) {
    end_operation(true);
    return StartResult::Started;
  }
  if (member.progress == MemberProgress::RetryDue && by_policy()) {
    channel_idle(channels_.front());  // waits for its due time
    return StartResult::Started;
  }
  if (member.progress == MemberProgress::RetryDue) flow_.marks().first_attempt = false;
  dial_one_number();
  return StartResult::Started;
}

void CampaignEngine::close_attempt(Channel& ch, CallCause cause) {
  if (!ch.attempt_open) return;
  ch.attempt_open = false;
  const AttemptFacts& facts = ch.flow->facts();
  AttemptEnd end{classify_attempt(facts, cause), facts.answered, window_.loop().clock().wall_now(),
                 facts.keys, facts.opening_heard_s, facts.main_heard_s, std::move(cause), ch.number};
  // A call that never reached the far end failed, though the line reported it as an ending.
  if (end.outcome == Outcome::Unreachable) ++ch.flow->tally().failed;
  CampaignMember& member = plan_member(ch.attempt.member);
  // A dial its channel's line refused says nothing of the member, when another channel calls it.
  const bool line_failed = facts.dial_refused && several() && !ch.failed && !last_channel(ch);
  if (end.outcome != Outcome::Interrupted && !line_failed) {
    ++member.attempts;
    if (by_policy()) {
      plan_retry(member, ch.attempt.member, end);
    } else {
      // A number tried twice is done; a first try is done unless its retry is due.
      const bool retry = ch.attempt.number < 2 && ch.flow->marks().retry_wanted();
      member.progress = retry ? MemberProgress::RetryDue : MemberProgress::Done;
    }
    if (member.progress == MemberProgress::Done) ++members_done_;
    if (several()) show_group_progress();
  }
  list_if_declined(ch, end, member);
  if (!recorder().attempt_ended(end, member.progress)) pause_for_records();
}

void CampaignEngine::plan_retry(CampaignMember& member, std::size_t index, AttemptEnd& end) {
  member.retry_at = d_.retries->next_attempt(end.outcome, member.attempts, end.ended);
  member.progress = member.retry_at ? MemberProgress::RetryDue : MemberProgress::Done;
  end.retry_at = member.retry_at;
  if (!member.retry_at) return;
  due_.emplace(*member.retry_at, index);
  for (auto& c : channels_) wake_for_due(c);
}

void CampaignEngine::seed_dues() {
  if (!by_policy()) return;
  const auto now = window_.loop().clock().wall_now();
  for (std::size_t i = 0; i < member_count_; ++i) {
    const CampaignMember& m = plan_member(i);
    if (m.progress == MemberProgress::RetryDue) due_.emplace(m.retry_at.value_or(now), i);
  }
}

void CampaignEngine::list_if_declined(const Channel& ch, const AttemptEnd& end, const CampaignMember& member) {
  if (!d_.settings.key2_dnc || !d_.dnc || end.outcome != Outcome::Declined) return;
  if (d_.dnc->add(member.number, "key 2")) log_call(ch, text::kAddedToDnc);
}

bool CampaignEngine::skip_listed(Channel& ch, std::size_t index) {
  CampaignMember& member = plan_member(index);
  if (!d_.dnc || !d_.dnc->listed(member.number)) return false;
  log_call(ch, text::kSeparator);
  std::string line(text::kCalleeNumber);
  line += member.number;
  log_call(ch, line);
  log_call(ch, text::kSkippedDnc);
  const auto now = window_.loop().clock().wall_now();
  const AttemptStart start{index, ch.flow->marks().first_attempt ? 1 : 2, ch.line->active_device(), ch.number, now};
  member.progress = MemberProgress::Done;
  ++members_done_;
  if (!recorder().attempt_started(start) ||
      !recorder().attempt_ended({Outcome::SkippedDnc, std::nullopt, now, "", 0, 0, {}, ch.number}, member.progress)) {
    pause_for_records();
    return true;
  }
  // The next member comes from the loop, so a long run of listed numbers never deepens the stack.
  window_.set_timer(ch.timer, messaging::kMinimumTimerInterval);
  return true;
}

void CampaignEngine::pause_for_records() {
  if (paused_) return;  // the other channels' calls end after the first complaint
  // Calls still up on other channels are hung up below; their ends are kept if the store can.
  for (auto& ch : channels_) {
    if (ch.attempt_open) ch.flow->facts().interrupted = true;
  }
  paused_ = true;
  const std::string problem = recorder().problem();
  end_operation(false);
  operation_open_ = false;
  std::string box(text::kRecordsPaused);
  box += problem;
  d_.dialogs.message_box(box);
  if (ended_) ended_();
}

std::optional<PlannedGroup> CampaignEngine::read_group(const GroupRow& group) {
  std::string error;
  auto members = d_.members.open_members(group.gcode, error);
  PlannedGroup planned{group, {}, std::nullopt};
  if (!members) {
    planned.open_error = error;
    return planned;
  }
  planned.members.reserve(members->size());
  for (auto& m : *members) {
    planned.members.push_back(CampaignMember{group.gname, group.gcode, m.row, std::move(m.name),
                                             std::move(m.family), std::move(m.number)});
  }
  return planned;
}

void CampaignEngine::set_plan(std::vector<PlannedGroup> plan) {
  plan_ = std::move(plan);
  group_offsets_.clear();
  members_done_ = 0;
  std::size_t offset = 0;
  for (const auto& g : plan_) {
    group_offsets_.push_back(offset);
    offset += g.members.size();
    for (const auto& m : g.members) members_done_ += m.progress == MemberProgress::Done ? 1 : 0;
  }
  member_count_ = offset;
}

std::size_t CampaignEngine::plan_index(std::size_t group, int position) const {
  return group_offsets_[group] + static_cast<std::size_t>(position - 1);
}

CampaignMember& CampaignEngine::plan_member(std::size_t index) {
  std::size_t g = 0;
  while (g + 1 < group_offsets_.size() && group_offsets_[g + 1] <= index) ++g;
  return plan_[g].members[index - group_offsets_[g]];
}

void CampaignEngine::enter_group(std::size_t index) {
  const PlannedGroup& group = plan_[index];
  current_group_ = index;
  // One damaged table must not stall the other groups: it counts as empty.
  if (group.open_error) d_.log.append(*group.open_error);
  member_total_ = static_cast<int>(group.members.size());
  member_position_ = 0;
  group_name_ = group.row.gname;
}

bool CampaignEngine::has_members_to_call() const {
  if (current_group_ >= plan_.size()) return false;
  const auto& members = plan_[current_group_].members;
  if (!resuming_) return !members.empty();
  return std::any_of(members.begin(), members.end(),
                     [](const CampaignMember& m) { return m.progress != MemberProgress::Done; });
}

bool CampaignEngine::begin_record(const CampaignRequest& request) {
  CampaignDescription description;
  description.choice = request.choice;
  description.chosen = request.choice == CampaignChoice::OneNumber ? request.number
                       : request.choice == CampaignChoice::OneGroup ? request.group_name
                                                                    : std::string();
  description.filter = request.filter;
  PreCallSettings used = d_.settings;
  used.channels = static_cast<int>(channels_.size());
  description.settings = settings_text(used);
  description.opening.path = d_.paths.opening;
  description.main.path = d_.paths.main;
  for (const auto& ch : channels_) {
    const int device = ch.line->active_device();
    std::string line = std::to_string(device) + " " + d_.line.line_name(device);
    if (std::find(description.lines.begin(), description.lines.end(), line) == description.lines.end())
      description.lines.push_back(std::move(line));
  }
  std::vector<CampaignMember> members;
  for (const auto& g : plan_) members.insert(members.end(), g.members.begin(), g.members.end());
  return recorder().begin(description, members);
}

}  // namespace orvexa::campaign
