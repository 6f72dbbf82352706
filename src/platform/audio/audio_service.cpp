#include "platform/audio/audio_service.h"

#include <algorithm>
#include <cstring>

namespace orvexa::audio {

using messaging::LPARAM;
using messaging::WPARAM;

const char* kind_name(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::System: return "system";
    case DeviceKind::Line: return "line";
    case DeviceKind::Virtual: return "virtual";
  }
  return "?";
}

namespace {

LPARAM header_param(WAVEHDR* header) { return reinterpret_cast<LPARAM>(header); }

bool format_is_sane(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels == 0 || f.nSamplesPerSec == 0) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
         f.nAvgBytesPerSec == std::uint64_t{f.nSamplesPerSec} * f.nBlockAlign;
}

}  // namespace

// One open output: the queue of written headers with the byte offset at which each ends.
class AudioService::OutStream final : public PlaybackClient {
 public:
  OutStream(AudioService& service, HWAVEOUT handle, std::shared_ptr<PlaybackDevice> device,
            messaging::WindowHandle window)
      : service_(service), handle_(handle), device_(std::move(device)), window_(window) {}

  void played(std::uint64_t bytes) override {
    played_ += bytes;
    while (!queue_.empty() && queue_.front().second <= played_) {
      WAVEHDR* h = queue_.front().first;
      queue_.pop_front();
      complete(h);
    }
  }
  void complete(WAVEHDR* h) {
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    post(MM_WOM_DONE, h);
  }
  void post(messaging::UINT message, WAVEHDR* h = nullptr) {
    if (window_ != messaging::kNoWindow)
      service_.loop_.post(window_, message, static_cast<WPARAM>(handle_), header_param(h));
  }
  MMRESULT write(WAVEHDR* h) {
    const MMRESULT r = device_->feed({reinterpret_cast<const std::uint8_t*>(h->lpData),
                                      h->dwBufferLength});
    if (r != MMSYSERR_NOERROR) return r;
    h->dwFlags = (h->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    fed_ += h->dwBufferLength;
    queue_.emplace_back(h, fed_);
    if (h->dwBufferLength == 0) played(0);
    return MMSYSERR_NOERROR;
  }
  void return_all() {
    auto queue = std::move(queue_);
    queue_.clear();
    for (auto& [h, end] : queue) complete(h);
    played_ = fed_ = 0;
  }
  bool has_queued() const { return !queue_.empty(); }
  bool contains(const WAVEHDR* h) const {
    return std::any_of(queue_.begin(), queue_.end(), [h](auto& q) { return q.first == h; });
  }
  void detach() {
    device_->reset();
    device_->close();
    return_all();
    detached_ = true;
    post(MM_WOM_CLOSE);
  }

  AudioService& service_;
  HWAVEOUT handle_;
  std::shared_ptr<PlaybackDevice> device_;
  messaging::WindowHandle window_;
  std::deque<std::pair<WAVEHDR*, std::uint64_t>> queue_;
  std::uint64_t played_ = 0;
  std::uint64_t fed_ = 0;
  bool detached_ = false;
};

// One open input: the queue of buffers that the device fills in turn.
class AudioService::InStream final : public CaptureClient {
 public:
  InStream(AudioService& service, HWAVEIN handle, std::shared_ptr<CaptureDevice> device,
           messaging::WindowHandle window)
      : service_(service), handle_(handle), device_(std::move(device)), window_(window) {}

