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

// What an open output and an open input share: their handle, their device, the window that gets
// their notices, and whether the device has gone (removed while open).
template <class Device>
class StreamCore {
 public:
  StreamCore(messaging::Loop& loop, std::uint32_t handle, std::shared_ptr<Device> device,
             messaging::WindowHandle window)
      : loop_(loop), handle_(handle), device_(std::move(device)), window_(window) {}

  void post(messaging::UINT message, WAVEHDR* h = nullptr) {
    if (window_ != messaging::kNoWindow)
      loop_.post(window_, message, static_cast<WPARAM>(handle_), header_param(h));
  }

  messaging::Loop& loop_;
  std::uint32_t handle_;
  std::shared_ptr<Device> device_;
  messaging::WindowHandle window_;
  bool detached_ = false;
};

}  // namespace

// One open output: the queue of written headers with the byte offset at which each ends.
class AudioService::OutStream final : public PlaybackClient, public StreamCore<PlaybackDevice> {
 public:
  static constexpr messaging::UINT kOpenNotice = MM_WOM_OPEN;
  static constexpr messaging::UINT kCloseNotice = MM_WOM_CLOSE;
  using StreamCore::StreamCore;

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

  std::deque<std::pair<WAVEHDR*, std::uint64_t>> queue_;
  std::uint64_t played_ = 0;
  std::uint64_t fed_ = 0;
};

// One open input: the queue of buffers that the device fills in turn.
class AudioService::InStream final : public CaptureClient, public StreamCore<CaptureDevice> {
 public:
  static constexpr messaging::UINT kOpenNotice = MM_WIM_OPEN;
  static constexpr messaging::UINT kCloseNotice = MM_WIM_CLOSE;
  using StreamCore::StreamCore;

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
  void return_all() {
    while (!queue_.empty()) return_front();
  }
  bool has_queued() const { return !queue_.empty(); }
  bool contains(const WAVEHDR* h) const {
    return std::find(queue_.begin(), queue_.end(), h) != queue_.end();
  }

  std::deque<WAVEHDR*> queue_;
};

namespace {

// The device went away under an open stream: its buffers come back, then the close notice.
template <class Stream>
void detach(Stream& s) {
  s.device_->reset();
  s.device_->close();
  s.return_all();
  s.detached_ = true;
  s.post(Stream::kCloseNotice);
}

template <class Streams, class Device>
void detach_all_on(Streams& streams, const std::shared_ptr<Device>& device) {
  if (!device) return;
  for (auto& [h, s] : streams)
    if (!s->detached_ && s->device_ == device) detach(*s);
}

template <class Streams>
void close_devices(Streams& streams) {
  for (auto& [h, s] : streams)
    if (!s->detached_) s->device_->close();
}

MMRESULT prepare_header(bool open, WAVEHDR* header) {
  if (!open) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->lpData == nullptr && header->dwBufferLength > 0))
    return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

template <class Stream>
MMRESULT unprepare_header(const Stream* s, WAVEHDR* header) {
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (s->contains(header)) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

// Pause, restart, start, stop: a call on the device of a stream that still has one.
template <class Stream, class Call>
MMRESULT on_device(Stream* s, Call call) {
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  return s->detached_ ? MMSYSERR_NODRIVER : call(*s->device_);
}

template <class Stream>
MMRESULT reset_stream(Stream* s) {
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  const MMRESULT r = s->device_->reset();
  s->return_all();
  return r;
}

template <class Stream>
MMRESULT position_of(const Stream* s, MMTIME* time) {
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (s->detached_) return MMSYSERR_NODRIVER;
  if (time == nullptr) return MMSYSERR_INVALPARAM;
  std::uint64_t bytes = 0;
  if (const MMRESULT r = s->device_->position(bytes); r != MMSYSERR_NOERROR) return r;
  time->wType = TIME_BYTES;
  time->cb = static_cast<DWORD>(bytes);
  return MMSYSERR_NOERROR;
}

template <class Streams>
MMRESULT close_stream(Streams& streams, std::uint32_t handle) {
  auto it = streams.find(handle);
  if (it == streams.end()) return MMSYSERR_INVALHANDLE;
  auto& s = *it->second;
  if (s.has_queued()) return WAVERR_STILLPLAYING;
  if (!s.detached_) {
    s.device_->close();
    s.post(s.kCloseNotice);
  }
  streams.erase(it);
  return MMSYSERR_NOERROR;
}

}  // namespace

