#include "platform/telephony/sim_audio.h"

#include "platform/host/utf.h"

namespace orvexa::telephony {

SimAudioDevices::SimAudioDevices(audio::AudioService& audio, const std::string& line_name)
    : audio_(audio),
      output_(std::make_shared<audio::VirtualPlaybackDevice>(
          audio.loop(), host::to_utf16(line_name) + u" Modem wave/out", audio::DeviceKind::Line)),
      input_(std::make_shared<audio::VirtualCaptureDevice>(
          audio.loop(), host::to_utf16(line_name) + u" Modem wave/in", audio::DeviceKind::Line)) {
  // The call records keep what each far end heard; the device need not keep it twice.
  output_->keep_heard(false);
  output_id_ = audio_.add_playback_device(output_);
  input_id_ = audio_.add_capture_device(input_);
}

SimAudioDevices::~SimAudioDevices() {
  output_->set_listener({});
  audio_.remove_device(output_id_);
  audio_.remove_device(input_id_);
}

std::int32_t SimAudioDevices::wave_in() const {
  auto n = audio_.capture_number(input_id_);
  return n ? static_cast<std::int32_t>(*n) : -1;
}

std::int32_t SimAudioDevices::wave_out() const {
  auto n = audio_.playback_number(output_id_);
  return n ? static_cast<std::int32_t>(*n) : -1;
}

void SimAudioDevices::set_heard_listener(HeardListener listener) {
  if (!listener) {
    output_->set_listener({});
    return;
  }
  output_->set_listener([this, listener = std::move(listener)](
                            messaging::TimePoint at, std::span<const std::uint8_t> bytes) {
    const auto rate = output_->format().nAvgBytesPerSec;
    const auto length = rate ? std::chrono::duration_cast<messaging::Duration>(
                                   std::chrono::duration<double>(double(bytes.size()) / rate))
                             : messaging::Duration::zero();
    listener(at, length, bytes);
  });
}

audio::WAVEFORMATEX SimAudioDevices::output_format() const {
  const audio::WAVEFORMATEX& f = output_->format();
  return f.nChannels && f.wBitsPerSample ? f : audio::pcm_format();
}

std::uint64_t SimAudioDevices::played_bytes() const {
  std::uint64_t bytes = 0;
  // A closed output has played nothing yet.
  return output_->position(bytes) == audio::MMSYSERR_NOERROR ? bytes : 0;
}

void SimAudioDevices::push_far_end(std::span<const std::int16_t> samples) {
  input_->push_samples(samples);
}

std::vector<std::vector<SimAudioDevices*>> attach_sim_audio(SimProvider& sim,
                                                             audio::AudioService& audio) {
  std::vector<std::vector<SimAudioDevices*>> out(sim.device_count());
  auto attach = [&](std::size_t line, std::size_t slot) {
    const std::string& name = sim.device(line).name;
    auto devices = std::make_unique<SimAudioDevices>(
        audio, slot == 0 ? name : name + " #" + std::to_string(slot + 1));
    out[line].push_back(devices.get());
    sim.attach_audio(line, slot, std::move(devices));
  };
  for (std::size_t line = 0; line < out.size(); ++line) attach(line, 0);
  for (std::size_t line = 0; line < out.size(); ++line)
    for (std::size_t slot = 1; slot < sim.channels(line); ++slot) attach(line, slot);
  return out;
}

}  // namespace orvexa::telephony
