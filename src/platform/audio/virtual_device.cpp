#include "platform/audio/virtual_device.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/audio/wave_file.h"

namespace orvexa::audio {

using messaging::Duration;
using messaging::LRESULT;
using messaging::WM_TIMER;

namespace {

constexpr std::uintptr_t kTick = 1;

MMRESULT check_format(const WAVEFORMATEX& f, const std::optional<WAVEFORMATEX>& only) {
  if (f.wFormatTag != WAVE_FORMAT_PCM || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
      f.nChannels == 0 || f.nSamplesPerSec == 0 || f.nAvgBytesPerSec == 0)
    return WAVERR_BADFORMAT;
  if (only && (only->nSamplesPerSec != f.nSamplesPerSec || only->nChannels != f.nChannels ||
               only->wBitsPerSample != f.wBitsPerSample))
    return WAVERR_BADFORMAT;
  return MMSYSERR_NOERROR;
}

Duration time_of(std::uint64_t bytes, const WAVEFORMATEX& f) {
  if (f.nAvgBytesPerSec == 0) return Duration::zero();
  const auto ns = static_cast<std::int64_t>(
      (static_cast<long double>(bytes) * 1e9L) / static_cast<long double>(f.nAvgBytesPerSec));
  return std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(ns));
}

std::uint64_t bytes_in(Duration d, const WAVEFORMATEX& f) {
  if (d <= Duration::zero()) return 0;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  const auto bytes = static_cast<std::uint64_t>(static_cast<long double>(ns) *
                                                f.nAvgBytesPerSec / 1e9L);
  const std::uint64_t align = std::max<std::uint64_t>(1, f.nBlockAlign);
  return bytes / align * align;
}

// Loop timers count whole milliseconds; round up so a tick never comes early.
std::chrono::milliseconds timer_interval(Duration d) {
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(d);
  return std::max(ms, std::chrono::milliseconds(1));
}

}  // namespace

// ---------------------------------------------------------------- shared

template <class Device, class Client>
PacedDevice<Device, Client>::PacedDevice(messaging::Loop& loop, std::u16string name,
                                         DeviceKind kind, std::optional<WAVEFORMATEX> only_format)
    : HiddenWindow(loop), name_(std::move(name)), kind_(kind), only_format_(only_format) {}

template <class Device, class Client>
MMRESULT PacedDevice<Device, Client>::supports(const WAVEFORMATEX& format) const {
  return check_format(format, only_format_);
}

template <class Device, class Client>
MMRESULT PacedDevice<Device, Client>::accept(const WAVEFORMATEX& format, Client& client) {
  if (faults_.open != MMSYSERR_NOERROR) return faults_.open;
  if (client_ != nullptr) return MMSYSERR_ALLOCATED;
  const MMRESULT r = supports(format);
  if (r != MMSYSERR_NOERROR) return r;
  format_ = format;
  client_ = &client;
  return MMSYSERR_NOERROR;
}

template <class Device, class Client>
void PacedDevice<Device, Client>::pace(Duration after) {
  set_timer(kTick, timer_interval(after));
}

template <class Device, class Client>
void PacedDevice<Device, Client>::stop_pacing() {
  kill_timer(kTick);
}

template <class Device, class Client>
LRESULT PacedDevice<Device, Client>::window_proc(messaging::UINT message,
                                                 messaging::WPARAM wParam, messaging::LPARAM) {
  if (message == WM_TIMER && wParam == kTick) tick();
  return 0;
}

template class PacedDevice<PlaybackDevice, PlaybackClient>;
template class PacedDevice<CaptureDevice, CaptureClient>;

// ---------------------------------------------------------------- playback

VirtualPlaybackDevice::VirtualPlaybackDevice(messaging::Loop& loop, std::u16string name,
                                             DeviceKind kind,
                                             std::optional<WAVEFORMATEX> only_format)
    : PacedDevice(loop, std::move(name), kind, only_format) {}

VirtualPlaybackDevice::~VirtualPlaybackDevice() = default;

MMRESULT VirtualPlaybackDevice::open(const WAVEFORMATEX& format, PlaybackClient& client) {
  const MMRESULT r = accept(format, client);
  if (r == MMSYSERR_NOERROR) reset();
  return r;
}

