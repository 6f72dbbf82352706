#include "platform/sip/sip_call.h"

#include <cerrno>
#include <charconv>

extern "C" {
#include <re.h>
}

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_status.h"
#include "platform/sip/sip_uri.h"

namespace orvexa::sip {
namespace {

bool has_sdp(const ::sip_msg* msg) {
  return msg != nullptr && msg->mb != nullptr && mbuf_get_left(msg->mb) > 0 &&
         msg_ctype_cmp(&msg->ctyp, "application", "sdp");
}

std::string body_of(const ::sip_msg* msg) {
  return std::string(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
}

// A re-INVITE the far end never answers (libre reports only the answers it takes) counts as
// refused after this, short of the line component's own request time-out.
constexpr std::uint64_t kModifyLimitMs = 8000;

std::string pause_as_commas(std::string_view after) {
  std::string keys;
  for (char c : after) keys += digit_event(c) >= 0 ? c : ',';
  return keys;
}

}  // namespace

EndReason reason_for_status(std::uint16_t code) {
  switch (code) {
    case 486: case 600: return EndReason::Busy;
    case 408: case 480: return EndReason::NoAnswer;
    case 404: case 484: case 485: return EndReason::BadAddress;
    case 403: case 603: return EndReason::Rejected;
    case 488: case 606: return EndReason::NoCommonCodec;
    default: return EndReason::Unavailable;
  }
}

const char* reason_name(EndReason reason) {
  switch (reason) {
    case EndReason::FarEndHungUp: return "far end hung up";
    case EndReason::WeHungUp: return "hung up";
    case EndReason::Busy: return "busy";
    case EndReason::NoAnswer: return "no answer";
    case EndReason::BadAddress: return "bad address";
    case EndReason::Rejected: return "rejected";
    case EndReason::Unavailable: return "unavailable";
    case EndReason::Unreachable: return "unreachable";
    case EndReason::NoCommonCodec: return "no common codec";
    case EndReason::Transferred: return "transferred";
  }
  return "unavailable";
}

struct SipCall::Timer {
  ::tmr tmr;
  Timer() { tmr_init(&tmr); }
  ~Timer() { tmr_cancel(&tmr); }
};

SipCall::SipCall(SipAccount& account, std::shared_ptr<OutboundAudio> outbound, CallEvents events)
    : account_(account),
      events_(std::move(events)),
      media_(account.media_clock(), std::move(outbound), with_rtp_timeout(events_.media),
             account.config().dtmf,
             std::chrono::seconds(account.config().rtp_timeout_s)),
      ring_timer_(std::make_unique<Timer>()),
      request_timer_(std::make_unique<Timer>()),
      sdp_session_id_(rand_u32()) {}

MediaEvents SipCall::with_rtp_timeout(MediaEvents events) {
  // No RTP for the timeout ends a connected call as the far end hanging up (with a BYE, in
  // case it is only its media that died).
  events.silent_too_long = [this] {
    if (ended_ || phase_ != CallPhase::Connected) return;
    session_.reset();
    end(EndReason::FarEndHungUp);
  };
  return events;
}

SipCall::~SipCall() {
  ring_timer_.reset();
  request_timer_.reset();
  ended_ = true;  // closing the session below must not report anything
  refer_.reset();
  session_.reset();
}

int SipCall::dial(std::string_view dial_string) {
  const DialParts parts = split_dial_string(dial_string);
  const SipLineConfig& line = account_.config();
  const std::string uri = call_uri(parts.number, line);
  if (uri.empty()) return EINVAL;
  dialled_ = parts.number;
  keys_after_answer_ = pause_as_commas(parts.after);
  int err = media_.open(account_.local_ip());
  if (err != 0) return err;
  ReRef<::mbuf> desc = local_description(false);
  if (!desc) return ENOMEM;
  const std::string aor = address_of_record(line);
  const std::string route = proxy_route(line);
  const char* routes[] = {route.c_str()};
  ::sipsess* sess = nullptr;
  err = sipsess_connect(&sess, account_.sessions(), uri.c_str(),
                        line.name.empty() ? nullptr : line.name.c_str(), aor.c_str(),
                        line.user.c_str(), route.empty() ? nullptr : routes, route.empty() ? 0 : 1,
                        "application/sdp", desc.get(), &SipAccount::on_auth, &account_, false,
                        &SipCall::on_offer, &SipCall::on_answer, &SipCall::on_progress,
                        &SipCall::on_established, nullptr, nullptr, &SipCall::on_close, this,
                        nullptr);
  session_ = adopt(sess);
  if (err != 0) return err;
  outgoing_ = true;
  phase_ = CallPhase::Dialing;  // the provider reports dialing with its reply
  tmr_start(&ring_timer_->tmr, static_cast<std::uint64_t>(ring_limit_.count()) * 1000,
            &SipCall::on_ring_limit, this);
  return 0;
}

int SipCall::offer(const ::sip_msg& invite) {
  outgoing_ = false;
  caller_ = caller_id_from(std::string_view(invite.from.dname.p, invite.from.dname.l),
                           std::string_view(invite.from.uri.user.p, invite.from.uri.user.l));
  int err = media_.open(account_.local_ip());
  if (err == 0 && has_sdp(&invite) && start_media(body_of(&invite)) != 0) err = EPROTO;
  if (err != 0) {
    sip_treply(nullptr, account_.stack(), &invite, err == EPROTO ? 488 : 500,
               err == EPROTO ? "Not Acceptable Here" : "Server Internal Error");
    return err;
  }
  ::sipsess* sess = nullptr;
  err = sipsess_accept(&sess, account_.sessions(), &invite, 180, "Ringing",
                       account_.config().user.c_str(), "application/sdp", nullptr,
                       &SipAccount::on_auth, &account_, false, &SipCall::on_offer,
                       &SipCall::on_answer, &SipCall::on_established, nullptr, nullptr,
                       &SipCall::on_close, this, nullptr);
  session_ = adopt(sess);
  if (err != 0) return err;
  set_phase(CallPhase::Offering);
  return 0;
}

int SipCall::answer() {
  if (phase_ != CallPhase::Offering || !session_) return EINVAL;
  ReRef<::mbuf> desc = local_description(remote_.has_value());
  if (!desc) return ENOMEM;
  const int err = sipsess_answer(session_.get(), 200, "OK", desc.get(), nullptr);
  if (err == 0 && remote_ && chosen_) media_.start(*remote_, *chosen_);
  return err;
}

void SipCall::hang_up() {
  if (ended_) return;
  if (!outgoing_ && phase_ == CallPhase::Offering && session_)
    sipsess_reject(session_.get(), 603, "Decline", nullptr);
  // Dropping the session sends CANCEL before the answer and BYE after it.
  session_.reset();
  end(EndReason::WeHungUp);
}

void SipCall::on_ring_limit(void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  if (self->ended_ || self->phase_ == CallPhase::Connected) return;
  self->session_.reset();  // CANCEL
  self->end(EndReason::NoAnswer);
}

int SipCall::start_media(const std::string& sdp) {
  auto remote = parse_sdp(sdp);
  if (!remote) return EPROTO;
  auto chosen = negotiate(*remote, account_.config().codecs);
  if (!chosen) return EPROTO;
  remote_ = std::move(remote);
  chosen_ = chosen;
  our_direction_ = answer_direction(remote_->direction);
  media_.set_direction(our_direction_);
  return 0;
}

ReRef<::mbuf> SipCall::local_description(bool answer) {
  const SipLineConfig& line = account_.config();
  LocalMedia local;
  local.address = account_.local_ip();
  local.port = media_.local_port();
  local.codecs = answer && chosen_ ? std::vector<Codec>{chosen_->codec} : line.codecs;
  local.answer_pt = answer && chosen_ ? chosen_->pt : -1;
  if (line.dtmf == DtmfMode::Inband) local.telephone_event_pt = -1;
  else if (answer && chosen_) local.telephone_event_pt = chosen_->telephone_event_pt;
  local.direction = our_direction_;
  local.session_id = sdp_session_id_;
  local.version = sdp_version_++;
  const std::string text = build_sdp(local);
  ReRef<::mbuf> mb = adopt(mbuf_alloc(text.size()));
  if (!mb || mbuf_write_str(mb.get(), text.c_str()) != 0) return nullptr;
  mb->pos = 0;
  return mb;
}

int SipCall::on_offer(::mbuf** desc, const ::sip_msg* msg, void* arg) {
  // A re-INVITE: hold (sendonly / inactive), unhold, or new media.
  auto* self = static_cast<SipCall*>(arg);
  if (!has_sdp(msg) || self->start_media(body_of(msg)) != 0) return EPROTO;
  if (self->phase_ == CallPhase::Connected) self->media_.start(*self->remote_, *self->chosen_);
  ReRef<::mbuf> answer = self->local_description(true);
  if (!answer) return ENOMEM;
  *desc = answer.release();
  return 0;
}

int SipCall::on_answer(const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  if (self->answer_to_our_offer() && !has_sdp(msg)) {
    self->finish_request(false);
    return EPROTO;
  }
  if (!has_sdp(msg)) return 0;
  if (self->answer_to_our_offer()) {
    // The far end took our hold or unhold: media follows its answer.
    const bool ok = self->start_media(body_of(msg)) == 0;
    if (ok) self->media_.start(*self->remote_, *self->chosen_);
    self->finish_request(ok);
    return ok ? 0 : EPROTO;
  }
  if (self->start_media(body_of(msg)) != 0) {
    self->end(EndReason::NoCommonCodec);
    return EPROTO;
  }
  return 0;
}

void SipCall::on_progress(const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  if (self->ended_ || msg == nullptr) return;
  if (msg->scode == 100) {
    self->set_phase(CallPhase::Proceeding);
    return;
  }
  if (msg->scode == 183 && has_sdp(msg) && self->start_media(body_of(msg)) == 0)
    self->media_.start(*self->remote_, *self->chosen_);  // early media: ringback, announcements
  self->set_phase(CallPhase::Ringback);
}

void SipCall::on_established(const ::sip_msg*, void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  if (self->ended_) return;
  tmr_cancel(&self->ring_timer_->tmr);
  if (self->remote_ && self->chosen_) self->media_.start(*self->remote_, *self->chosen_);
  if (!self->keys_after_answer_.empty()) self->media_.send_keys(self->keys_after_answer_);
  self->set_phase(CallPhase::Connected);
}

void SipCall::on_close(int err, const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  if (self->ended_) return;
  if (self->phase_ == CallPhase::Connected) {
    self->end(EndReason::FarEndHungUp);
  } else if (msg != nullptr && msg->scode >= 300) {
    self->end(reason_for_status(msg->scode), status_line(*msg));
  } else if (!self->outgoing_) {
    self->end(EndReason::FarEndHungUp);  // CANCEL of an offered call
  } else if (msg == nullptr && err != 0 && self->phase_ == CallPhase::Dialing) {
    // Not even a provisional answer: the far end was never reached.
    self->end(EndReason::Unreachable, network_failure(err));
  } else {
    self->end(EndReason::Unavailable, err != 0 ? network_failure(err) : std::string());
  }
}

void SipCall::set_phase(CallPhase phase) {
  if (phase_ == phase && phase != CallPhase::Dialing) return;
  phase_ = phase;
  if (events_.phase) events_.phase(phase, EndReason::WeHungUp, {});
}

void SipCall::end(EndReason reason, std::string status) {
  if (ended_) return;
  // A request still open when the call ends has failed; a transfer reported its success first.
  if (pending_) finish_request(false);
  ended_ = true;
  refer_.reset();
  tmr_cancel(&ring_timer_->tmr);
  tmr_cancel(&request_timer_->tmr);
  media_.stop();
  phase_ = CallPhase::Ended;
  if (events_.phase) events_.phase(CallPhase::Ended, reason, status);
}

std::optional<int> sipfrag_status(std::string_view body) {
  constexpr std::string_view kVersion = "SIP/2.0 ";
  if (body.substr(0, kVersion.size()) != kVersion) return std::nullopt;
  body.remove_prefix(kVersion.size());
  // Exactly three digits, then the reason phrase or the end of the line.
  if (body.size() < 3 || (body.size() > 3 && body[3] != ' ' && body[3] != '\r' && body[3] != '\n'))
    return std::nullopt;
  int code = 0;
  const auto [end, ec] = std::from_chars(body.data(), body.data() + 3, code);
  if (ec != std::errc() || end != body.data() + 3 || code < 100 || code > 699) return std::nullopt;
  return code;
}

bool SipCall::answer_to_our_offer() {
  return phase_ == CallPhase::Connected &&
         (pending_ == CallRequest::Hold || pending_ == CallRequest::Unhold);
}

int SipCall::hold(bool on_hold) {
  if (ended_ || phase_ != CallPhase::Connected || !session_) return EINVAL;
  if (pending_) return EBUSY;
  direction_before_ = our_direction_;
  our_direction_ = on_hold ? MediaDirection::SendOnly : MediaDirection::SendRecv;
  ReRef<::mbuf> offer = local_description(true);
  const int err = offer ? sipsess_modify(session_.get(), offer.get()) : ENOMEM;
  if (err != 0) {
    our_direction_ = direction_before_;
    return err;
  }
  media_.set_direction(our_direction_);
  pending_ = on_hold ? CallRequest::Hold : CallRequest::Unhold;
  outcome_.reset();
  tmr_start(&request_timer_->tmr, kModifyLimitMs, &SipCall::on_request_timer, this);
  return 0;
}

int SipCall::transfer(std::string_view dial_string) {
  if (ended_ || phase_ != CallPhase::Connected || !session_) return EINVAL;
  if (pending_) return EBUSY;
  const std::string target = call_uri(split_dial_string(dial_string).number, account_.config());
  if (target.empty()) return EINVAL;
  const std::string by = address_of_record(account_.config());
  ::sipsub* sub = nullptr;
  const int err = sipevent_drefer(&sub, account_.subscriptions(), sipsess_dialog(session_.get()),
                                  account_.config().user.c_str(), &SipAccount::on_auth, &account_,
                                  false, &SipCall::on_notify, &SipCall::on_refer_closed, this,
                                  "Refer-To: <%s>\r\nReferred-By: <%s>\r\n", target.c_str(),
                                  by.c_str());
  refer_ = adopt(sub);
  if (err != 0) {
    refer_.reset();
    return err;
  }
  pending_ = CallRequest::Transfer;
  outcome_.reset();
  // The target may ring: give it as long as one of our own calls may ring.
  tmr_start(&request_timer_->tmr, static_cast<std::uint64_t>(ring_limit_.count()) * 1000,
            &SipCall::on_request_timer, this);
  return 0;
}

void SipCall::on_notify(::sip* stack, const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  const auto code = msg && msg->mb ? sipfrag_status(body_of(msg)) : std::nullopt;
  sip_treply(nullptr, stack, msg, code ? 200 : 400, code ? "OK" : "Bad sipfrag");
  // 1xx: the target is being tried; a final status decides the transfer.
  if (code && *code >= 200 && self->pending_ == CallRequest::Transfer && !self->outcome_)
    self->settle_request(*code < 300);
}

void SipCall::on_refer_closed(int err, const ::sip_msg* msg, const ::sipevent_substate*,
                              void* arg) {
  // REFER refused, no answer, or the subscription ended before a final status came.
  auto* self = static_cast<SipCall*>(arg);
  (void)err;
  (void)msg;
  if (self->pending_ == CallRequest::Transfer && !self->outcome_) self->settle_request(false);
}

void SipCall::settle_request(bool ok) {
  // Called from inside libre's handlers of the subscription, which must not be freed there.
  outcome_ = ok;
  tmr_start(&request_timer_->tmr, 0, &SipCall::on_request_timer, this);
}

void SipCall::on_request_timer(void* arg) {
  auto* self = static_cast<SipCall*>(arg);
  // Without a decided outcome this is the time limit: the request failed.
  self->finish_request(self->outcome_.value_or(false));
}

void SipCall::finish_request(bool ok) {
  if (!pending_) return;
  const CallRequest request = *pending_;
  pending_.reset();
  outcome_.reset();
  tmr_cancel(&request_timer_->tmr);
  if (request == CallRequest::Transfer) refer_.reset();
  if (!ok && request != CallRequest::Transfer) {
    our_direction_ = direction_before_;
    media_.set_direction(our_direction_);
  }
  if (events_.done) events_.done(request, ok);
  if (ok && request == CallRequest::Transfer && !ended_) {
    session_.reset();  // our BYE: the far end is with the target now
    end(EndReason::Transferred);
  }
}

}  // namespace orvexa::sip
