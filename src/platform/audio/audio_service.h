// The waveform-audio service: waveOut / waveIn over every device that has been added to it, with
// notices posted to the caller's hidden window on the loop.
//
//   AudioService audio(loop);
//   auto speaker = std::make_shared<VirtualPlaybackDevice>(loop, u"Speakers");
//   DeviceId id = audio.add_playback_device(speaker);        // numbered among the playback devices
//   HWAVEOUT h; audio.waveOutOpen(&h, *audio.playback_number(id), &fmt, window, 0, CALLBACK_WINDOW);
//
// Device registration (the interface other services use; changed only compatibly):
//   - add_playback_device / add_capture_device add a device at run time and return a DeviceId that
//     stays valid until remove_device; the device's number is asked with playback_number /
//     capture_number, because numbers follow the current list.
//   - Numbering, one per direction: system devices first, then line devices, then virtual
//     devices, each in the order they were added. Adding or removing a device renumbers those
//     after it, as plugging a sound card in does.
//   - remove_device of a device that is open: the queued buffers come back done (MM_WOM_DONE /
//     MM_WIM_DATA), then MM_WOM_CLOSE / MM_WIM_CLOSE is posted; the handle stays valid only for
//     unprepare and close, everything else answers MMSYSERR_NODRIVER.
//
// Threads: everything here belongs to the loop thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/wave_device.h"
#include "platform/messaging/loop.h"

namespace orvexa::audio {

using DeviceId = std::uint64_t;

enum class Direction { Playback, Capture };

struct DeviceListing {
  Direction direction = Direction::Playback;
  std::uint32_t number = 0;
  DeviceId id = 0;
  std::u16string name;
  DeviceKind kind = DeviceKind::Virtual;
};

class AudioService {
 public:
  explicit AudioService(messaging::Loop& loop);
  ~AudioService();
  AudioService(const AudioService&) = delete;
  AudioService& operator=(const AudioService&) = delete;

  messaging::Loop& loop() const { return loop_; }

  // --- registration ---
  DeviceId add_playback_device(std::shared_ptr<PlaybackDevice> device);
  DeviceId add_capture_device(std::shared_ptr<CaptureDevice> device);
  bool remove_device(DeviceId id);
  std::optional<std::uint32_t> playback_number(DeviceId id) const;
  std::optional<std::uint32_t> capture_number(DeviceId id) const;
  std::vector<DeviceListing> devices(Direction direction) const;

  // --- waveOut ---
  std::uint32_t waveOutGetNumDevs() const;
  MMRESULT waveOutGetDevCaps(std::uint32_t device, WAVEOUTCAPS* caps) const;
  // `callback` is the window that receives MM_WOM_*; with WAVE_FORMAT_QUERY only the format is
  // checked. WAVE_MAPPER picks device 0.
  MMRESULT waveOutOpen(HWAVEOUT* handle, std::uint32_t device, const WAVEFORMATEX* format,
                       messaging::WindowHandle callback, DWORD_PTR instance, DWORD flags);
  MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveOutPause(HWAVEOUT handle);
  MMRESULT waveOutRestart(HWAVEOUT handle);
  MMRESULT waveOutReset(HWAVEOUT handle);
  MMRESULT waveOutGetPosition(HWAVEOUT handle, MMTIME* time, std::uint32_t size);
  MMRESULT waveOutClose(HWAVEOUT handle);

  // --- waveIn ---
  std::uint32_t waveInGetNumDevs() const;
  MMRESULT waveInGetDevCaps(std::uint32_t device, WAVEINCAPS* caps) const;
  MMRESULT waveInOpen(HWAVEIN* handle, std::uint32_t device, const WAVEFORMATEX* format,
                      messaging::WindowHandle callback, DWORD_PTR instance, DWORD flags);
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, std::uint32_t size);
  MMRESULT waveInStart(HWAVEIN handle);
  MMRESULT waveInStop(HWAVEIN handle);
  MMRESULT waveInReset(HWAVEIN handle);
  MMRESULT waveInGetPosition(HWAVEIN handle, MMTIME* time, std::uint32_t size);
  MMRESULT waveInClose(HWAVEIN handle);

  // Fault injection for tests: the next `count` calls of any waveOut/waveIn function named
  // `call` (for example "waveOutGetPosition") answer `result` instead of doing their work.
  void inject_fault(std::string call, MMRESULT result, int count = 1);

 private:
  struct Entry {
    DeviceId id;
    DeviceKind kind;
    std::shared_ptr<PlaybackDevice> playback;
    std::shared_ptr<CaptureDevice> capture;
  };
  class OutStream;
  class InStream;

  const Entry* entry_at(Direction direction, std::uint32_t number) const;
  std::optional<std::uint32_t> number_of(Direction direction, DeviceId id) const;
  // waveOutOpen and waveInOpen: `device` picks the entry's side the stream drives.
  template <class Stream, class Device>
  MMRESULT open_stream(std::map<std::uint32_t, std::unique_ptr<Stream>>& streams,
                       std::shared_ptr<Device> Entry::*device, Direction direction,
                       std::uint32_t* handle, std::uint32_t number, const WAVEFORMATEX* format,
                       messaging::WindowHandle callback, DWORD flags);
  std::vector<const Entry*> ordered(Direction direction) const;
  OutStream* out(HWAVEOUT handle) const;
  InStream* in(HWAVEIN handle) const;
  bool fault(const char* call, MMRESULT& result);
  // An injected fault waiting for `call`, else what `work` answers.
  template <class Work>
  MMRESULT unless_fault(const char* call, Work work);

  messaging::Loop& loop_;
  std::vector<Entry> entries_;
  DeviceId next_id_ = 1;
  std::uint32_t next_handle_ = 1;
  std::map<HWAVEOUT, std::unique_ptr<OutStream>> outs_;
  std::map<HWAVEIN, std::unique_ptr<InStream>> ins_;
  struct Fault {
    std::string call;
    MMRESULT result;
    int count;
  };
  std::vector<Fault> faults_;
};

}  // namespace orvexa::audio