MMRESULT VirtualPlaybackDevice::feed(std::span<const std::uint8_t> bytes) {
  if (client_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (faults_.feed != MMSYSERR_NOERROR) return faults_.feed;
  // Reuse the queue's storage: drop what was heard before growing it.
  if (queue_head_ > 0 && queue_head_ >= queue_.size() / 2) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queue_head_));
    queue_head_ = 0;
  }
  queue_.insert(queue_.end(), bytes.begin(), bytes.end());
  chunks_.push_back(bytes.size());
  if (current_ == 0 && !paused_) begin_next();
  return MMSYSERR_NOERROR;
}

void VirtualPlaybackDevice::begin_next() {
  while (!chunks_.empty() && chunks_.front() == 0) {
    chunks_.pop_front();
    client_->played(0);
  }
  if (chunks_.empty()) {
    stop_pacing();
    return;
  }
  current_ = chunks_.front();
  current_start_ = loop().now();
  current_began_ = current_start_;
  current_done_ = Duration::zero();
  pace(time_of(current_, format_));
}

void VirtualPlaybackDevice::finish_current() {
  const std::size_t n = current_;
  const std::span<const std::uint8_t> bytes(queue_.data() + queue_head_, n);
  const auto began = current_began_;
  if (keep_) {
    stretches_.push_back({began, heard_total_, n});
    heard_.insert(heard_.end(), bytes.begin(), bytes.end());
  }
  heard_total_ += n;
  if (listener_) listener_(began, bytes);
  queue_head_ += n;
  chunks_.pop_front();
  current_ = 0;
  position_ += n;
  client_->played(n);
}

void VirtualPlaybackDevice::tick() {
  if (client_ == nullptr || paused_ || current_ == 0) {
    stop_pacing();
    return;
  }
  finish_current();
  if (client_ != nullptr && !paused_) begin_next();
}

std::uint64_t VirtualPlaybackDevice::partial_bytes() const {
  if (current_ == 0) return 0;
  Duration elapsed = current_done_;
  if (!paused_) elapsed += loop().now() - current_start_;
  return std::min<std::uint64_t>(bytes_in(elapsed, format_), current_);
}