  void captured(std::span<const std::uint8_t> bytes) override {
    while (!bytes.empty() && !queue_.empty()) {
      WAVEHDR* h = queue_.front();
      const std::size_t room = h->dwBufferLength - h->dwBytesRecorded;
      const std::size_t n = std::min(room, bytes.size());
      if (n > 0) std::memcpy(h->lpData + h->dwBytesRecorded, bytes.data(), n);
      h->dwBytesRecorded += static_cast<DWORD>(n);
      bytes = bytes.subspan(n);
      if (h->dwBytesRecorded == h->dwBufferLength) return_front();
    }
    // Bytes with no buffer to go into are lost, as with a real device.
  }
  std::size_t room() const override {
    return queue_.empty() ? 0 : queue_.front()->dwBufferLength - queue_.front()->dwBytesRecorded;
  }
  void return_front() {
    WAVEHDR* h = queue_.front();
    queue_.pop_front();
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    post(MM_WIM_DATA, h);
  }
  void post(messaging::UINT message, WAVEHDR* h = nullptr) {
    if (window_ != messaging::kNoWindow)
      service_.loop_.post(window_, message, static_cast<WPARAM>(handle_), header_param(h));
  }
  void return_all() {
    while (!queue_.empty()) return_front();
  }
  bool contains(const WAVEHDR* h) const {
    return std::find(queue_.begin(), queue_.end(), h) != queue_.end();
  }
  void detach() {
    device_->reset();
    device_->close();
    return_all();
    detached_ = true;
    post(MM_WIM_CLOSE);
  }

  AudioService& service_;
  HWAVEIN handle_;
  std::shared_ptr<CaptureDevice> device_;
  messaging::WindowHandle window_;
  std::deque<WAVEHDR*> queue_;
  bool detached_ = false;
};

AudioService::AudioService(messaging::Loop& loop) : loop_(loop) {}

AudioService::~AudioService() {
  for (auto& [h, s] : outs_) {
    if (!s->detached_) s->device_->close();
  }
  for (auto& [h, s] : ins_) {
    if (!s->detached_) s->device_->close();
  }
}

DeviceId AudioService::add_playback_device(std::shared_ptr<PlaybackDevice> device) {
  if (!device) return 0;
  const DeviceKind kind = device->kind();
  entries_.push_back({next_id_, kind, std::move(device), nullptr});
  return next_id_++;
}

DeviceId AudioService::add_capture_device(std::shared_ptr<CaptureDevice> device) {
  if (!device) return 0;
  const DeviceKind kind = device->kind();
  entries_.push_back({next_id_, kind, nullptr, std::move(device)});
  return next_id_++;
}

bool AudioService::remove_device(DeviceId id) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [id](auto& e) { return e.id == id; });
  if (it == entries_.end()) return false;
  for (auto& [h, s] : outs_)
    if (!s->detached_ && it->playback && s->device_ == it->playback) s->detach();
  for (auto& [h, s] : ins_)
    if (!s->detached_ && it->capture && s->device_ == it->capture) s->detach();
  entries_.erase(it);
  return true;
}

std::vector<const AudioService::Entry*> AudioService::ordered(Direction direction) const {
  std::vector<const Entry*> list;
  for (const auto& e : entries_)
    if ((direction == Direction::Playback) == (e.playback != nullptr)) list.push_back(&e);
  std::stable_sort(list.begin(), list.end(), [](const Entry* a, const Entry* b) {
    return static_cast<int>(a->kind) < static_cast<int>(b->kind);
  });
  return list;
}

const AudioService::Entry* AudioService::entry_at(Direction direction,
                                                  std::uint32_t number) const {
  const auto list = ordered(direction);
  if (number == WAVE_MAPPER) number = 0;
  return number < list.size() ? list[number] : nullptr;
}

std::optional<std::uint32_t> AudioService::playback_number(DeviceId id) const {
  const auto list = ordered(Direction::Playback);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i]->id == id) return static_cast<std::uint32_t>(i);
  return std::nullopt;
}

std::optional<std::uint32_t> AudioService::capture_number(DeviceId id) const {
  const auto list = ordered(Direction::Capture);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i]->id == id) return static_cast<std::uint32_t>(i);
  return std::nullopt;
}

std::vector<DeviceListing> AudioService::devices(Direction direction) const {
  std::vector<DeviceListing> out;
  const auto list = ordered(direction);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Entry& e = *list[i];
    out.push_back({direction, static_cast<std::uint32_t>(i), e.id,
                   e.playback ? e.playback->name() : e.capture->name(), e.kind});
  }
  return out;
}

