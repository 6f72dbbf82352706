// KDVoice playback: opening WAVE sounds, the double-buffered output and its refill, pause,
// resume, stop, lists and the format queries.
#include <algorithm>
#include <cmath>
#include <limits>

#include "components/voice/kd_voice.h"

namespace orvexa::components {

using namespace orvexa::audio;

namespace {

ErrorNumber open_error_mapping(MMRESULT r) {
  switch (r) {
    case MMIOERR_FILENOTFOUND: return err::kFileNotFound;  // no name a search could still find
    case MMIOERR_CANNOTOPEN: return err::kFileCannotOpen;
    case MMIOERR_PATHNOTFOUND: return err::kFileNotFound;
    case MMIOERR_ACCESSDENIED: return err::kFileProtected;
    case MMIOERR_SHARINGVIOLATION: return err::kFileInUse;
    case MMIOERR_NETWORKERROR: return err::kNetworkFile;
    case MMIOERR_TOOMANYOPENFILES: return err::kTooManyOpenFiles;
    case MMIOERR_INVALIDFILE: return err::kBadFileName;
    default: return err::kFailed;
  }
}

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

HMMIO open_for_reading(std::u16string_view name, const std::uint8_t* image, std::uint32_t size,
                       bool from_file, MMRESULT& error) {
  if (from_file) return mmioOpen(name, MMIO_READ | MMIO_DENYWRITE, error);
  return mmioOpenMemory({image, size}, error);
}

}  // namespace

// Steps 3 to 7 of opening a sound: RIFF WAVE, "fmt " of at least 16 bytes, PCM, non-empty "data".
ErrorNumber KDVoice::read_sound_header(MmioFile* file, SoundInfo& info) {
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != 0) return err::kNotPcmWave;
  MMCKINFO fmt{};
  fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file, &fmt, &riff, MMIO_FINDCHUNK) != 0) return err::kNotPcmWave;
  if (fmt.cksize < 16) return err::kNotPcmWave;
  std::uint8_t f[16];
  if (mmioRead(file, reinterpret_cast<char*>(f), 16) != 16) return err::kFileReadWrite;
  WAVEFORMATEX& w = info.format;
  w = WAVEFORMATEX{le16(f), le16(f + 2), le32(f + 4), le32(f + 8), le16(f + 12), le16(f + 14), 0};
  if (w.wFormatTag != WAVE_FORMAT_PCM) return err::kNotPcmWave;
  // Sizes come from these fields: a format whose frame does not add up is refused here rather
  // than used to size buffers or split frames.
  if (w.nChannels == 0 || w.nSamplesPerSec == 0 || w.wBitsPerSample == 0 ||
      w.wBitsPerSample % 8 != 0 ||
      w.nBlockAlign != std::uint64_t{w.nChannels} * w.wBitsPerSample / 8 ||
      w.nAvgBytesPerSec != std::uint64_t{w.nSamplesPerSec} * w.nBlockAlign)
    return err::kNotPcmWave;
  if (mmioAscend(file, &fmt, 0) != 0) return err::kNotPcmWave;
  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != 0) return err::kNotPcmWave;
  if (data.cksize == 0) return err::kFileEmpty;
  // A data chunk that claims more than the file holds is a truncated file.
  const LONG here = mmioSeek(file, 0, SEEK_FROM_CURRENT);
  const LONG end = mmioSeek(file, 0, SEEK_FROM_END);
  if (here < 0 || end < 0 || mmioSeek(file, here, SEEK_FROM_START) != here ||
      std::int64_t{data.dwDataOffset} + data.cksize > end)
    return err::kFileReadWrite;
  info.data_size = data.cksize;
  return err::kNone;
}

