#include "platform/audio/system_devices.h"

#include <portaudio.h>
#ifdef ORVEXA_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/mmio.h"
#include "platform/host/unique_fd.h"
#include "platform/host/utf.h"

namespace orvexa::audio {

namespace {

struct StreamClose {
  void operator()(PaStream* s) const {
    Pa_AbortStream(s);
    Pa_CloseStream(s);
  }
};
using Stream = std::unique_ptr<PaStream, StreamClose>;

PaSampleFormat sample_format(const WAVEFORMATEX& f) {
  return f.wBitsPerSample == 8 ? paUInt8 : paInt16;
}

PaStreamParameters parameters(int device, const WAVEFORMATEX& f, bool output) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = f.nChannels;
  p.sampleFormat = sample_format(f);
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  p.suggestedLatency = info ? (output ? info->defaultHighOutputLatency
                                      : info->defaultHighInputLatency)
                            : 0.1;
  return p;
}

MMRESULT check(const WAVEFORMATEX& f, int device, bool output) {
  if (f.wFormatTag != WAVE_FORMAT_PCM || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16))
    return WAVERR_BADFORMAT;
  const PaStreamParameters p = parameters(device, f, output);
  const PaError e = Pa_IsFormatSupported(output ? nullptr : &p, output ? &p : nullptr,
                                         f.nSamplesPerSec);
  return e == paFormatIsSupported ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

// Shared between the loop thread and PortAudio's: bytes waiting in one direction, and a count
// of what PortAudio has moved that the loop has not yet been told about.
struct Exchange {
  std::mutex mutex;
  std::vector<std::uint8_t> bytes;
  std::size_t head = 0;
  std::atomic<std::uint64_t> moved{0};
  std::atomic<bool> notice_pending{false};
  std::atomic<bool> paused{false};
  std::size_t frame = 1;
  std::uint8_t silence = 0;  // the byte a playback callback fills gaps with
};

// What a playback and a capture device share: one PortAudio stream in one direction, the
// exchange with its callback, and the client on the loop thread.
template <class Interface, class Client, bool kOutput>
class SystemDevice : public Interface {
 public:
  SystemDevice(messaging::Loop& loop, int device, std::u16string name)
      : loop_(loop), device_(device), name_(std::move(name)) {}
  ~SystemDevice() override { close(); }

  std::u16string name() const override { return name_; }
  DeviceKind kind() const override { return DeviceKind::System; }
  MMRESULT supports(const WAVEFORMATEX& f) const override { return check(f, device_, kOutput); }
  void close() override {
    stream_.reset();  // waits for the callback to finish
    client_ = nullptr;
    exchange_.reset();
  }

 protected:
  // A fresh exchange for a stream of format `f`, or nothing while a stream is open.
  std::shared_ptr<Exchange> fresh_exchange(const WAVEFORMATEX& f) const {
    if (stream_) return nullptr;
    auto x = std::make_shared<Exchange>();
    x->frame = std::max<std::size_t>(1, f.nBlockAlign);
    return x;
  }
  // Opens and starts the stream with `exchange` in place before the callback can run; `self` is
  // the derived device the callback is given.
  MMRESULT start_stream(const WAVEFORMATEX& f, Client& client, std::shared_ptr<Exchange> exchange,
                        PaStreamCallback* callback, void* self) {
    exchange_ = std::move(exchange);
    const PaStreamParameters p = parameters(device_, f, kOutput);
    PaStream* s = nullptr;
    if (Pa_OpenStream(&s, kOutput ? nullptr : &p, kOutput ? &p : nullptr, f.nSamplesPerSec,
                      paFramesPerBufferUnspecified, paNoFlag, callback, self) != paNoError) {
      exchange_.reset();
      return MMSYSERR_NOTENABLED;
    }
    stream_.reset(s);
    client_ = &client;
    position_ = 0;
    if (Pa_StartStream(s) != paNoError) {
      close();
      return MMSYSERR_NOTENABLED;
    }
    return MMSYSERR_NOERROR;
  }

  messaging::Loop& loop_;
  int device_;
  std::u16string name_;
  Stream stream_;
  std::shared_ptr<Exchange> exchange_;
  Client* client_ = nullptr;
  std::uint64_t position_ = 0;
};

class SystemPlayback final : public SystemDevice<PlaybackDevice, PlaybackClient, true> {
 public:
  using SystemDevice::SystemDevice;
  ~SystemPlayback() override { close(); }

  MMRESULT open(const WAVEFORMATEX& f, PlaybackClient& client) override {
    auto x = fresh_exchange(f);
    if (!x) return MMSYSERR_ALLOCATED;
    x->silence = f.wBitsPerSample == 8 ? 0x80 : 0;
    return start_stream(f, client, std::move(x), &SystemPlayback::callback, this);
  }