AudioService::AudioService(messaging::Loop& loop) : loop_(loop) {}

AudioService::~AudioService() {
  close_devices(outs_);
  close_devices(ins_);
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
  detach_all_on(outs_, it->playback);
  detach_all_on(ins_, it->capture);
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

std::optional<std::uint32_t> AudioService::number_of(Direction direction, DeviceId id) const {
  const auto list = ordered(direction);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i]->id == id) return static_cast<std::uint32_t>(i);
  return std::nullopt;
}

std::optional<std::uint32_t> AudioService::playback_number(DeviceId id) const {
  return number_of(Direction::Playback, id);
}

std::optional<std::uint32_t> AudioService::capture_number(DeviceId id) const {
  return number_of(Direction::Capture, id);
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

template <class Stream, class Device>
MMRESULT AudioService::open_stream(std::map<std::uint32_t, std::unique_ptr<Stream>>& streams,
                                   std::shared_ptr<Device> Entry::*device, Direction direction,
                                   std::uint32_t* handle, std::uint32_t number,
                                   const WAVEFORMATEX* format, messaging::WindowHandle callback,
                                   DWORD flags) {
  const Entry* e = entry_at(direction, number);
  if (e == nullptr) return MMSYSERR_BADDEVICEID;
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  if (!format_is_sane(*format)) return WAVERR_BADFORMAT;
  const std::shared_ptr<Device>& chosen = e->*device;
  if (const MMRESULT r = chosen->supports(*format); r != MMSYSERR_NOERROR) return r;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  const std::uint32_t h = next_handle_++;
  const messaging::WindowHandle window = (flags & CALLBACK_WINDOW) ? callback : 0;
  auto stream = std::make_unique<Stream>(loop_, h, chosen, window);
  if (const MMRESULT r = chosen->open(*format, *stream); r != MMSYSERR_NOERROR) return r;
  stream->post(Stream::kOpenNotice);
  streams.emplace(h, std::move(stream));
  *handle = h;
  return MMSYSERR_NOERROR;
}

template <class Work>
MMRESULT AudioService::unless_fault(const char* call, Work work) {
  MMRESULT injected;
  return fault(call, injected) ? injected : work();
}

// ---------------------------------------------------------------- waveOut

std::uint32_t AudioService::waveOutGetNumDevs() const {
  return static_cast<std::uint32_t>(ordered(Direction::Playback).size());
}

MMRESULT AudioService::waveOutGetDevCaps(std::uint32_t device, WAVEOUTCAPS* caps) const {
  const Entry* e = entry_at(Direction::Playback, device);
  return e == nullptr ? MMSYSERR_BADDEVICEID : fill_caps(e->playback->name(), caps);
}

MMRESULT AudioService::waveOutOpen(HWAVEOUT* handle, std::uint32_t device,
                                   const WAVEFORMATEX* format, messaging::WindowHandle callback,
                                   DWORD_PTR, DWORD flags) {
  return unless_fault("waveOutOpen", [&] {
    return open_stream(outs_, &Entry::playback, Direction::Playback, handle, device, format,
                       callback, flags);
  });
}

MMRESULT AudioService::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveOutPrepareHeader", [&] {
    return prepare_header(out(handle) != nullptr, header);
  });
}

MMRESULT AudioService::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveOutUnprepareHeader", [&] {
    return unprepare_header(out(handle), header);
  });
}