void AudioService::inject_fault(std::string call, MMRESULT result, int count) {
  faults_.push_back({std::move(call), result, count});
}

bool AudioService::fault(const char* call, MMRESULT& result) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->call != call) continue;
    result = it->result;
    if (--it->count <= 0) faults_.erase(it);
    return true;
  }
  return false;
}

AudioService::OutStream* AudioService::out(HWAVEOUT handle) const {
  auto it = outs_.find(handle);
  return it == outs_.end() ? nullptr : it->second.get();
}

AudioService::InStream* AudioService::in(HWAVEIN handle) const {
  auto it = ins_.find(handle);
  return it == ins_.end() ? nullptr : it->second.get();
}

static MMRESULT fill_caps(const std::u16string& name, WAVECAPS* caps) {
  if (caps == nullptr) return MMSYSERR_INVALPARAM;
  *caps = WAVECAPS{};
  caps->szPname = name.substr(0, MAXPNAMELEN - 1);
  caps->dwFormats = 0xFFF;
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

// ---------------------------------------------------------------- waveOut

std::uint32_t AudioService::waveOutGetNumDevs() const {
  return static_cast<std::uint32_t>(ordered(Direction::Playback).size());
}

MMRESULT AudioService::waveOutGetDevCaps(std::uint32_t device, WAVEOUTCAPS* caps) const {
  const Entry* e = entry_at(Direction::Playback, device);
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  return fill_caps(e->playback->name(), caps);
}

MMRESULT AudioService::waveOutOpen(HWAVEOUT* handle, std::uint32_t device,
                                   const WAVEFORMATEX* format, messaging::WindowHandle callback,
                                   DWORD_PTR, DWORD flags) {
  MMRESULT r;
  if (fault("waveOutOpen", r)) return r;
  const Entry* e = entry_at(Direction::Playback, device);
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  if (!format_is_sane(*format)) return WAVERR_BADFORMAT;
  if ((r = e->playback->supports(*format)) != MMSYSERR_NOERROR) return r;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  const HWAVEOUT h = next_handle_++;
  auto stream = std::make_unique<OutStream>(*this, h, e->playback,
                                            (flags & CALLBACK_WINDOW) ? callback : 0);
  if ((r = e->playback->open(*format, *stream)) != MMSYSERR_NOERROR) return r;
  stream->post(MM_WOM_OPEN);
  outs_.emplace(h, std::move(stream));
  *handle = h;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveOutPrepareHeader", r)) return r;
  if (out(handle) == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0))
    return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveOutUnprepareHeader", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (s->contains(header)) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveOutWrite", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (s->contains(header)) return WAVERR_STILLPLAYING;
  return s->write(header);
}

