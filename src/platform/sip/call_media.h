// One call's RTP on the SIP thread: G.711 frames every 20 ms from the line's outbound audio,
// received audio through libre's jitter buffer, key presses both ways (RFC 4733 and in-band).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/sip/call_audio.h"
#include "platform/sip/digit_sender.h"
#include "platform/sip/media_clock.h"
#include "platform/sip/re_ref.h"
#include "platform/sip/rtp_payload.h"
#include "platform/sip/sdp.h"

struct rtp_sock;
struct jbuf;
struct sa;
struct rtp_header;
struct mbuf;

namespace orvexa::dsp {
class DtmfDetector;
class DtmfGenerator;
}

namespace orvexa::sip {

struct MediaEvents {
  std::function<void(std::span<const std::int16_t>)> heard;  // one 20 ms frame from the far end
  std::function<void(char key)> key;
  std::function<void(std::size_t bytes)> sent;  // bytes of outbound audio that went out
  std::function<void()> silent_too_long;        // no RTP for the rtp timeout
};

// Paced by the SIP thread's media clock, which it joins while running.
class CallMedia final : private MediaClock::Member {
 public:
  CallMedia(MediaClock& clock, std::shared_ptr<OutboundAudio> outbound, MediaEvents events,
            DtmfMode dtmf, std::chrono::seconds rtp_timeout);
  ~CallMedia();
  CallMedia(const CallMedia&) = delete;
  CallMedia& operator=(const CallMedia&) = delete;

  // Binds the RTP socket on `local_ip` (an even port); errno-style result.
  int open(const std::string& local_ip);
  std::uint16_t local_port() const;
  std::string local_ip() const { return local_ip_; }

  // Starts (or re-aims) sending and receiving as negotiated.
  void start(const RemoteMedia& remote, const Negotiated& chosen);
  void set_direction(MediaDirection ours) { direction_ = ours; }
  // Stops sending and receiving for good (the call has ended).
  void stop();
  bool running() const { return running_; }
  // Keys for the far end; ',' pauses 2 s. Sent as events when it takes them, else as tones.
  bool send_keys(std::string_view keys);
  // Spacing of the last sends, for the benchmarks: microseconds between consecutive frames.
  std::function<void(std::int64_t us)> on_spacing;
  std::uint64_t frames_sent() const { return frames_sent_; }
  std::uint64_t packets_dropped() const { return rtp_filter_.dropped(); }

 private:
  static void on_rtp(const ::sa* src, const ::rtp_header* hdr, ::mbuf* mb, void* arg);
  void frame() override;
  void send_frame();
  void receive_frame();
  std::uint64_t now_ms() const;

  MediaClock& clock_;
  std::shared_ptr<OutboundAudio> outbound_;
  MediaEvents events_;
  DtmfMode dtmf_;
  std::chrono::milliseconds rtp_timeout_;
  std::string local_ip_;
  ReRef<::rtp_sock> rtp_;
  ReRef<::jbuf> jbuf_;
  ReRef<::mbuf> packet_;            // reused for every frame sent
  std::unique_ptr<::sa> remote_sa_;  // the far end's RTP address, parsed once per start()
  std::unique_ptr<dsp::DtmfDetector> detector_;
  std::unique_ptr<dsp::DtmfGenerator> generator_;
  std::deque<std::int16_t> inband_out_;
  DigitSender keys_;
  DigitEventFilter key_filter_;
  RtpSourceFilter rtp_filter_{0, -1};
  Negotiated chosen_;
  std::string remote_address_;
  std::uint16_t remote_port_ = 0;
  MediaDirection direction_ = MediaDirection::SendRecv;
  MediaDirection remote_direction_ = MediaDirection::SendRecv;
  bool running_ = false;
  bool use_events_out_ = false;
  std::uint32_t tick_ = 0;
  std::uint32_t timestamp_base_ = 0;
  std::chrono::steady_clock::time_point last_send_{};
  std::chrono::steady_clock::time_point last_rx_;
  std::uint64_t frames_sent_ = 0;
};

}  // namespace orvexa::sip