MMRESULT AudioService::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveOutWrite", [&] {
    OutStream* s = out(handle);
    if (s == nullptr) return MMSYSERR_INVALHANDLE;
    if (s->detached_) return MMSYSERR_NODRIVER;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (s->contains(header)) return WAVERR_STILLPLAYING;
    return s->write(header);
  });
}

MMRESULT AudioService::waveOutPause(HWAVEOUT handle) {
  return unless_fault("waveOutPause", [&] {
    return on_device(out(handle), [](PlaybackDevice& d) { return d.pause(); });
  });
}

MMRESULT AudioService::waveOutRestart(HWAVEOUT handle) {
  return unless_fault("waveOutRestart", [&] {
    return on_device(out(handle), [](PlaybackDevice& d) { return d.restart(); });
  });
}

MMRESULT AudioService::waveOutReset(HWAVEOUT handle) {
  return unless_fault("waveOutReset", [&] { return reset_stream(out(handle)); });
}

MMRESULT AudioService::waveOutGetPosition(HWAVEOUT handle, MMTIME* time, std::uint32_t) {
  return unless_fault("waveOutGetPosition", [&] { return position_of(out(handle), time); });
}

MMRESULT AudioService::waveOutClose(HWAVEOUT handle) {
  return unless_fault("waveOutClose", [&] { return close_stream(outs_, handle); });
}

// ---------------------------------------------------------------- waveIn

std::uint32_t AudioService::waveInGetNumDevs() const {
  return static_cast<std::uint32_t>(ordered(Direction::Capture).size());
}

MMRESULT AudioService::waveInGetDevCaps(std::uint32_t device, WAVEINCAPS* caps) const {
  const Entry* e = entry_at(Direction::Capture, device);
  return e == nullptr ? MMSYSERR_BADDEVICEID : fill_caps(e->capture->name(), caps);
}

MMRESULT AudioService::waveInOpen(HWAVEIN* handle, std::uint32_t device,
                                  const WAVEFORMATEX* format, messaging::WindowHandle callback,
                                  DWORD_PTR, DWORD flags) {
  return unless_fault("waveInOpen", [&] {
    return open_stream(ins_, &Entry::capture, Direction::Capture, handle, device, format, callback,
                       flags);
  });
}

MMRESULT AudioService::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveInPrepareHeader", [&] {
    return prepare_header(in(handle) != nullptr, header);
  });
}

MMRESULT AudioService::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveInUnprepareHeader", [&] {
    return unprepare_header(in(handle), header);
  });
}

MMRESULT AudioService::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, std::uint32_t) {
  return unless_fault("waveInAddBuffer", [&] {
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
  });
}

MMRESULT AudioService::waveInStart(HWAVEIN handle) {
  return unless_fault("waveInStart", [&] {
    return on_device(in(handle), [](CaptureDevice& d) { return d.start(); });
  });
}

MMRESULT AudioService::waveInStop(HWAVEIN handle) {
  return unless_fault("waveInStop", [&] {
    InStream* s = in(handle);
    return on_device(s, [s](CaptureDevice& d) {
      const MMRESULT r = d.stop();
      // The buffer being filled comes back with what it holds; empty ones stay queued.
      if (!s->queue_.empty() && s->queue_.front()->dwBytesRecorded > 0) s->return_front();
      return r;
    });
  });
}

MMRESULT AudioService::waveInReset(HWAVEIN handle) {
  return unless_fault("waveInReset", [&] { return reset_stream(in(handle)); });
}

MMRESULT AudioService::waveInGetPosition(HWAVEIN handle, MMTIME* time, std::uint32_t) {
  return unless_fault("waveInGetPosition", [&] { return position_of(in(handle), time); });
}

MMRESULT AudioService::waveInClose(HWAVEIN handle) {
  return unless_fault("waveInClose", [&] { return close_stream(ins_, handle); });
}

}  // namespace orvexa::audio
