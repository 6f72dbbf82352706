// What a device provider implements to appear in the audio service: a playback or capture device
// whose stream the service drives on the loop thread.
//
// The service owns the buffer headers and their notifications; a device only moves bytes:
//   playback: the service hands it bytes with feed(); the device plays them at the format's
//             rate and reports each finished stretch with PlaybackClient::played(n);
//   capture:  once started, the device produces bytes and hands them over with
//             CaptureClient::captured(bytes).
// Every call in both directions happens on the loop thread. A device whose I/O runs on another
// thread (PortAudio) posts to the loop and calls its client from there.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/audio/wave_types.h"

namespace orvexa::audio {

enum class DeviceKind { System, Line, Virtual };
const char* kind_name(DeviceKind kind);

class PlaybackClient {
 public:
  virtual ~PlaybackClient() = default;
  // `bytes` more of what was fed have been heard.
  virtual void played(std::uint64_t bytes) = 0;
};

class CaptureClient {
 public:
  virtual ~CaptureClient() = default;
  // Freshly captured bytes (whole frames); the client copies what it has room for.
  virtual void captured(std::span<const std::uint8_t> bytes) = 0;
  // Room left in the buffer being filled (the next to come back), in bytes; 0 when none is
  // queued. Lets a paced device size its ticks to one buffer.
  virtual std::size_t room() const = 0;
};

class PlaybackDevice {
 public:
  virtual ~PlaybackDevice() = default;
  virtual std::u16string name() const = 0;
  virtual DeviceKind kind() const = 0;
  // Whether the format can be played; MMSYSERR_NOERROR or WAVERR_BADFORMAT / another refusal.
  virtual MMRESULT supports(const WAVEFORMATEX& format) const = 0;

  // One stream at a time: open fails with MMSYSERR_ALLOCATED while another is open.
  virtual MMRESULT open(const WAVEFORMATEX& format, PlaybackClient& client) = 0;
  // Queues bytes to play after those already queued (the device copies them).
  virtual MMRESULT feed(std::span<const std::uint8_t> bytes) = 0;
  virtual MMRESULT pause() = 0;
  virtual MMRESULT restart() = 0;
  // Drops everything queued and not yet heard; the position counts from 0 again.
  virtual MMRESULT reset() = 0;
  // Bytes heard since open (or the last reset), including a part of the current stretch.
  virtual MMRESULT position(std::uint64_t& bytes) const = 0;
  virtual void close() = 0;
};

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  virtual std::u16string name() const = 0;
  virtual DeviceKind kind() const = 0;
  virtual MMRESULT supports(const WAVEFORMATEX& format) const = 0;

  virtual MMRESULT open(const WAVEFORMATEX& format, CaptureClient& client) = 0;
  virtual MMRESULT start() = 0;
  virtual MMRESULT stop() = 0;
  // Stops capturing and counts from 0 again.
  virtual MMRESULT reset() = 0;
  // Bytes captured since start (or the last reset).
  virtual MMRESULT position(std::uint64_t& bytes) const = 0;
  virtual void close() = 0;
};

}  // namespace orvexa::audio
