#include "platform/sip/call_media.h"

#include <netinet/in.h>

#include <array>

extern "C" {
#include <re.h>
}

#include "platform/dsp/dtmf.h"

namespace orvexa::sip {
namespace {

constexpr std::uint16_t kRtpPortMin = 10000, kRtpPortMax = 40000;
constexpr std::size_t kMaxDatagram = 1500;

}  // namespace

CallMedia::CallMedia(MediaClock& clock, std::shared_ptr<OutboundAudio> outbound,
                     MediaEvents events, DtmfMode dtmf, std::chrono::seconds rtp_timeout)
    : clock_(clock),
      outbound_(std::move(outbound)),
      events_(std::move(events)),
      dtmf_(dtmf),
      rtp_timeout_(rtp_timeout),
      remote_sa_(std::make_unique<::sa>()) {}

CallMedia::~CallMedia() {
  clock_.remove(*this);
  rtp_.reset();
  jbuf_.reset();
}

int CallMedia::open(const std::string& local_ip) {
  ::sa ip{};
  int err = sa_set_str(&ip, local_ip.c_str(), 0);
  if (err != 0) return err;
  local_ip_ = local_ip;
  struct rtp_sock* rs = nullptr;
  err = rtp_listen(&rs, IPPROTO_UDP, &ip, kRtpPortMin, kRtpPortMax, false, &CallMedia::on_rtp,
                   nullptr, this);
  rtp_ = adopt(rs);
  if (err != 0) return err;
  // Each datagram is read into a buffer of this size; libre's default is 8 KiB, far more than
  // any frame we accept, and it is allocated anew for every packet.
  udp_rxsz_set(static_cast<::udp_sock*>(rtp_sock(rtp_.get())), kMaxDatagram);
  ::jbuf* jb = nullptr;
  err = jbuf_alloc(&jb, 1, 10);
  jbuf_ = adopt(jb);
  if (err != 0) return err;
  packet_ = adopt(mbuf_alloc(RTP_HEADER_SIZE + 4 * kSamplesPerFrame));
  timestamp_base_ = rand_u32();
  return packet_ ? 0 : ENOMEM;
}

std::uint16_t CallMedia::local_port() const {
  return rtp_ ? sa_port(rtp_local(rtp_.get())) : 0;
}

void CallMedia::start(const RemoteMedia& remote, const Negotiated& chosen) {
  chosen_ = chosen;
  remote_address_ = remote.address;
  remote_port_ = remote.port;
  if (sa_set_str(remote_sa_.get(), remote_address_.c_str(), remote_port_) != 0) *remote_sa_ = ::sa{};
  remote_direction_ = remote.direction;
  rtp_filter_.set_payload_types(chosen.pt, chosen.telephone_event_pt);
  use_events_out_ = chosen.telephone_event_pt >= 0 && dtmf_ != DtmfMode::Inband;
  const bool inband_in = dtmf_ != DtmfMode::Rfc4733 || chosen.telephone_event_pt < 0;
  if (inband_in && !detector_) detector_ = std::make_unique<dsp::DtmfDetector>();
  if (!inband_in) detector_.reset();
  if (running_) return;
  running_ = clock_.add(*this) == 0;
  last_rx_ = std::chrono::steady_clock::now();
}

void CallMedia::stop() {
  running_ = false;
  clock_.remove(*this);
}

bool CallMedia::send_keys(std::string_view keys) {
  if (use_events_out_ || !running_) return keys_.queue(keys);
  // In-band: the tones are mixed into the outbound frames in place of the played audio.
  if (!generator_) generator_ = std::make_unique<dsp::DtmfGenerator>();
  for (char c : keys) {
    if (c == ',') {
      inband_out_.insert(inband_out_.end(), 16000, 0);
      continue;
    }
    const auto pcm = generator_->render(std::string_view(&c, 1));
    inband_out_.insert(inband_out_.end(), pcm.begin(), pcm.end());
  }
  return true;
}

std::uint64_t CallMedia::now_ms() const {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void CallMedia::frame() {
  send_frame();
  receive_frame();
  ++tick_;
  // Silence is expected while either side holds: only a two-way call must keep hearing RTP.
  const bool on_hold = remote_direction_ != MediaDirection::SendRecv ||
                       (direction_ != MediaDirection::SendRecv && direction_ != MediaDirection::RecvOnly);
  if (rtp_timeout_.count() > 0 && !on_hold &&
      std::chrono::steady_clock::now() - last_rx_ > rtp_timeout_) {
    stop();
    if (events_.silent_too_long) events_.silent_too_long();  // may destroy us: return at once
  }
}

void CallMedia::send_frame() {
  std::array<std::int16_t, kSamplesPerFrame> pcm{};
  const std::size_t taken = outbound_ ? outbound_->pop(pcm) : 0;
  if (taken > 0 && events_.sent) events_.sent(taken * 2);
  if (!inband_out_.empty()) {
    for (auto& s : pcm) {
      s = inband_out_.empty() ? 0 : inband_out_.front();
      if (!inband_out_.empty()) inband_out_.pop_front();
    }
  }
  if (direction_ == MediaDirection::RecvOnly || direction_ == MediaDirection::Inactive) return;
  if (!sa_isset(remote_sa_.get(), SA_ALL) || !packet_) return;

  ::mbuf* mb = packet_.get();
  mb->pos = mb->end = RTP_HEADER_SIZE;
  const std::uint32_t ts = timestamp_base_ + tick_ * kSamplesPerFrame;
  const auto key = keys_.tick(tick_);
  if (key && chosen_.telephone_event_pt >= 0) {
    std::uint8_t ev[4];
    encode_telephone_event(key->event, ev);
    mbuf_write_mem(mb, ev, sizeof ev);
    mb->pos = RTP_HEADER_SIZE;
    rtp_send(rtp_.get(), remote_sa_.get(), false, key->marker,
             static_cast<std::uint8_t>(chosen_.telephone_event_pt),
             timestamp_base_ + key->started_tick * kSamplesPerFrame, mb);
  } else {
    std::array<std::uint8_t, kSamplesPerFrame> coded{};
    g711_encode(chosen_.codec, pcm, coded);
    mbuf_write_mem(mb, coded.data(), coded.size());
    mb->pos = RTP_HEADER_SIZE;
    rtp_send(rtp_.get(), remote_sa_.get(), false, frames_sent_ == 0,
             static_cast<std::uint8_t>(chosen_.pt), ts, mb);
  }
  ++frames_sent_;
  const auto now = std::chrono::steady_clock::now();
  if (on_spacing && last_send_.time_since_epoch().count() != 0)
    on_spacing(std::chrono::duration_cast<std::chrono::microseconds>(now - last_send_).count());
  last_send_ = now;
}

void CallMedia::receive_frame() {
  std::array<std::int16_t, kSamplesPerFrame> pcm{};
  ::rtp_header hdr{};
  void* mem = nullptr;
  const int err = jbuf_get(jbuf_.get(), &hdr, &mem);
  ReRef<::mbuf> mb = adopt(static_cast<::mbuf*>(mem));
  if ((err == 0 || err == EAGAIN) && mb) {
    const std::size_t n = std::min<std::size_t>(mbuf_get_left(mb.get()), kSamplesPerFrame);
    g711_decode(chosen_.codec, std::span<const std::uint8_t>(mbuf_buf(mb.get()), n), pcm);
  }
  if (detector_)
    for (char k : detector_->feed(pcm))
      if (events_.key) events_.key(k);
  if (events_.heard) events_.heard(pcm);
}

void CallMedia::on_rtp(const ::sa* src, const ::rtp_header* hdr, ::mbuf* mb, void* arg) {
  auto* self = static_cast<CallMedia*>(arg);
  if (!self->running_ || hdr == nullptr || mb == nullptr) return;
  // Only the address the far end's description named may speak into the call.
  if (!sa_isset(self->remote_sa_.get(), SA_ADDR) || !sa_cmp(src, self->remote_sa_.get(), SA_ADDR))
    return;
  const auto kind = self->rtp_filter_.classify(hdr->ssrc, hdr->pt, self->now_ms());
  if (kind == RtpSourceFilter::Kind::Dropped) return;
  self->last_rx_ = std::chrono::steady_clock::now();
  if (kind == RtpSourceFilter::Kind::Event) {
    const auto e = parse_telephone_event(
        std::span<const std::uint8_t>(mbuf_buf(mb), mbuf_get_left(mb)));
    if (!e) return;
    if (auto k = self->key_filter_.accept(hdr->ts, *e, self->now_ms()); k && self->events_.key)
      self->events_.key(*k);
    return;
  }
  if (mbuf_get_left(mb) == 0 || mbuf_get_left(mb) > 4 * kSamplesPerFrame) return;
  jbuf_put(self->jbuf_.get(), hdr, mb);
}

}  // namespace orvexa::sip
