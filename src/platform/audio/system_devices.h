// The machine's own playback and capture devices, through PortAudio. A machine without a sound
// card simply has none: that is not an error.
//
//   SystemAudio system;                     // initialises PortAudio for its lifetime
//   system.add_devices(audio, loop);        // registers every device it found
//
// Make the SystemAudio before the AudioService it feeds, so the devices close before PortAudio
// ends. Device I/O runs on PortAudio's threads, which only post to the loop.
#pragma once

#include <string>

#include "platform/audio/audio_service.h"

namespace orvexa::audio {

class SystemAudio {
 public:
  SystemAudio();
  ~SystemAudio();
  SystemAudio(const SystemAudio&) = delete;
  SystemAudio& operator=(const SystemAudio&) = delete;

  bool available() const { return initialised_; }
  // Why PortAudio could not start (empty when it did).
  const std::string& problem() const { return problem_; }
  // Registers a playback and/or capture device for every device that has channels; returns
  // how many were added.
  int add_devices(AudioService& audio, messaging::Loop& loop);

 private:
  bool initialised_ = false;
  std::string problem_;
};

}  // namespace orvexa::audio
