// KDVoice: plays PCM WAVE sound (files, memory images, lists, with a background mixed under it)
// on a wave output device and records WAVE files from a wave input device, reporting progress
// as sound-state events on the loop thread.
//
//   KDVoice voice(loop, {audio, busy, message_box});
//   voice.OnSoundState = [](KDVoice&, TSoundState s, int pos, int err) { ... };
//   voice.Play(device, u"First.wav", 0, -1);          // ssPlayBegin ... ssPlayDone
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/foundation/component_base.h"
#include "components/voice/kd_common.h"
#include "components/voice/timer_settings.h"
#include "platform/audio/audio_service.h"
#include "platform/audio/mmio.h"
#include "platform/host/host_services.h"

namespace orvexa::components {

enum TSoundState {
  ssPlayBegin, ssPlayPaused, ssPlayResumed, ssPlayDone, ssRecBegin, ssRecPaused, ssRecResumed,
  ssRecDone, ssError, ssListenBegin, ssListenDone
};
enum TPlayingState { psIdle, psPlaying, psPaused };
enum TRecordingState { rsIdle, rsRecording, rsPaused };
enum TListeningAudioState { lasIdle, lasListening };

class KDVoice;
using TSoundStateEvent =
    std::function<void(KDVoice& Sender, TSoundState State, int BytePosition, int ErrorNumber)>;
using TVUMeterEvent = std::function<void(KDVoice& Sender, int Level)>;
using TSoundTimerEvent = std::function<void(KDVoice& Sender, int BytePosition)>;
using TNotifyEvent = std::function<void(KDVoice& Sender)>;

struct VoiceServices {
  audio::AudioService& audio;
  host::BusyIndicator& busy;
  host::ComponentMessageBox& message_box;
  const settings::SettingsStore* sound_settings = nullptr;
};

class KDVoice : public TTEL_ComponentVCL {
 public:
  KDVoice(messaging::Loop& loop, VoiceServices services, WideApiProbe probe = {});
  ~KDVoice() override;

  // --- devices (part of the component's published interface) ---
  int PlayNumberOfDevs() const;
  int RecNumberOfDevs() const;
  ErrorNumber PlayGetDevName(int DeviceID, std::u16string& DeviceName);
  ErrorNumber RecGetDevName(int DeviceID, std::u16string& DeviceName);

  // --- states and formats ---
  TPlayingState PlayingState() const;
  TRecordingState RecordingState() const;
  TListeningAudioState ListeningState() const { return listening_ ? lasListening : lasIdle; }
  bool AutoRepeat() const { return auto_repeat_; }
  void SetAutoRepeat(bool value) { auto_repeat_ = value; }
  bool EnableVUMeter() const { return enable_vu_; }
  void SetEnableVUMeter(bool value) { enable_vu_ = value; }
  int FmtPlaySamplesPerSec() const { return static_cast<int>(play_format_.nSamplesPerSec); }
  int FmtPlayChannels() const { return play_format_.nChannels; }
  int FmtPlayBitsPerSample() const { return play_format_.wBitsPerSample; }
  int FmtRecSamplesPerSec() const { return static_cast<int>(rec_format_.nSamplesPerSec); }
  int FmtRecChannels() const { return rec_format_.nChannels; }
  int FmtRecBitsPerSample() const { return rec_format_.wBitsPerSample; }
  void SetFmtRecSamplesPerSec(int value);
  void SetFmtRecChannels(int value);
  void SetFmtRecBitsPerSample(int value);

  TTimerMilliseconds& TimerPlay() { return *timer_play_; }
  TTimerMilliseconds& TimerRec() { return *timer_rec_; }
  TTimerSilence& SilenceDetection() { return *silence_; }

  const std::u16string& BackgroundFiles() const { return background_files_; }
  void SetBackgroundFiles(std::u16string value) { background_files_ = std::move(value); }
  bool BackgroundEnabled() const { return background_enabled_; }
  void SetBackgroundEnabled(bool value) { background_enabled_ = value; }
  int BackgroundVolume() const { return background_volume_; }
  void SetBackgroundVolume(int value) { background_volume_ = value; }
  bool BackgroundAutoRepeat() const { return background_auto_repeat_; }
  void SetBackgroundAutoRepeat(bool value) { background_auto_repeat_ = value; }

