// Hold, transfers, consultation calls and conferences on the simulated lines.
#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

LONG SimProvider::hold(HCALL call, RequestId request, bool on_hold) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  const bool held = c->phase == Phase::Held && c->held_state == LINECALLSTATE_ONHOLD;
  if (on_hold ? c->phase != Phase::Connected : !held) return LINEERR_INVALCALLSTATE;
  if (never_replies(*c)) return 0;
  at(messaging::Duration::zero(), call, [this, call, request, on_hold] {
    Call* self = find(call);
    if (!self) return;
    self->phase = on_hold ? Phase::Held : Phase::Connected;
    self->held_state = LINECALLSTATE_ONHOLD;
    if (CallRecord* r = record_of(*self); r && on_hold) ++r->holds;
    events_of(*self).reply(request, 0);
    state(call, on_hold ? LINECALLSTATE_ONHOLD : LINECALLSTATE_CONNECTED);
    ensure_media_ticks();
  });
  return 0;
}

LONG SimProvider::blind_transfer(HCALL call, RequestId request, std::string_view number) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->phase != Phase::Connected && c->phase != Phase::Held) return LINEERR_INVALCALLSTATE;
  if (never_replies(*c)) return 0;
  cancel(call);
  at(messaging::Duration::zero(), call, [this, call, request, n = std::string(number)] {
    Call* self = find(call);
    if (!self) return;
    // The far end leaves this line for the target, which gets a record of its own.
    const FarEnd target = reach(n);
    const std::size_t first = self->record;
    CallRecord& leg = new_record(self->line, 0, true, n, target.outcome);
    if (target.outcome == FarEndOutcome::Answer) {
      leg.connected = loop_.now();
      bridges_.push_back({first, leg.number, ToneVoice(self->far.tone_hz),
                          ToneVoice(target.tone_hz), loop_.now() + config_.timing.transfer_talk});
    } else {
      leg.ended = loop_.now();
    }
    events_of(*self).reply(request, 0);
    end_on_line(call, n);
    ensure_media_ticks();
  });
  return 0;
}

// --- consultation ---

HCALL SimProvider::new_consultation(HCALL primary, HCALL consult) {
  Call* p = find(primary);
  Call c;
  c.line = p->line;
  c.slot = p->slot;  // no channel of its own: it speaks on its primary's
  c.phase = Phase::DialTone;
  c.primary = primary;
  CallRecord& r = new_record(p->line, consult, true, "", FarEndOutcome::Answer);
  r.consultation = true;
  c.record = r.number;
  add_call(consult, std::move(c));
  return consult;
}

LONG SimProvider::setup_transfer(HCALL call, HCALL consult, RequestId request) {
  return setup_conference(call, 0, consult, request);
}

// Without a conference handle this is the set-up of a transfer.
LONG SimProvider::setup_conference(HCALL call, HCALL conference, HCALL consult,
                                   RequestId request) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->phase != Phase::Connected) return LINEERR_INVALCALLSTATE;
  if (never_replies(*c)) return 0;
  at(messaging::Duration::zero(), call, [this, call, conference, consult, request] {
    Call* self = find(call);
    if (!self || self->phase != Phase::Connected) return;
    const DWORD pending = conference ? LINECALLSTATE_ONHOLDPENDCONF
                                     : LINECALLSTATE_ONHOLDPENDTRANSFER;
    self->phase = Phase::Held;
    self->held_state = pending;
    self->conference = conference;
    if (conference) {
      Call room;
      room.line = self->line;
      room.slot = self->slot;
      room.is_conference = true;
      room.phase = Phase::Held;
      room.held_state = pending;
      room.record = 0;  // the conference itself has no far end
      add_call(conference, std::move(room));
    }
    new_consultation(call, consult);
    events_of(*find(call)).reply(request, 0);
    state(call, pending);
    if (conference) state(conference, pending);
    state(consult, LINECALLSTATE_DIALTONE);
    ensure_media_ticks();
  });
  return 0;
}

void SimProvider::consultation_ended(HCALL consult) {
  Call* c = find(consult);
  if (!c || c->primary == 0) return;
  Call* p = find(c->primary);
  const HCALL primary = c->primary;
  c->primary = 0;
  if (!p || p->phase != Phase::Held || p->held_state == LINECALLSTATE_ONHOLD) return;
  // The call it was set up from stays held, now plainly, so that Unhold takes it back.
  const HCALL conference = p->conference;
  p->held_state = LINECALLSTATE_ONHOLD;
  p->conference = 0;
  state(primary, LINECALLSTATE_ONHOLD);
  if (Call* room = find(conference); room && room->is_conference) {
    room->phase = Phase::Idle;
    state(conference, LINECALLSTATE_IDLE);
  }
}