MMRESULT AudioService::waveOutPause(HWAVEOUT handle) {
  MMRESULT r;
  if (fault("waveOutPause", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  return s->detached_ ? MMSYSERR_NODRIVER : s->device_->pause();
}

MMRESULT AudioService::waveOutRestart(HWAVEOUT handle) {
  MMRESULT r;
  if (fault("waveOutRestart", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  return s->detached_ ? MMSYSERR_NODRIVER : s->device_->restart();
}

MMRESULT AudioService::waveOutReset(HWAVEOUT handle) {
  MMRESULT r;
  if (fault("waveOutReset", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  r = s->device_->reset();
  s->return_all();
  return r;
}

MMRESULT AudioService::waveOutGetPosition(HWAVEOUT handle, MMTIME* time, std::uint32_t) {
  MMRESULT r;
  if (fault("waveOutGetPosition", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  if (time == nullptr) return MMSYSERR_INVALPARAM;
  std::uint64_t bytes = 0;
  if ((r = s->device_->position(bytes)) != MMSYSERR_NOERROR) return r;
  time->wType = TIME_BYTES;
  time->cb = static_cast<DWORD>(bytes);
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveOutClose(HWAVEOUT handle) {
  MMRESULT r;
  if (fault("waveOutClose", r)) return r;
  OutStream* s = out(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->has_queued()) return WAVERR_STILLPLAYING;
  if (!s->detached_) {
    s->device_->close();
    s->post(MM_WOM_CLOSE);
  }
  outs_.erase(handle);
  return MMSYSERR_NOERROR;
}

// ---------------------------------------------------------------- waveIn

std::uint32_t AudioService::waveInGetNumDevs() const {
  return static_cast<std::uint32_t>(ordered(Direction::Capture).size());
}

MMRESULT AudioService::waveInGetDevCaps(std::uint32_t device, WAVEINCAPS* caps) const {
  const Entry* e = entry_at(Direction::Capture, device);
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  return fill_caps(e->capture->name(), caps);
}

MMRESULT AudioService::waveInOpen(HWAVEIN* handle, std::uint32_t device,
                                  const WAVEFORMATEX* format, messaging::WindowHandle callback,
                                  DWORD_PTR, DWORD flags) {
  MMRESULT r;
  if (fault("waveInOpen", r)) return r;
  const Entry* e = entry_at(Direction::Capture, device);
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  if (!format_is_sane(*format)) return WAVERR_BADFORMAT;
  if ((r = e->capture->supports(*format)) != MMSYSERR_NOERROR) return r;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  const HWAVEIN h = next_handle_++;
  auto stream = std::make_unique<InStream>(*this, h, e->capture,
                                           (flags & CALLBACK_WINDOW) ? callback : 0);
  if ((r = e->capture->open(*format, *stream)) != MMSYSERR_NOERROR) return r;
  stream->post(MM_WIM_OPEN);
  ins_.emplace(h, std::move(stream));
  *handle = h;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveInPrepareHeader", r)) return r;
  if (in(handle) == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0))
    return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveInUnprepareHeader", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (s->contains(header)) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  MMRESULT r;
  if (fault("waveInAddBuffer", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  if (header == nullptr || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (s->contains(header)) return WAVERR_STILLPLAYING;
  header->dwBytesRecorded = 0;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  s->queue_.push_back(header);
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveInStart(HWAVEIN handle) {
  MMRESULT r;
  if (fault("waveInStart", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  return s->detached_ ? MMSYSERR_NODRIVER : s->device_->start();
}

MMRESULT AudioService::waveInStop(HWAVEIN handle) {
  MMRESULT r;
  if (fault("waveInStop", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  r = s->device_->stop();
  // The buffer being filled comes back with what it holds; empty ones stay queued.
  if (!s->queue_.empty() && s->queue_.front()->dwBytesRecorded > 0) s->return_front();
  return r;
}

MMRESULT AudioService::waveInReset(HWAVEIN handle) {
  MMRESULT r;
  if (fault("waveInReset", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  r = s->device_->reset();
  s->return_all();
  return r;
}

MMRESULT AudioService::waveInGetPosition(HWAVEIN handle, MMTIME* time, std::uint32_t) {
  MMRESULT r;
  if (fault("waveInGetPosition", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  if (time == nullptr) return MMSYSERR_INVALPARAM;
  std::uint64_t bytes = 0;
  if ((r = s->device_->position(bytes)) != MMSYSERR_NOERROR) return r;
  time->wType = TIME_BYTES;
  time->cb = static_cast<DWORD>(bytes);
  return MMSYSERR_NOERROR;
}

MMRESULT AudioService::waveInClose(HWAVEIN handle) {
  MMRESULT r;
  if (fault("waveInClose", r)) return r;
  InStream* s = in(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (!s->queue_.empty()) return WAVERR_STILLPLAYING;
  if (!s->detached_) {
    s->device_->close();
    s->post(MM_WIM_CLOSE);
  }
  ins_.erase(handle);
  return MMSYSERR_NOERROR;
}

}  // namespace orvexa::audio
