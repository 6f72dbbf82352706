// Devices paced by the loop's clock: a playback device that keeps what it "played" with the time
// each stretch began, and a capture device fed from a scripted source. Under the manual clock an
// hour of audio passes in milliseconds.
//
//   auto out = std::make_shared<VirtualPlaybackDevice>(loop, u"Line 1 Modem wave/out",
//                                                      DeviceKind::Line);
//   auto in = std::make_shared<VirtualCaptureDevice>(loop, u"Line 1 Modem wave/in", DeviceKind::Line);
//   audio.add_playback_device(out);  audio.add_capture_device(in);
//   in->push_samples(dtmf_pcm);        // the far end "speaks"; silence once it is used up
//   out->heard();  out->stretches();   // what the far end heard, and when
//
// Both run on the loop thread. Bytes are in the format the stream was opened with; the helpers
// that take 16-bit samples convert them to it.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/wave_device.h"
#include "platform/messaging/hidden_window.h"

namespace orvexa::audio {

// Answers a virtual device gives instead of working, for tests of failure paths.
struct VirtualFaults {
  MMRESULT open = MMSYSERR_NOERROR;
  MMRESULT feed = MMSYSERR_NOERROR;
  bool position_fails = false;
};

// What both virtual devices share: name, kind and accepted format, the fault switches, the
// opened format and client, and the pacing timer on the loop that drives tick().
template <class Device, class Client>
class PacedDevice : public Device, private messaging::HiddenWindow {
 public:
  std::u16string name() const override { return name_; }
  DeviceKind kind() const override { return kind_; }
  MMRESULT supports(const WAVEFORMATEX& format) const override;

  bool is_open() const { return client_ != nullptr; }
  const WAVEFORMATEX& format() const { return format_; }
  VirtualFaults& faults() { return faults_; }

 protected:
  PacedDevice(messaging::Loop& loop, std::u16string name, DeviceKind kind,
              std::optional<WAVEFORMATEX> only_format);
  // The checks of open (an injected fault, one stream at a time, the format); on success the
  // format and the client are kept.
  MMRESULT accept(const WAVEFORMATEX& format, Client& client);
  // The next tick comes `after` from now (whole milliseconds, never early), and every as long
  // after that until stop_pacing().
  void pace(messaging::Duration after);
  void stop_pacing();
  virtual void tick() = 0;
  using HiddenWindow::loop;

  WAVEFORMATEX format_{};
  Client* client_ = nullptr;
  VirtualFaults faults_;

 private:
  messaging::LRESULT window_proc(messaging::UINT message, messaging::WPARAM wParam,
                                 messaging::LPARAM lParam) override;

  std::u16string name_;
  DeviceKind kind_;
  std::optional<WAVEFORMATEX> only_format_;
};

class VirtualPlaybackDevice final : public PacedDevice<PlaybackDevice, PlaybackClient> {
 public:
  // One stretch of sound as it was heard: it began at `at` and covers heard()[offset, +size).
  struct Stretch {
    messaging::TimePoint at;
    std::uint64_t offset;
    std::uint64_t size;
  };
  using Listener = std::function<void(messaging::TimePoint at, std::span<const std::uint8_t>)>;

  VirtualPlaybackDevice(messaging::Loop& loop, std::u16string name,
                        DeviceKind kind = DeviceKind::Virtual,
                        std::optional<WAVEFORMATEX> only_format = std::nullopt);
  ~VirtualPlaybackDevice() override;

  MMRESULT open(const WAVEFORMATEX& format, PlaybackClient& client) override;
  MMRESULT feed(std::span<const std::uint8_t> bytes) override;
  MMRESULT pause() override;
  MMRESULT restart() override;
  MMRESULT reset() override;
  MMRESULT position(std::uint64_t& bytes) const override;
  void close() override;

  // What was heard since the device was made (or cleared), and when each stretch began.
  const std::vector<std::uint8_t>& heard() const { return heard_; }
  const std::vector<Stretch>& stretches() const { return stretches_; }
  std::uint64_t heard_bytes() const { return heard_total_; }
  void clear_heard();
  // Off: only the byte count is kept (hour-long runs); on by default.
  void keep_heard(bool keep) { keep_ = keep; }
  // Called with each stretch as it finishes being heard.
  void set_listener(Listener listener) { listener_ = std::move(listener); }


 private:
  void tick() override;
  void begin_next();
  void finish_current();
  std::uint64_t partial_bytes() const;

  // Queued bytes not yet heard, in one ring-like buffer reused between stretches.
  std::vector<std::uint8_t> queue_;
  std::size_t queue_head_ = 0;
  std::deque<std::size_t> chunks_;  // sizes of the fed stretches, in order
  std::size_t current_ = 0;  // bytes of the stretch being heard, at the head of the queue
  messaging::TimePoint current_start_{};  // when the current stretch (re)started
  messaging::TimePoint current_began_{};  // when it first started
  messaging::Duration current_done_{};  // time already heard of the current stretch (pauses)
  bool paused_ = false;
  std::uint64_t position_ = 0;

  bool keep_ = true;
  std::vector<std::uint8_t> heard_;
  std::vector<Stretch> stretches_;
  std::uint64_t heard_total_ = 0;
  Listener listener_;
};

class VirtualCaptureDevice final : public PacedDevice<CaptureDevice, CaptureClient> {
 public:
  enum class Source { Silence, Tone, Pushed, WaveFile };

  VirtualCaptureDevice(messaging::Loop& loop, std::u16string name,
                       DeviceKind kind = DeviceKind::Virtual,
                       std::optional<WAVEFORMATEX> only_format = std::nullopt);
  ~VirtualCaptureDevice() override;

  MMRESULT open(const WAVEFORMATEX& format, CaptureClient& client) override;
  MMRESULT start() override;
  MMRESULT stop() override;
  MMRESULT reset() override;
  MMRESULT position(std::uint64_t& bytes) const override;
  void close() override;

  // Scripted input. Pushed bytes and samples are heard in order; when they run out (and after
  // a WAVE file's data) the device hears silence.
  void set_silence();
  void set_tone(double frequency_hz, std::int16_t amplitude);
  // Bytes in the opened format.
  void push_bytes(std::span<const std::uint8_t> bytes);
  // 16-bit mono samples, converted to the opened format (or kept for the next opening).
  void push_samples(std::span<const std::int16_t> samples);
  // The data chunk of a PCM WAVE file, heard as it is; false when the file cannot be read.
  bool play_wave_file(const std::filesystem::path& file);
  std::size_t pending_bytes() const { return pushed_.size() - pushed_head_; }

  bool is_started() const { return started_; }

 private:
  void tick() override;
  void schedule();
  void produce(std::size_t bytes);
  void convert_pending_samples();

  bool started_ = false;
  std::uint64_t position_ = 0;
  messaging::TimePoint tick_start_{};
  std::size_t tick_bytes_ = 0;

  Source source_ = Source::Silence;
  double tone_hz_ = 0;
  std::int16_t tone_amplitude_ = 0;
  std::uint64_t tone_phase_ = 0;
  std::vector<std::uint8_t> pushed_;
  std::size_t pushed_head_ = 0;
  std::vector<std::int16_t> samples_waiting_;  // pushed before a format was known
  std::vector<std::uint8_t> block_;            // reused for every tick
};

}  // namespace orvexa::audio