LONG SimProvider::complete_transfer(HCALL call, HCALL consult, HCALL conference, DWORD mode,
                                    RequestId request) {
  Call* a = find(call);
  Call* b = find(consult);
  if (!a || !b || a->line != b->line || a->is_conference || b->is_conference)
    return LINEERR_INVALCALLHANDLE;
  auto joinable = [](Phase p) { return p == Phase::Connected || p == Phase::Held; };
  if (!joinable(a->phase) || !joinable(b->phase)) return LINEERR_INVALCALLSTATE;
  if (never_replies(*a)) return 0;
  at(messaging::Duration::zero(), call, [this, call, consult, conference, mode, request] {
    Call* self = find(call);
    Call* other = find(consult);
    if (!self || !other) return;
    events_of(*self).reply(request, 0);
    if (mode == LINETRANSFERMODE_TRANSFER) {
      join(call, consult);
      return;
    }
    Call room;
    room.line = self->line;
    room.slot = self->slot;
    room.is_conference = true;
    room.phase = Phase::Connected;
    room.record = 0;
    const std::size_t slot = self->slot;
    add_call(conference, std::move(room));
    move_to_slot(consult, slot);
    for (HCALL party : {call, consult}) {
      Call* p = find(party);
      p->phase = Phase::Conferenced;
      p->conference = conference;
      p->primary = 0;
      if (CallRecord* r = record_of(*p)) r->conferenced = true;
    }
    state(conference, LINECALLSTATE_CONNECTED);
    state(call, LINECALLSTATE_CONFERENCED);
    state(consult, LINECALLSTATE_CONFERENCED);
  });
  return 0;
}

LONG SimProvider::add_to_conference(HCALL conference, HCALL consult, RequestId request) {
  Call* room = find(conference);
  Call* c = find(consult);
  if (!room || !room->is_conference || !c || c->is_conference || room->line != c->line)
    return LINEERR_INVALCALLHANDLE;
  if (c->phase != Phase::Connected && c->phase != Phase::Held) return LINEERR_INVALCALLSTATE;
  if (never_replies(*c)) return 0;
  at(messaging::Duration::zero(), conference, [this, conference, consult, request] {
    Call* self = find(conference);
    Call* joining = find(consult);
    if (!self || !joining) return;
    self->phase = Phase::Connected;
    move_to_slot(consult, self->slot);
    std::vector<HCALL> waiting;
    for (auto& [handle, party] : calls_)
      if (party.conference == conference && party.phase == Phase::Held) waiting.push_back(handle);
    joining->conference = conference;
    joining->primary = 0;
    waiting.insert(waiting.begin(), consult);
    for (HCALL h : waiting) {
      Call* p = find(h);
      p->phase = Phase::Conferenced;
      if (CallRecord* r = record_of(*p)) r->conferenced = true;
    }
    events_of(*self).reply(request, 0);
    state(conference, LINECALLSTATE_CONNECTED);
    for (HCALL h : waiting) state(h, LINECALLSTATE_CONFERENCED);
  });
  return 0;
}

void SimProvider::end_conference_if_empty(HCALL conference) {
  Call* room = find(conference);
  if (!room || !room->is_conference) return;
  if (room->phase == Phase::Idle) {
    // The conference itself was dropped: every party goes with it.
    std::vector<HCALL> parties;
    for (auto& [handle, party] : calls_)
      if (party.conference == conference && party.phase != Phase::Idle) parties.push_back(handle);
    for (HCALL h : parties) {
      Call* p = find(h);
      p->phase = Phase::Idle;
      cancel(h);
      if (CallRecord* r = record_of(*p); r && !r->ended) r->ended = loop_.now();
      state(h, LINECALLSTATE_IDLE);
    }
    return;
  }
  for (auto& [handle, party] : calls_)
    if (party.conference == conference &&
        (party.phase == Phase::Conferenced || party.phase == Phase::Held))
      return;
  room->phase = Phase::Idle;
  state(conference, LINECALLSTATE_IDLE);
}

// --- far ends joined to each other ---

void SimProvider::join(HCALL a, HCALL b) {
  Call* first = find(a);
  Call* second = find(b);
  CallRecord* ra = record_of(*first);
  CallRecord* rb = record_of(*second);
  if (ra && rb) {
    bridges_.push_back({ra->number, rb->number, ToneVoice(first->far.tone_hz),
                        ToneVoice(second->far.tone_hz),
                        loop_.now() + config_.timing.transfer_talk});
  }
  const std::string to_b = rb ? rb->dialled : "", to_a = ra ? ra->dialled : "";
  end_on_line(a, to_b);
  end_on_line(b, to_a);
  ensure_media_ticks();
}

// The far end is no longer on this line: the call disconnects and goes idle by itself.
void SimProvider::end_on_line(HCALL call, const std::string& handed_to) {
  Call* c = find(call);
  if (!c) return;
  cancel(call);
  c->phase = Phase::Ended;
  c->primary = 0;
  if (CallRecord* r = record_of(*c)) {
    r->transferred_to = handed_to;
    if (!r->ended) r->ended = loop_.now();
  }
  state(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  at(messaging::Duration::zero(), call, [this, call] {
    if (Call* done = find(call)) {
      done->phase = Phase::Idle;
      state(call, LINECALLSTATE_IDLE);
    }
  });
}

}  // namespace orvexa::telephony