MMRESULT VirtualPlaybackDevice::pause() {
  if (client_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (paused_) return MMSYSERR_NOERROR;
  if (current_ > 0) current_done_ += loop().now() - current_start_;
  stop_pacing();
  paused_ = true;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualPlaybackDevice::restart() {
  if (client_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (!paused_) return MMSYSERR_NOERROR;
  paused_ = false;
  if (current_ == 0) {
    begin_next();
  } else {
    current_start_ = loop().now();
    const Duration left = time_of(current_, format_) - current_done_;
    pace(left);
  }
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualPlaybackDevice::reset() {
  stop_pacing();
  queue_.clear();
  queue_head_ = 0;
  chunks_.clear();
  current_ = 0;
  current_done_ = Duration::zero();
  paused_ = false;
  position_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualPlaybackDevice::position(std::uint64_t& bytes) const {
  if (client_ == nullptr || faults_.position_fails) return MMSYSERR_ERROR;
  bytes = position_ + partial_bytes();
  return MMSYSERR_NOERROR;
}

void VirtualPlaybackDevice::close() {
  reset();
  client_ = nullptr;
}

void VirtualPlaybackDevice::clear_heard() {
  heard_.clear();
  stretches_.clear();
  heard_total_ = 0;
}

// ---------------------------------------------------------------- capture

VirtualCaptureDevice::VirtualCaptureDevice(messaging::Loop& loop, std::u16string name,
                                           DeviceKind kind,
                                           std::optional<WAVEFORMATEX> only_format)
    : PacedDevice(loop, std::move(name), kind, only_format) {}

VirtualCaptureDevice::~VirtualCaptureDevice() = default;

MMRESULT VirtualCaptureDevice::open(const WAVEFORMATEX& format, CaptureClient& client) {
  const MMRESULT r = accept(format, client);
  if (r != MMSYSERR_NOERROR) return r;
  convert_pending_samples();
  reset();
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCaptureDevice::start() {
  if (client_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (!started_) {
    started_ = true;
    schedule();
  }
  return MMSYSERR_NOERROR;
}

void VirtualCaptureDevice::schedule() {
  const std::size_t align = std::max<std::size_t>(1, format_.nBlockAlign);
  std::size_t n = client_->room();
  // With no buffer queued the device keeps time in tenths of a second; the sound is lost.
  if (n == 0) n = format_.nAvgBytesPerSec / 10;
  n = std::max(align, n / align * align);
  tick_bytes_ = n;
  tick_start_ = loop().now();
  pace(time_of(n, format_));
}

void VirtualCaptureDevice::tick() {
  if (client_ == nullptr || !started_) {
    stop_pacing();
    return;
  }
  produce(tick_bytes_);
  if (client_ != nullptr && started_) schedule();
}

void VirtualCaptureDevice::produce(std::size_t n) {
  block_.resize(n);
  const bool eight = format_.wBitsPerSample == 8;
  std::size_t i = 0;
  const std::size_t from_push = std::min(n, pending_bytes());
  std::copy_n(pushed_.begin() + static_cast<std::ptrdiff_t>(pushed_head_), from_push,
              block_.begin());
  pushed_head_ += from_push;
  if (pushed_head_ == pushed_.size()) {
    pushed_.clear();
    pushed_head_ = 0;
  }
  i = from_push;
  const std::size_t frame = std::max<std::size_t>(1, format_.nBlockAlign);
  const std::size_t sample_bytes = eight ? 1 : 2;
  for (; i + frame <= n; i += frame) {
    std::int16_t s = 0;
    if (source_ == Source::Tone) {
      const double t = static_cast<double>(tone_phase_++) / format_.nSamplesPerSec;
      s = static_cast<std::int16_t>(std::lround(tone_amplitude_ *
                                                std::sin(2 * std::numbers::pi * tone_hz_ * t)));
    }
    for (std::size_t c = 0; c < format_.nChannels; ++c) {
      std::uint8_t* p = block_.data() + i + c * sample_bytes;
      if (eight) {
        p[0] = static_cast<std::uint8_t>((s >> 8) + 128);
      } else {
        p[0] = static_cast<std::uint8_t>(s & 0xFF);
        p[1] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
      }
    }
  }
  for (; i < n; ++i) block_[i] = eight ? 128 : 0;
  position_ += n;
  client_->captured(block_);
}

MMRESULT VirtualCaptureDevice::stop() {
  if (client_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (!started_) return MMSYSERR_NOERROR;
  stop_pacing();
  started_ = false;
  // What was captured of the current tick still reaches the caller.
  const auto n = std::min<std::uint64_t>(bytes_in(loop().now() - tick_start_, format_),
                                         tick_bytes_);
  if (n > 0) produce(static_cast<std::size_t>(n));
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCaptureDevice::reset() {
  stop_pacing();
  started_ = false;
  position_ = 0;
  tick_bytes_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCaptureDevice::position(std::uint64_t& bytes) const {
  if (client_ == nullptr || faults_.position_fails) return MMSYSERR_ERROR;
  bytes = position_;
  if (started_)
    bytes += std::min<std::uint64_t>(bytes_in(loop().now() - tick_start_, format_), tick_bytes_);
  return MMSYSERR_NOERROR;
}

void VirtualCaptureDevice::close() {
  reset();
  client_ = nullptr;
}

void VirtualCaptureDevice::set_silence() { source_ = Source::Silence; }

void VirtualCaptureDevice::set_tone(double frequency_hz, std::int16_t amplitude) {
  source_ = Source::Tone;
  tone_hz_ = frequency_hz;
  tone_amplitude_ = amplitude;
  tone_phase_ = 0;
}

void VirtualCaptureDevice::push_bytes(std::span<const std::uint8_t> bytes) {
  pushed_.insert(pushed_.end(), bytes.begin(), bytes.end());
}

void VirtualCaptureDevice::push_samples(std::span<const std::int16_t> samples) {
  samples_waiting_.insert(samples_waiting_.end(), samples.begin(), samples.end());
  if (format_.nChannels != 0) convert_pending_samples();
}

void VirtualCaptureDevice::convert_pending_samples() {
  const bool eight = format_.wBitsPerSample == 8;
  for (const std::int16_t s : samples_waiting_) {
    for (std::size_t c = 0; c < format_.nChannels; ++c) {
      if (eight) {
        pushed_.push_back(static_cast<std::uint8_t>((s >> 8) + 128));
      } else {
        pushed_.push_back(static_cast<std::uint8_t>(s & 0xFF));
        pushed_.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
      }
    }
  }
  samples_waiting_.clear();
}

bool VirtualCaptureDevice::play_wave_file(const std::filesystem::path& file) {
  WaveFileInfo info;
  std::vector<std::uint8_t> data;
  if (read_wave_file(file, info, &data) != WaveProblem::None) return false;
  push_bytes(data);
  return true;
}

}  // namespace orvexa::audio
