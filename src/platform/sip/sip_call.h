// One SIP call on the SIP thread: the INVITE dialog (either way), its progress mapped to the
// states a telephone line has, and its media.
//
//   SipCall call(account, outbound, events);
//   call.dial("021888,,1");         // INVITE sip:021888@domain; "1" is keyed 4 s after answer
//   call.hang_up();                 // CANCEL before the answer, BYE after it
//   call.hold(true);                // re-INVITE a=sendonly; events.done(Hold, ok) follows
//   call.transfer("0219");          // REFER; ends as Transferred when the target answers
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/sip/call_media.h"
#include "platform/sip/caller_id.h"
#include "platform/sip/re_ref.h"

struct sip;
struct sipsess;
struct sipsub;
struct sip_msg;
struct mbuf;
struct sipevent_substate;

namespace orvexa::sip {

class SipAccount;

enum class CallPhase { Dialing, Proceeding, Ringback, Offering, Connected, Ended };

// Why a call ended, as the line reports it.
enum class EndReason {
  FarEndHungUp,  // BYE, or no RTP for the rtp timeout
  WeHungUp,
  Busy,          // 486, 600
  NoAnswer,      // 408, 480, our CANCEL at the ring limit
  BadAddress,    // 404, 484, 485
  Rejected,      // 403, 603
  Unavailable,   // any other final answer
  Unreachable,   // no answer at all: the INVITE timed out or the transport failed
  NoCommonCodec, // the far end's description had nothing we can send
  Transferred,   // the far end went on to the target of our REFER
};

// Requests that finish later; each is reported once through CallEvents::done.
enum class CallRequest { Hold, Unhold, Transfer };

// The status code of a message/sipfrag body ("SIP/2.0 200 OK"), if it is one.
std::optional<int> sipfrag_status(std::string_view body);

EndReason reason_for_status(std::uint16_t code);
const char* reason_name(EndReason reason);

struct CallEvents {
  // Reason and status only meaningful for Ended; the status is the far end's final answer
  // ("486 Busy Here") or the network's failure, empty when neither applies.
  std::function<void(CallPhase, EndReason, const std::string& status)> phase;
  MediaEvents media;
  std::function<void(CallRequest, bool ok)> done;
};

class SipCall {
 public:
  SipCall(SipAccount& account, std::shared_ptr<OutboundAudio> outbound, CallEvents events);
  ~SipCall();
  SipCall(const SipCall&) = delete;
  SipCall& operator=(const SipCall&) = delete;

  // Outgoing. The dial string has been checked already; errno-style result.
  int dial(std::string_view dial_string);
  // Incoming: takes the INVITE, answers 180 (or 488 when no codec is common: returns EPROTO).
  int offer(const ::sip_msg& invite);
  int answer();
  void hang_up();
  bool send_keys(std::string_view keys) { return media_.send_keys(keys); }
  // A connected call only, one request at a time (EBUSY); errno-style result.
  int hold(bool on_hold);
  int transfer(std::string_view dial_string);

  CallPhase phase() const { return phase_; }
  const CallerId& caller() const { return caller_; }
  const std::string& dialled() const { return dialled_; }
  // How long an outgoing call may ring before we give up with a CANCEL.
  void set_ring_limit(std::chrono::seconds limit) { ring_limit_ = limit; }
  CallMedia& media() { return media_; }

 private:
  static int on_offer(::mbuf** desc, const ::sip_msg* msg, void* arg);
  static int on_answer(const ::sip_msg* msg, void* arg);
  static void on_progress(const ::sip_msg* msg, void* arg);
  static void on_established(const ::sip_msg* msg, void* arg);
  static void on_close(int err, const ::sip_msg* msg, void* arg);
  static void on_ring_limit(void* arg);
  static void on_notify(::sip* stack, const ::sip_msg* msg, void* arg);
  static void on_refer_closed(int err, const ::sip_msg* msg, const ::sipevent_substate* state,
                              void* arg);
  static void on_request_timer(void* arg);
  void settle_request(bool ok);  // decided: reported from a fresh timer tick
  void finish_request(bool ok);
  bool answer_to_our_offer();

  MediaEvents with_rtp_timeout(MediaEvents events);
  int start_media(const std::string& sdp);
  ReRef<::mbuf> local_description(bool answer);
  void set_phase(CallPhase phase);
  void end(EndReason reason, std::string status = {});

  SipAccount& account_;
  CallEvents events_;
  CallMedia media_;
  ReRef<::sipsess> session_;
  struct Timer;
  std::unique_ptr<Timer> ring_timer_;
  std::unique_ptr<Timer> request_timer_;
  std::optional<CallRequest> pending_;
  std::optional<bool> outcome_;
  MediaDirection direction_before_ = MediaDirection::SendRecv;
  ReRef<::sipsub> refer_;
  CallPhase phase_ = CallPhase::Dialing;
  bool outgoing_ = true;
  bool ended_ = false;
  std::optional<RemoteMedia> remote_;
  std::optional<Negotiated> chosen_;
  MediaDirection our_direction_ = MediaDirection::SendRecv;
  std::string dialled_;
  std::string keys_after_answer_;
  CallerId caller_;
  std::chrono::seconds ring_limit_{60};
  std::uint64_t sdp_session_id_ = 0;
  std::uint64_t sdp_version_ = 0;
};

}  // namespace orvexa::sip