ErrorNumber KDVoice::open_sound(std::u16string_view name, const std::uint8_t* image,
                                std::uint32_t image_size, std::int64_t S, std::int64_t E,
                                bool from_file, bool first) {
  if (from_file && name.empty()) return err::kInvalidArgument;
  MMRESULT r = 0;
  play_file_ = open_for_reading(name, image, image_size, from_file, r);
  if (!play_file_) {
    const ErrorNumber e = open_error_mapping(r);
    return e == err::kFailed ? err::kFileCannotOpen : e;
  }
  auto fail = [&](ErrorNumber e) {
    play_file_.reset();
    play_image_ = nullptr;
    if (first) play_state_ = PlayState::Idle;
    return e;
  };
  play_image_ = from_file ? nullptr : image;
  play_image_size_ = from_file ? 0 : image_size;
  SoundInfo info;
  if (const ErrorNumber e = read_sound_header(play_file_.get(), info); e != err::kNone)
    return fail(e);
  const std::int64_t data_start = mmioSeek(play_file_.get(), 0, SEEK_FROM_CURRENT);
  play_format_ = info.format;
  // The buffers are sized once, at the first opening; later list entries use the same size.
  if (first) {
    play_block_size_ = static_cast<std::uint32_t>(std::nearbyint(play_format_.nAvgBytesPerSec * 0.5));
    play_block_size_ = std::max<std::uint32_t>(play_block_size_ / play_format_.nBlockAlign,
                                               1) * play_format_.nBlockAlign;
  }
  const std::int64_t D = info.data_size;
  const std::int64_t align = play_format_.nBlockAlign;
  // Positions cover whole frames: S at a frame start, E at the last byte of a frame.
  const std::int64_t last = D / align * align - 1;
  if (last < 0) return fail(err::kFileEmpty);
  if (E == -1 || (E >= 0 && E >= D)) E = D - 1;
  if (E >= 0) E = std::min(E - E % align + align - 1, last);
  if (S < 0) S = 0;
  S -= S % align;
  if (S > E) S = std::max<std::int64_t>(0, E - align + 1);
  end_pos_ = E;
  start_pos_ = S;
  read_pos_ = S;
  const LONG at = mmioSeek(play_file_.get(), static_cast<LONG>(S), SEEK_FROM_CURRENT);
  if (at < 0 || data_start < 0) return fail(err::kFileReadWrite);
  start_file_offset_ = at;
  if (first) {
    for (auto& b : play_buffers_) b.assign(play_block_size_, 0);
    background_buffer_.assign(play_block_size_, 0);
    if (const ErrorNumber e = prepare_background(); e != err::kNone) return fail(e);
    pos_base_ = 0;
  }
  return err::kNone;
}

void KDVoice::close_play_files() {
  play_file_.reset();
  background_file_.reset();
  play_image_ = nullptr;
  background_image_ = nullptr;
}

ErrorNumber KDVoice::start_playback(int DeviceID, std::u16string_view name,
                                    const std::uint8_t* image, std::uint32_t image_size,
                                    int StartByte, int EndByte, bool from_file) {
  host::BusyPointer busy(services_.busy);
  if (DeviceID < -1) return err::kSoundBadDeviceId;
  // An end below -1 names no byte of the sound.
  if (EndByte < -1) return err::kInvalidArgument;
  if (DeviceID == -1) {
    const ErrorNumber e = PreferredDevice({services_.audio, services_.sound_settings},
                                          DeviceKindDir::Playback, PlayNumberOfDevs(),
                                          WideAvailable(), DeviceID);
    if (e != err::kNone) return e;
  }
  if (const ErrorNumber e = open_sound(name, image, image_size, StartByte, EndByte, from_file,
                                       true);
      e != err::kNone) {
    close_play_files();
    return e;
  }
  played_bytes_ = 0;
  const MMRESULT r = services_.audio.waveOutOpen(&wave_out_, static_cast<std::uint32_t>(DeviceID),
                                                 &play_format_, Handle(), 0, CALLBACK_WINDOW);
  if (r != MMSYSERR_NOERROR) {
    wave_out_ = 0;
    close_play_files();  // the device is not open: PlayStop alone would leave the file open
    PlayStop();
    return r == MMSYSERR_NOMEM ? err::kSoundNotEnabled : wave_error(r, WaveCall::Open);
  }
  play_state_ = PlayState::DeviceOpen;
  for (int i = 0; i < 2; ++i) {
    play_headers_[i] = WAVEHDR{};
    play_headers_[i].lpData = play_buffers_[i].data();
    play_headers_[i].dwBufferLength = play_block_size_;
  }
  for (int i = 0; i < 2; ++i) {
    const MMRESULT p = services_.audio.waveOutPrepareHeader(wave_out_, &play_headers_[i],
                                                            sizeof(WAVEHDR));
    if (p != MMSYSERR_NOERROR) {
      for (int k = 0; k < i; ++k)
        services_.audio.waveOutUnprepareHeader(wave_out_, &play_headers_[k], sizeof(WAVEHDR));
      PlayStop();
      return wave_error(p);
    }
  }
  play_state_ = PlayState::Prepared;
  current_play_buffer_ = 0;
  final_pos_ = end_pos_;
  no_more_data_ = false;
  played_to_end_ = false;
  returned_while_paused_.clear();
  play_state_ = PlayState::Playing;
  if (const ErrorNumber e = refill(); e != err::kNone) return e;
  raise(ssPlayBegin, StartByte, 0);
  if (timer_play_usable()) {
    OnTimerPlay(*this, StartByte);
    timer_play_->SetRunning(true);
  }
  if (!no_more_data_ && play_state_ == PlayState::Playing) {
    current_play_buffer_ = 1;
    if (const ErrorNumber e = refill(); e != err::kNone) return e;
  }
  current_play_buffer_ = 0;
  return err::kNone;
}