  MMRESULT feed(std::span<const std::uint8_t> bytes) override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(exchange_->mutex);
    auto& q = exchange_->bytes;
    if (exchange_->head > 0 && exchange_->head >= q.size() / 2) {
      q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(exchange_->head));
      exchange_->head = 0;
    }
    q.insert(q.end(), bytes.begin(), bytes.end());
    return MMSYSERR_NOERROR;
  }
  MMRESULT pause() override { return set_paused(true); }
  MMRESULT restart() override { return set_paused(false); }
  MMRESULT reset() override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(exchange_->mutex);
    exchange_->bytes.clear();
    exchange_->head = 0;
    exchange_->moved = 0;
    exchange_->paused = false;
    position_ = 0;
    return MMSYSERR_NOERROR;
  }
  MMRESULT position(std::uint64_t& bytes) const override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    bytes = position_ + exchange_->moved.load();
    return MMSYSERR_NOERROR;
  }

 private:
  MMRESULT set_paused(bool paused) {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    exchange_->paused = paused;
    return MMSYSERR_NOERROR;
  }

  // Runs on PortAudio's thread: copies what is queued, counts it and posts one notice at a time.
  static int callback(const void*, void* out, unsigned long frames,
                      const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
    auto* d = static_cast<SystemPlayback*>(self);
    Exchange& x = *d->exchange_;
    const std::size_t want = frames * x.frame;
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t n = 0;
    if (!x.paused && x.mutex.try_lock()) {
      n = std::min(want, x.bytes.size() - x.head);
      n -= n % x.frame;
      if (n > 0) std::memcpy(dst, x.bytes.data() + x.head, n);
      x.head += n;
      x.mutex.unlock();
    }
    std::memset(dst + n, x.silence, want - n);
    if (n > 0) {
      x.moved += n;
      if (!x.notice_pending.exchange(true)) d->notify();
    }
    return paContinue;
  }

  void notify() {
    std::weak_ptr<Exchange> weak = exchange_;
    loop_.post([this, weak] {
      auto x = weak.lock();
      if (!x || x != exchange_ || client_ == nullptr) return;
      x->notice_pending = false;
      const std::uint64_t n = x->moved.exchange(0);
      position_ += n;
      client_->played(n);
    });
  }
};

class SystemCapture final : public SystemDevice<CaptureDevice, CaptureClient, false> {
 public:
  using SystemDevice::SystemDevice;
  ~SystemCapture() override { close(); }

  MMRESULT open(const WAVEFORMATEX& f, CaptureClient& client) override {
    auto x = fresh_exchange(f);
    if (!x) return MMSYSERR_ALLOCATED;
    x->paused = true;  // nothing is kept until start()
    x->bytes.reserve(f.nAvgBytesPerSec);
    return start_stream(f, client, std::move(x), &SystemCapture::callback, this);
  }
  MMRESULT start() override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    exchange_->paused = false;
    return MMSYSERR_NOERROR;
  }
  MMRESULT stop() override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    exchange_->paused = true;
    deliver();
    return MMSYSERR_NOERROR;
  }
  MMRESULT reset() override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    exchange_->paused = true;
    std::lock_guard lock(exchange_->mutex);
    exchange_->bytes.clear();
    position_ = 0;
    return MMSYSERR_NOERROR;
  }
  MMRESULT position(std::uint64_t& bytes) const override {
    if (!stream_) return MMSYSERR_INVALHANDLE;
    bytes = position_;
    return MMSYSERR_NOERROR;
  }

 private:
  // Runs on PortAudio's thread: appends into the reserved buffer (dropping what does not fit)
  // and posts one notice at a time.
  static int callback(const void* in, void*, unsigned long frames,
                      const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
    auto* d = static_cast<SystemCapture*>(self);
    Exchange& x = *d->exchange_;
    if (x.paused || in == nullptr || !x.mutex.try_lock()) return paContinue;
    const std::size_t n = std::min(frames * x.frame, x.bytes.capacity() - x.bytes.size());
    const auto* src = static_cast<const std::uint8_t*>(in);
    x.bytes.insert(x.bytes.end(), src, src + n);
    x.mutex.unlock();
    if (n > 0 && !x.notice_pending.exchange(true)) {
      std::weak_ptr<Exchange> weak = d->exchange_;
      d->loop_.post([d, weak] {
        auto e = weak.lock();
        if (!e || e != d->exchange_) return;
        e->notice_pending = false;
        d->deliver();
      });
    }
    return paContinue;
  }

  void deliver() {
    if (!exchange_ || client_ == nullptr) return;
    {
      std::lock_guard lock(exchange_->mutex);
      scratch_.assign(exchange_->bytes.begin(), exchange_->bytes.end());
      exchange_->bytes.clear();
    }
    position_ += scratch_.size();
    if (!scratch_.empty()) client_->captured(scratch_);
  }

  std::vector<std::uint8_t> scratch_;
};

}  // namespace

#ifdef ORVEXA_HAVE_ALSA
namespace {
// ALSA reports every card it looks for and does not find; a machine without a sound card is
// normal here, so those reports are dropped.
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace
#endif

namespace {

// The sound servers PortAudio probes (JACK among them) print their absence on stderr, past any
// handler we could set; standard error is parked on /dev/null while PortAudio starts and ends.
class QuietStderr {
 public:
  QuietStderr() : saved_(::dup(2)) {
    const host::UniqueFd null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (saved_ && null) ::dup2(null.get(), 2);
  }
  ~QuietStderr() {
    if (saved_) ::dup2(saved_.get(), 2);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  host::UniqueFd saved_;
};

}  // namespace

SystemAudio::SystemAudio() {
#ifdef ORVEXA_HAVE_ALSA
  snd_lib_error_set_handler(&quiet_alsa);
#endif
  QuietStderr quiet;
  const PaError e = Pa_Initialize();
  initialised_ = e == paNoError;
  if (!initialised_) problem_ = Pa_GetErrorText(e);
}

SystemAudio::~SystemAudio() {
  if (!initialised_) return;
  QuietStderr quiet;
  Pa_Terminate();
}

int SystemAudio::add_devices(AudioService& audio, messaging::Loop& loop) {
  if (!initialised_) return 0;
  int added = 0;
  const int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    if (info == nullptr) continue;
    const std::u16string name = host::to_utf16(info->name ? info->name : "");
    if (info->maxOutputChannels > 0) {
      audio.add_playback_device(std::make_shared<SystemPlayback>(loop, i, name));
      ++added;
    }
    if (info->maxInputChannels > 0) {
      audio.add_capture_device(std::make_shared<SystemCapture>(loop, i, name));
      ++added;
    }
  }
  return added;
}

}  // namespace orvexa::audio