  TSoundStateEvent OnSoundState;
  TSoundTimerEvent OnTimerPlay;
  TSoundTimerEvent OnTimerRec;
  TNotifyEvent OnSilenceDetected;
  TVUMeterEvent OnVUMeter;

  // --- playback ---
  ErrorNumber Play(int DeviceID, std::u16string_view FileName, int StartByte, int EndByte);
  ErrorNumber MemoryPlay(const std::uint8_t* Buffer, std::uint32_t BufferSize, int DeviceID,
                         int StartByte, int EndByte);
  ErrorNumber PlayMultipleFiles(int DeviceID, std::u16string_view FileNames, int& TotalSize);
  void MemoryListAdd(const std::uint8_t* Buffer, std::uint32_t BufferSize);
  void MemoryListClear() { memory_play_list_.clear(); }
  ErrorNumber MemoryListPlay(int DeviceID, int& TotalSize);
  void PlayStop();
  ErrorNumber PlayPause();
  ErrorNumber PlayContinue();
  ErrorNumber ValidateFile(std::u16string_view FileName, int& DataSize, int& SamplesPerSec,
                           int& BitsPerSample, int& Channels);
  ErrorNumber MemoryGetInfo(const std::uint8_t* Buffer, std::uint32_t BufferSize, int& DataSize,
                            int& SamplesPerSec, int& BitsPerSample, int& Channels);

  // --- recording and listening ---
  ErrorNumber Rec(int DeviceID, std::u16string_view FileName);
  ErrorNumber RecPause();
  ErrorNumber RecContinue();
  void RecStop();
  ErrorNumber ListenStart(int DeviceID);
  void ListenStop();

  // --- memory, background, text ---
  ErrorNumber MemoryLoadFile(std::u16string_view FileName, const std::uint8_t*& Buffer,
                             int& Size);
  void MemoryRelease(const std::uint8_t* Buffer);
  void MemoryBackListAdd(const std::uint8_t* Buffer, std::uint32_t BufferSize);
  void MemoryBackListClear() { memory_back_list_.clear(); }
  static std::string FmtByteToTime(int SamplesPerSec, int BitsPerSample, int Channels,
                                   int BytePosition, int Precision);

  void WndProc(TMessage& Message) override;

  // For tests: failures injected into the files this component writes.
  void SetRecordFileFaults(const audio::MmioFaults& faults) { rec_faults_ = faults; }
  // For tests: the largest RIFF size a recording may reach (the format's limit by default).
  void SetRiffLimit(std::uint64_t bytes) { riff_limit_ = bytes; }

 private:
  struct MemEntry {
    const std::uint8_t* buffer = nullptr;
    std::uint32_t buffer_size = 0;
    std::uint32_t data_size = 0;
  };
  struct SoundInfo {
    audio::WAVEFORMATEX format{};
    std::uint32_t data_size = 0;
  };
  enum class Source : std::uint8_t { Single = 0, FileList = 1, MemoryList = 2 };
  // Output and input pass through their states in this order as they set up, each state holding
  // what the earlier ones hold (an open device, then prepared headers); Stopping leads to Idle.
  enum class PlayState : std::uint8_t { Idle, DeviceOpen, Prepared, Playing, Paused, Stopping };
  enum class InputState : std::uint8_t { Idle, DeviceOpen, Prepared, Running, Stopping };

  // Playback (kd_voice_play.cpp).
  ErrorNumber read_sound_header(audio::MmioFile* file, SoundInfo& info);
  ErrorNumber open_sound(std::u16string_view name, const std::uint8_t* image,
                         std::uint32_t image_size, std::int64_t S, std::int64_t E, bool from_file,
                         bool first);
  ErrorNumber start_playback(int DeviceID, std::u16string_view name, const std::uint8_t* image,
                             std::uint32_t image_size, int StartByte, int EndByte,
                             bool from_file);
  ErrorNumber refill();
  void buffer_done(audio::WAVEHDR* header);
  void close_play_files();
  bool timer_play_usable() const;
  bool playback_position(std::int64_t& position);
  ErrorNumber check_info(std::u16string_view name, const std::uint8_t* image, std::uint32_t size,
                         bool from_file, SoundInfo& info, bool map_minus_one);

  // Recording (kd_voice_rec.cpp).
  ErrorNumber create_record_file(std::u16string_view name);
  ErrorNumber open_input(int DeviceID, std::u16string_view name, bool to_file);
  void close_input();
  void finish_record_file();
  void data_step(audio::WAVEHDR* header);
  bool timer_rec_usable() const;
  void recompute_rec_format();