ErrorNumber KDVoice::refill() {
  const int cur = current_play_buffer_;
  WAVEHDR& h = play_headers_[cur];
  if (read_pos_ >= end_pos_ + 1) {
    services_.message_box.show("Abnormal error number 145");
    PlayStop();
    return err::kFileReadWrite;
  }
  const auto want = static_cast<LONG>(std::min<std::int64_t>(play_block_size_,
                                                             end_pos_ + 1 - read_pos_));
  const LONG n = mmioRead(play_file_.get(), play_buffers_[cur].data(), want);
  if (n <= 0) {
    PlayStop();
    return err::kFileReadWrite;
  }
  if (background_enabled_ && background_volume_ > 0) {
    if (const ErrorNumber e = mix_background(play_buffers_[cur].data(), static_cast<std::uint32_t>(n));
        e != err::kNone) {
      PlayStop();
      return e;
    }
  }
  h.dwBufferLength = static_cast<DWORD>(n);
  h.dwFlags = WHDR_PREPARED;
  read_pos_ += n;
  bool loop_point = false;
  h.dwUser = 0;
  if (read_pos_ >= end_pos_ + 1) {
    const bool list = play_source_ != Source::Single;
    const int entries = play_source_ == Source::FileList ? static_cast<int>(play_list_.size())
                                                         : static_cast<int>(memory_play_list_.size());
    if (auto_repeat_) {
      if (!list) {
        if (mmioSeek(play_file_.get(), static_cast<LONG>(start_file_offset_), SEEK_FROM_START) < 0) {
          PlayStop();
          return err::kFileReadWrite;
        }
        read_pos_ = start_pos_;
        loop_point = true;
      } else if (list_position_ >= entries - 1) {
        list_position_ = -1;
        loop_point = true;
      }
    }
    if (list && list_position_ < entries - 1) {
      play_file_.reset();
      play_image_ = nullptr;
      ++list_position_;
      ErrorNumber e = err::kNone;
      if (play_source_ == Source::FileList) {
        e = open_sound(play_list_[list_position_].FileName, nullptr, 0, 0, -1, true, false);
      } else {
        const MemEntry& m = memory_play_list_[list_position_];
        e = open_sound({}, m.buffer, m.buffer_size, 0, -1, false, false);
      }
      play_state_ = PlayState::Playing;
      if (e != err::kNone) {
        PlayStop();
        return e;
      }
    } else if (!auto_repeat_) {
      h.dwUser = 1;
      no_more_data_ = true;
    }
  }
  if (loop_point) {
    MMTIME t;
    if (services_.audio.waveOutGetPosition(wave_out_, &t, sizeof t) != MMSYSERR_NOERROR) {
      PlayStop();
      return err::kTimerResources;
    }
    pos_base_ = t.cb;
  }
  if (const MMRESULT w = services_.audio.waveOutWrite(wave_out_, &h, sizeof h); w != 0) {
    PlayStop();
    return wave_error(w);
  }
  return err::kNone;
}

void KDVoice::buffer_done(WAVEHDR* header) {
  if (play_state_ == PlayState::Paused) {
    // Paused: keep the buffer for PlayContinue, or the end of the sound is never seen.
    returned_while_paused_.push_back(header);
    return;
  }
  if (play_state_ != PlayState::Playing) return;
  if (header != nullptr) played_bytes_ += header->dwBufferLength;
  WAVEHDR& current = play_headers_[current_play_buffer_];
  if (no_more_data_) {
    if ((header ? header->dwUser : current.dwUser) == 1) {
      played_to_end_ = true;
      PlayStop();
    } else {
      current_play_buffer_ = 1 - current_play_buffer_;
    }
    return;
  }
  if (const ErrorNumber e = refill(); e != err::kNone) {
    raise(ssError, 0, e);
    return;
  }
  current_play_buffer_ = 1 - current_play_buffer_;
}

bool KDVoice::playback_position(std::int64_t& position) {
  MMTIME t;
  if (wave_out_ == 0 ||
      services_.audio.waveOutGetPosition(wave_out_, &t, sizeof t) != MMSYSERR_NOERROR)
    return false;
  position = std::int64_t{t.cb} + start_pos_ - pos_base_;
  return true;
}

