// The campaign's channels: opening them for a start, the next member for a free channel, a
// channel whose line failed, and what the operations page shows of each.
#include <algorithm>

#include "app/campaign/campaign_engine.h"
#include "app/campaign/campaign_texts.h"
#include "app/campaign/channel_texts.h"

namespace orvexa::campaign {

bool CampaignEngine::open_channels(CampaignChoice choice, std::string& problem) {
  close_channels();
  // One number is one call: a second channel would have nothing to do.
  const int wanted = choice == CampaignChoice::OneNumber ? 1 : std::max(1, d_.settings.channels);
  if (wanted == 1) return true;
  if (!d_.channels) {
    problem = text::kOneChannelOnly;
    return false;
  }
  if (const int offered = d_.channels->offered(); wanted > offered) {
    problem = text::channels_offered(offered);
    return false;
  }
  extra_ports_ = d_.channels->open(wanted, problem);
  if (extra_ports_.size() != static_cast<std::size_t>(wanted - 1)) {
    close_channels();
    return false;
  }
  messaging::Loop& loop = window_.loop();
  for (std::size_t i = 1; i < static_cast<std::size_t>(wanted); ++i) {
    const ChannelPorts& ports = extra_ports_[i - 1];
    Channel ch;
    ch.line = ports.line;
    ch.own_flow = std::make_unique<CallFlow>(loop, *ports.line, *ports.voice, d_.log, d_.settings,
                                             d_.paths, d_.dialogs);
    ch.flow = ch.own_flow.get();
    channels_.push_back(std::move(ch));
    setup_channel(channels_.back(), i);
    d_.channels->bind(i, *channels_.back().flow);
  }
  for (auto& ch : channels_) {
    ch.flow->set_log_prefix("[" + std::to_string(ch.number) + "] ");
  }
  return true;
}

void CampaignEngine::close_channels() {
  if (channels_.size() > 1 && d_.channels) d_.channels->close();
  channels_.resize(1);
  Channel& first = channels_.front();
  first.failed = first.dial_waiting = false;
  flow_.set_log_prefix("");
  extra_ports_.clear();
  returned_.clear();
  due_ = {};
  announced_wait_.reset();
  next_setup_.reset();
}

CampaignEngine::Channel* CampaignEngine::channel_of_timer(std::uintptr_t id) {
  if (id == kTimer12) return &channels_.front();
  if (id <= kChannelTimers || id - kChannelTimers >= channels_.size()) return nullptr;
  return &channels_[id - kChannelTimers];
}

void CampaignEngine::channel_step(Channel& ch) {
  if (!running_ || ch.failed) return;
  if (retry_in_hand(ch) || take_due(ch) || take_returned(ch)) return;
  bool handled = false;
  if (mode_group_) handled = next_member(ch, mode_group_) == Step::Handled;
  else if (mode_all_groups_) handled = next_group(ch);
  if (!handled) channel_idle(ch);
}

bool CampaignEngine::retry_in_hand(Channel& ch) {
  if (by_policy()) return false;
  auto& marks = ch.flow->marks();
  // The retry is decided before the plan is read on, so the last member gets it too.
  if (!ch.member || !marks.retry_wanted()) return false;
  log_call(ch, text::kSeparator);
  log_call(ch, text::kRetry);
  marks.retry_due = false;
  dial_member(ch, *ch.member);
  return true;
}

bool CampaignEngine::take_due(Channel& ch) {
  if (due_.empty() || due_.top().first > window_.loop().clock().wall_now()) return false;
  const std::size_t index = due_.top().second;
  due_.pop();
  auto& marks = ch.flow->marks();
  marks.reset_for_new_number();
  marks.first_attempt = false;
  log_call(ch, text::kSeparator);
  log_call(ch, text::kRetry);
  dial_member(ch, index);
  return true;
}

void CampaignEngine::wake_for_due(Channel& ch) {
  if (due_.empty() || ch.failed || ch.member || ch.dial_waiting || !running_) return;
  const auto wait = due_.top().first - window_.loop().clock().wall_now();
  window_.set_timer(ch.timer, std::max(messaging::kMinimumTimerInterval,
                                       std::chrono::ceil<std::chrono::milliseconds>(wait)));
}

bool CampaignEngine::take_returned(Channel& ch) {
  if (returned_.empty()) return false;
  const std::size_t index = returned_.front();
  returned_.pop_front();
  auto& marks = ch.flow->marks();
  marks.reset_for_new_number();
  if (plan_member(index).progress == MemberProgress::RetryDue) {
    log_call(ch, text::kSeparator);
    log_call(ch, text::kRetry);
    marks.first_attempt = marks.retry_due = false;
  }
  dial_member(ch, index);
  return true;
}

void CampaignEngine::channel_idle(Channel& ch) {
  ch.member.reset();
  ch.num.clear();
  wake_for_due(ch);
  for (const auto& c : channels_) {
    if (c.member || c.attempt_open || c.dial_waiting) return;
  }
  if (due_.empty()) {
    end_operation(true);
    return;
  }
  // Nothing to call before the next retry: the log says when that is; a channel wakes for it.
  const auto next = due_.top().first;
  if (d_.hours && announced_wait_ != next) {
    announced_wait_ = next;
    std::string line(text::kWaitingForRetry);
    line += d_.hours->describe(next);
    d_.log.append(line);
  }
}

void CampaignEngine::return_member(Channel& ch) {
  if (ch.member) returned_.push_front(*ch.member);
  ch.member.reset();
}

void CampaignEngine::wake_idle_channels() {
  for (auto& c : channels_) {
    if (!c.failed && !c.member && !c.dial_waiting) window_.set_timer(c.timer, kBetweenCalls);
  }
}

std::chrono::milliseconds CampaignEngine::wait_after_call(const Channel& ch) const {
  if (!several() || !running_ || ch.flow->marks().retry_wanted()) return kBetweenCalls;
  return kChannelTurnaround;
}

bool CampaignEngine::last_channel(const Channel& ch) const {
  for (const auto& c : channels_) {
    if (&c != &ch && !c.failed) return false;
  }
  return true;
}

CallTally CampaignEngine::tally() const {
  CallTally sum;
  for (const auto& ch : channels_) {
    const CallTally& t = ch.flow->tally();
    sum.attempts += t.attempts;
    sum.answered += t.answered;
    sum.key1 += t.key1;
    sum.key2 += t.key2;
    sum.busy += t.busy;
    sum.unanswered += t.unanswered;
    sum.failed += t.failed;
  }
  return sum;
}

std::vector<ChannelStatus> CampaignEngine::channel_status() const {
  std::vector<ChannelStatus> status;
  const auto now = window_.loop().clock().wall_now();
  for (const auto& ch : channels_) {
    ChannelStatus s{ch.number, ch.member ? ch.num : std::string(), ChannelStage::Idle, 0};
    if (ch.failed) {
      s.stage = ChannelStage::Failed;
    } else if (ch.member && !ch.attempt_open) {
      s.stage = ChannelStage::Between;
    } else if (ch.attempt_open) {
      s.seconds = std::chrono::duration<double>(now - ch.attempt.dialled).count();
      switch (ch.flow->stage()) {
        case CallStage::Idle: s.stage = ChannelStage::Dialing; break;
        case CallStage::Opening: s.stage = ChannelStage::Opening; break;
        case CallStage::WaitingForKey: s.stage = ChannelStage::WaitingForKey; break;
        case CallStage::StartingMain:
        case CallStage::Main: s.stage = ChannelStage::Main; break;
      }
    }
    status.push_back(std::move(s));
  }
  return status;
}

}  // namespace orvexa::campaign