  // Memory, background, level meter (kd_voice_memory.cpp).
  ErrorNumber prepare_background();
  ErrorNumber next_background_entry(bool& exhausted);
  ErrorNumber mix_background(char* data, std::uint32_t n);
  void level_scan(const std::uint8_t* data, std::uint32_t bytes);
  void level_tick();
  void silence_decision();
  bool buffer_in_use(const std::uint8_t* buffer, std::uint32_t size) const;

  void raise(TSoundState state, std::int64_t position, ErrorNumber error = 0);
  void let_loop_run_once();

  VoiceServices services_;
  std::unique_ptr<TTimerMilliseconds> timer_play_;
  std::unique_ptr<TTimerMilliseconds> timer_rec_;
  std::unique_ptr<TTimerSilence> silence_;
  bool destroying_ = false;

  TDynamicFileList play_list_;
  TDynamicFileList background_list_;
  std::u16string background_files_;
  bool background_enabled_ = false;
  int background_volume_ = 30;
  bool background_auto_repeat_ = true;
  std::vector<std::pair<std::unique_ptr<std::uint8_t[]>, std::uint32_t>> loaded_;
  std::vector<MemEntry> memory_play_list_;
  std::vector<MemEntry> memory_back_list_;
  int list_position_ = 0;
  Source play_source_ = Source::Single;
  std::size_t background_position_ = 0;
  int played_bits_ = 0;
  std::uint32_t background_entry_size_ = 0;
  std::uint32_t rec_block_size_ = 0;
  std::uint32_t play_block_size_ = 0;
  audio::HWAVEOUT wave_out_ = 0;
  audio::HWAVEIN wave_in_ = 0;
  audio::WAVEFORMATEX play_format_{audio::WAVE_FORMAT_PCM, 0, 0, 0, 0, 0, 0};
  audio::WAVEFORMATEX rec_format_ = audio::pcm_format(8000, 16, 1);
  audio::WAVEFORMATEX open_rec_format_{};  // the format of the open input device
  std::uint32_t open_rec_block_size_ = 0;
  std::array<audio::WAVEHDR, 2> play_headers_{};
  std::array<audio::WAVEHDR, 2> rec_headers_{};
  std::array<std::vector<char>, 2> rec_buffers_;
  std::array<std::vector<char>, 2> play_buffers_;
  std::vector<char> background_buffer_;
  audio::MMCKINFO rec_chunk_{};
  audio::MMCKINFO rec_riff_{};
  audio::HMMIO rec_file_;
  audio::HMMIO play_file_;
  audio::HMMIO background_file_;
  const std::uint8_t* play_image_ = nullptr;  // the memory image being read, if any
  std::uint32_t play_image_size_ = 0;
  const std::uint8_t* background_image_ = nullptr;
  std::uint32_t background_image_size_ = 0;
  PlayState play_state_ = PlayState::Idle;
  InputState input_state_ = InputState::Idle;
  bool listening_ = false;
  bool recording_ = false;
  bool rec_paused_ = false;
  int input_device_ = 0;
  std::int64_t read_pos_ = 0;
  std::int64_t back_read_pos_ = 0;
  std::int64_t start_pos_ = 0;
  std::int64_t pos_base_ = 0;
  std::int64_t start_file_offset_ = 0;
  std::int64_t end_pos_ = 0;
  std::int64_t final_pos_ = 0;
  bool played_to_end_ = false;
  int current_play_buffer_ = 0;
  bool no_more_data_ = false;
  std::int64_t pause_position_ = 0;
  std::int64_t played_bytes_ = 0;  // bytes of the buffers the device has handed back
  std::vector<audio::WAVEHDR*> returned_while_paused_;
  std::int64_t bytes_written_ = 0;
  int current_rec_buffer_ = 0;
  std::int64_t rec_pos_base_ = 0;
  bool writing_ = false;
  bool auto_repeat_ = false;
  bool enable_vu_ = false;
  int silent_blocks_ = 0;
  int next_level_ = 0;
  int last_level_ = 0;
  std::uint32_t level_step_ = 0;
  std::uint32_t level_half_window_ = 0;
  std::array<int, 5> levels_{};
  audio::MmioFaults rec_faults_{};
  std::uint64_t riff_limit_ = 0xFFFFFFFFull;
};

}  // namespace orvexa::components