void KDVoice::PlayStop() {
  // Stopping already (a handler run by the loop below called us again): nothing more to do.
  if (play_state_ == PlayState::Idle || play_state_ == PlayState::Stopping) return;
  timer_play_->SetRunning(false);
  const PlayState state = play_state_;
  bool report = false;
  std::int64_t position = 0;
  if (state >= PlayState::Playing) {
    report = true;
    if (played_to_end_) {
      position = final_pos_;
    } else if (state == PlayState::Paused) {
      position = pause_position_;
    } else if (!playback_position(position)) {
      // The device no longer answers: report what it had played when last heard from.
      position = played_bytes_ + start_pos_ - pos_base_;
    }
    play_state_ = PlayState::Stopping;
    services_.audio.waveOutReset(wave_out_);
    let_loop_run_once();
  }
  if (state >= PlayState::Prepared) {
    for (auto& h : play_headers_)
      services_.audio.waveOutUnprepareHeader(wave_out_, &h, sizeof h);
  }
  if (state >= PlayState::DeviceOpen) {
    services_.audio.waveOutClose(wave_out_);
    wave_out_ = 0;
  }
  close_play_files();
  play_state_ = PlayState::Idle;
  returned_while_paused_.clear();
  let_loop_run_once();
  play_list_.clear();
  if (report && !destroying_) {
    if (timer_play_usable()) OnTimerPlay(*this, static_cast<int>(position));
    raise(ssPlayDone, position, 0);
  }
}

ErrorNumber KDVoice::PlayPause() {
  if (play_state_ != PlayState::Playing) return err::kNone;
  play_state_ = PlayState::Paused;
  timer_play_->SetRunning(false);
  if (const MMRESULT r = services_.audio.waveOutPause(wave_out_); r != MMSYSERR_NOERROR) {
    const ErrorNumber e = wave_error(r);
    PlayStop();
    return e;
  }
  // Remember where the pause fell even when nobody listens: PlayStop reports it.
  const bool known = playback_position(pause_position_);
  if (!known) pause_position_ = played_bytes_ + start_pos_ - pos_base_;
  let_loop_run_once();
  if (!OnSoundState && !timer_play_usable()) return err::kNone;
  if (!known || play_state_ != PlayState::Paused) return err::kNone;
  if (timer_play_usable()) OnTimerPlay(*this, static_cast<int>(pause_position_));
  if (!destroying_) raise(ssPlayPaused, pause_position_, 0);
  return err::kNone;
}

ErrorNumber KDVoice::PlayContinue() {
  if (play_state_ != PlayState::Paused) return err::kNone;
  if (const MMRESULT r = services_.audio.waveOutRestart(wave_out_); r != MMSYSERR_NOERROR) {
    const ErrorNumber e = wave_error(r);
    PlayStop();
    return e;
  }
  play_state_ = PlayState::Playing;
  // Buffers the device handed back while paused are handled now, in the order they came.
  auto returned = std::move(returned_while_paused_);
  returned_while_paused_.clear();
  for (WAVEHDR* h : returned) {
    if (play_state_ != PlayState::Playing) break;
    buffer_done(h);
  }
  let_loop_run_once();
  if (play_state_ == PlayState::Playing) {
    if (!destroying_) raise(ssPlayResumed, pause_position_, 0);
    if (timer_play_usable()) {
      OnTimerPlay(*this, static_cast<int>(pause_position_));
      timer_play_->SetRunning(true);
    }
  }
  return err::kNone;
}

ErrorNumber KDVoice::Play(int DeviceID, std::u16string_view FileName, int StartByte,
                          int EndByte) {
  PlayStop();
  play_source_ = Source::Single;
  return start_playback(DeviceID, FileName, nullptr, 0, StartByte, EndByte, true);
}

ErrorNumber KDVoice::MemoryPlay(const std::uint8_t* Buffer, std::uint32_t BufferSize,
                                int DeviceID, int StartByte, int EndByte) {
  PlayStop();
  if (Buffer == nullptr || BufferSize == 0) return err::kFileEmpty;
  play_source_ = Source::Single;
  return start_playback(DeviceID, {}, Buffer, BufferSize, StartByte, EndByte, false);
}

ErrorNumber KDVoice::check_info(std::u16string_view name, const std::uint8_t* image,
                                std::uint32_t size, bool from_file, SoundInfo& info,
                                bool map_minus_one) {
  MMRESULT r = 0;
  HMMIO f = open_for_reading(name, image, size, from_file, r);
  if (!f) {
    const ErrorNumber e = open_error_mapping(r);
    return map_minus_one && e == err::kFailed ? err::kFileCannotOpen : e;
  }
  return read_sound_header(f.get(), info);
}

ErrorNumber KDVoice::ValidateFile(std::u16string_view FileName, int& DataSize,
                                  int& SamplesPerSec, int& BitsPerSample, int& Channels) {
  DataSize = SamplesPerSec = BitsPerSample = Channels = 0;
  if (FileName.empty()) return err::kInvalidArgument;
  SoundInfo info;
  if (const ErrorNumber e = check_info(FileName, nullptr, 0, true, info, false); e != 0) return e;
  DataSize = static_cast<int>(std::min<std::uint32_t>(info.data_size, INT32_MAX));
  SamplesPerSec = static_cast<int>(info.format.nSamplesPerSec);
  BitsPerSample = info.format.wBitsPerSample;
  Channels = info.format.nChannels;
  return err::kNone;
}

ErrorNumber KDVoice::MemoryGetInfo(const std::uint8_t* Buffer, std::uint32_t BufferSize,
                                   int& DataSize, int& SamplesPerSec, int& BitsPerSample,
                                   int& Channels) {
  DataSize = SamplesPerSec = BitsPerSample = Channels = 0;
  SoundInfo info;
  if (const ErrorNumber e = check_info({}, Buffer, BufferSize, false, info, false); e != 0)
    return e;
  DataSize = static_cast<int>(std::min<std::uint32_t>(info.data_size, INT32_MAX));
  SamplesPerSec = static_cast<int>(info.format.nSamplesPerSec);
  BitsPerSample = info.format.wBitsPerSample;
  Channels = info.format.nChannels;
  return err::kNone;
}

ErrorNumber KDVoice::PlayMultipleFiles(int DeviceID, std::u16string_view FileNames,
                                       int& TotalSize) {
  if (FileNames.empty()) return err::kInvalidArgument;
  TotalSize = 0;
  PlayStop();
  if (const ErrorNumber e = FileList(FileNames, WideAvailable(), play_list_); e != err::kNone)
    return e;
  std::int64_t total = 0;
  int rate = 0, bits = 0, channels = 0;
  for (std::size_t i = 0; i < play_list_.size(); ++i) {
    int size = 0, r = 0, b = 0, c = 0;
    ErrorNumber e = ValidateFile(play_list_[i].FileName, size, r, b, c);
    if (e == err::kNone && i > 0 && (r != rate || b != bits || c != channels))
      e = err::kDifferentFormats;
    total += size;
    // TotalSize and the positions are 32-bit: a longer list cannot be reported.
    if (e == err::kNone && total > std::numeric_limits<std::int32_t>::max())
      e = err::kInvalidArgument;
    if (e != err::kNone) {
      play_list_.clear();
      return e;
    }
    rate = r, bits = b, channels = c;
  }
  list_position_ = 0;
  play_source_ = Source::FileList;
  const std::u16string first = play_list_.front().FileName;
  const ErrorNumber e = start_playback(DeviceID, first, nullptr, 0, 0, -1, true);
  final_pos_ = total - 1;
  TotalSize = static_cast<int>(total);
  return e;
}

void KDVoice::MemoryListAdd(const std::uint8_t* Buffer, std::uint32_t BufferSize) {
  if (Buffer == nullptr || BufferSize == 0) return;
  memory_play_list_.push_back({Buffer, BufferSize, 0});
}

ErrorNumber KDVoice::MemoryListPlay(int DeviceID, int& TotalSize) {
  TotalSize = 0;
  PlayStop();
  if (memory_play_list_.empty()) return err::kFileEmpty;
  std::int64_t total = 0;
  int rate = 0, bits = 0, channels = 0;
  for (std::size_t i = 0; i < memory_play_list_.size(); ++i) {
    int size = 0, r = 0, b = 0, c = 0;
    const MemEntry& m = memory_play_list_[i];
    ErrorNumber e = MemoryGetInfo(m.buffer, m.buffer_size, size, r, b, c);
    if (e == err::kNone && i > 0 && (r != rate || b != bits || c != channels))
      e = err::kDifferentFormats;
    total += size;
    if (e == err::kNone && total > std::numeric_limits<std::int32_t>::max())
      e = err::kInvalidArgument;
    if (e != err::kNone) return e;
    rate = r, bits = b, channels = c;
  }
  list_position_ = 0;
  play_source_ = Source::MemoryList;
  const MemEntry first = memory_play_list_.front();
  const ErrorNumber e = start_playback(DeviceID, {}, first.buffer, first.buffer_size, 0, -1, false);
  final_pos_ = total - 1;
  TotalSize = static_cast<int>(total);
  return e;
}

}  // namespace orvexa::components
