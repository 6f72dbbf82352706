// KDVoice recording and listening: the input device, the WAVE file written, the data step.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "components/voice/kd_voice.h"

namespace orvexa::components {

using namespace orvexa::audio;

namespace {

constexpr std::uintptr_t kLevelTimerId = 3;

ErrorNumber open_error_mapping(MMRESULT r) {
  switch (r) {
    case MMIOERR_FILENOTFOUND: return err::kFileNotFound;
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

std::uint32_t rounded_even(double value) {
  auto n = static_cast<std::uint32_t>(std::nearbyint(std::max(0.0, value)));
  return n % 2 == 1 ? n + 1 : n;
}

// The 18-byte format record as the file holds it.
std::array<char, 18> format_record(const WAVEFORMATEX& f) {
  std::array<char, 18> b{};
  auto put = [&b](int at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, WAVE_FORMAT_PCM, 2);
  put(2, f.nChannels, 2);
  put(4, f.nSamplesPerSec, 4);
  put(8, f.nAvgBytesPerSec, 4);
  put(12, f.nBlockAlign, 2);
  put(14, f.wBitsPerSample, 2);
  put(16, 0, 2);
  return b;
}

}  // namespace

ErrorNumber KDVoice::create_record_file(std::u16string_view name) {
  if (name.empty()) return err::kInvalidArgument;
  MMRESULT r = 0;
  HMMIO file = mmioOpen(name, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE, r, &rec_faults_);
  if (!file) return open_error_mapping(r);
  rec_riff_ = MMCKINFO{};
  rec_riff_.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  MMCKINFO fmt{};
  fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
  fmt.cksize = 18;
  // The header describes the data that follows: the format of the device as it was opened.
  const auto record = format_record(open_rec_format_);
  rec_chunk_ = MMCKINFO{};
  rec_chunk_.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioCreateChunk(file.get(), &rec_riff_, MMIO_CREATERIFF) != 0 ||
      mmioCreateChunk(file.get(), &fmt, 0) != 0 ||
      mmioWrite(file.get(), record.data(), 18) != 18 || mmioAscend(file.get(), &fmt, 0) != 0 ||
      mmioCreateChunk(file.get(), &rec_chunk_, 0) != 0)
    return err::kFileCannotWrite;
  rec_file_ = std::move(file);
  return err::kNone;
}

ErrorNumber KDVoice::open_input(int DeviceID, std::u16string_view name, bool to_file) {
  host::BusyPointer busy(services_.busy);
  if (input_state_ == InputState::Running) return err::kNone;
  if (DeviceID < -1) return err::kSoundBadDeviceId;
  if (DeviceID == -1) {
    const ErrorNumber e = PreferredDevice({services_.audio, services_.sound_settings},
                                          DeviceKindDir::Capture, RecNumberOfDevs(),
                                          WideAvailable(), DeviceID);
    if (e != err::kNone) return e;
  }
  if (to_file && name.empty()) return err::kInvalidArgument;
  // The device opens before the file is created, so a busy or refusing device leaves an
  // existing file untouched.
  MMRESULT r = services_.audio.waveInOpen(&wave_in_, static_cast<std::uint32_t>(DeviceID),
                                          &rec_format_, Handle(), 0, CALLBACK_WINDOW);
  if (r != MMSYSERR_NOERROR) {
    wave_in_ = 0;
    return r == MMSYSERR_NOMEM ? err::kSoundNotEnabled : wave_error(r, WaveCall::Open);
  }
  input_state_ = InputState::DeviceOpen;
  open_rec_format_ = rec_format_;
  open_rec_block_size_ = std::max<std::uint32_t>(rec_block_size_, open_rec_format_.nBlockAlign);
  ErrorNumber failure = err::kNone;
  for (int i = 0; i < 2; ++i) {
    rec_buffers_[i].assign(open_rec_block_size_, 0);
    rec_headers_[i] = WAVEHDR{};
    rec_headers_[i].lpData = rec_buffers_[i].data();
    rec_headers_[i].dwBufferLength = open_rec_block_size_;
  }
  for (auto& h : rec_headers_) {
    if (failure == err::kNone && (r = services_.audio.waveInPrepareHeader(wave_in_, &h, sizeof h)))
      failure = wave_error(r);
  }
  if (failure == err::kNone) {
    input_state_ = InputState::Prepared;
    for (auto& h : rec_headers_) {
      if (failure == err::kNone && (r = services_.audio.waveInAddBuffer(wave_in_, &h, sizeof h)))
        failure = wave_error(r);
    }
  }
  if (failure == err::kNone && to_file) failure = create_record_file(name);
  if (failure == err::kNone) {
    bytes_written_ = 0;
    current_rec_buffer_ = 0;
    silent_blocks_ = 0;
    rec_pos_base_ = 0;
    writing_ = to_file;
    level_step_ = rounded_even(open_rec_format_.nAvgBytesPerSec * 0.15);
    level_half_window_ = rounded_even(open_rec_format_.nAvgBytesPerSec * 0.7);
    if ((r = services_.audio.waveInStart(wave_in_)) != MMSYSERR_NOERROR) failure = wave_error(r);
  }
  if (failure != err::kNone) {
    services_.audio.waveInReset(wave_in_);
    for (auto& h : rec_headers_) services_.audio.waveInUnprepareHeader(wave_in_, &h, sizeof h);
    services_.audio.waveInClose(wave_in_);
    wave_in_ = 0;
    rec_file_.reset();
    writing_ = false;
    input_state_ = InputState::Idle;
    return failure;
  }
  input_state_ = InputState::Running;
  return err::kNone;
}

void KDVoice::finish_record_file() {
  if (!rec_file_) return;
  const bool ok = mmioAscend(rec_file_.get(), &rec_chunk_, 0) == 0 &&
                  mmioAscend(rec_file_.get(), &rec_riff_, 0) == 0;
  const bool closed = mmioClose(rec_file_) == 0;
  // A file whose sizes could not be written is not a finished recording: say so.
  if ((!ok || !closed) && !destroying_) raise(ssError, 0, err::kFileCannotWrite);
}

void KDVoice::close_input() {
  if (input_state_ == InputState::Idle) return;
  Window().kill_timer(kLevelTimerId);
  if (input_state_ == InputState::Running) {
    input_state_ = InputState::Stopping;
    Loop().run_for(std::chrono::milliseconds(450));
    services_.audio.waveInReset(wave_in_);
    let_loop_run_once();
  }
  if (input_state_ >= InputState::Prepared)
    for (auto& h : rec_headers_) services_.audio.waveInUnprepareHeader(wave_in_, &h, sizeof h);
  if (input_state_ >= InputState::DeviceOpen) services_.audio.waveInClose(wave_in_);
  wave_in_ = 0;
  finish_record_file();
  input_state_ = InputState::Idle;
  let_loop_run_once();
}

ErrorNumber KDVoice::Rec(int DeviceID, std::u16string_view FileName) {
  if (recording_) return DeviceID == input_device_ ? err::kAlreadyInProgress
                                                   : err::kTwoRecordingDevices;
  ErrorNumber e = err::kNone;
  if (listening_) {
    e = create_record_file(FileName);
    if (e == err::kNone) {
      bytes_written_ = 0;
      writing_ = true;
    }
  } else {
    e = open_input(DeviceID, FileName, true);
  }
  if (e != err::kNone) return e;
  input_device_ = DeviceID;
  recording_ = true;
  rec_paused_ = false;
  raise(ssRecBegin, 0, 0);
  return err::kNone;
}

ErrorNumber KDVoice::ListenStart(int DeviceID) {
  if (listening_) return DeviceID == input_device_ ? err::kAlreadyInProgress
                                                   : err::kTwoRecordingDevices;
  if (!recording_) {
    if (const ErrorNumber e = open_input(DeviceID, {}, false); e != err::kNone) return e;
  }
  input_device_ = DeviceID;
  listening_ = true;
  raise(ssListenBegin, 0, 0);
  return err::kNone;
}

void KDVoice::data_step(WAVEHDR* header) {
  if (header == nullptr) return;
  const DWORD recorded = std::min(header->dwBytesRecorded, header->dwBufferLength);
  if (writing_) {
    if (!timer_rec_->Running() && timer_rec_usable()) {
      OnTimerRec(*this, bytes_written_ ? static_cast<int>(bytes_written_ - 1) : 0);
      if (bytes_written_ != 0) {
        MMTIME t;
        if (services_.audio.waveInGetPosition(wave_in_, &t, sizeof t) != MMSYSERR_NOERROR) {
          timer_rec_->SetRunning(false);
          raise(ssError, 0, err::kTimerResources);
        } else {
          timer_rec_->SetRunning(true);
          rec_pos_base_ = bytes_written_ - 1 - std::int64_t{t.cb} + open_rec_block_size_;
        }
      }
    }
    // The RIFF size counts "WAVE", both chunk headers, the format and the padded data: stop
    // before it would not fit its 32-bit field.
    const std::uint64_t riff_size = 4 + 8 + 18 + 8 + std::uint64_t(bytes_written_) + recorded;
    if (riff_size + (riff_size & 1) > riff_limit_) {
      RecStop();
      if (!destroying_) raise(ssError, 0, err::kFileCannotWrite);
      return;
    }
    const LONG w = mmioWrite(rec_file_.get(), header->lpData, static_cast<LONG>(recorded));
    if (w != static_cast<LONG>(recorded)) {
      // Keep the bytes that did reach the file, so the sizes written at the end match them.
      if (w > 0) bytes_written_ += w;
      RecStop();
      if (!destroying_) raise(ssError, 0, err::kFileReadWrite);
      return;
    }
    bytes_written_ += recorded;
  }
  Window().kill_timer(kLevelTimerId);
  const bool watch = silence_->Seconds() > 0 && silence_->Enabled() && OnSilenceDetected &&
                     (listening_ || (recording_ && !rec_paused_));
  if (input_state_ != InputState::Running) return;
  if (((OnVUMeter && enable_vu_) || watch) && !destroying_)
    level_scan(reinterpret_cast<const std::uint8_t*>(header->lpData), recorded);
  if (const MMRESULT r = services_.audio.waveInAddBuffer(wave_in_, header, sizeof *header); r) {
    RecStop();
    if (!destroying_) raise(ssError, 0, wave_error(r));
    return;
  }
  current_rec_buffer_ = 1 - current_rec_buffer_;
  if (watch && !destroying_) silence_decision();
}

ErrorNumber KDVoice::RecPause() {
  if (!recording_) return err::kNone;
  writing_ = false;
  rec_paused_ = true;
  timer_rec_->SetRunning(false);
  if (timer_rec_usable()) OnTimerRec(*this, static_cast<int>(bytes_written_ - 1));
  if (!destroying_) raise(ssRecPaused, bytes_written_ - 1, 0);
  return err::kNone;
}

ErrorNumber KDVoice::RecContinue() {
  if (!recording_ && !rec_paused_) return err::kNone;
  writing_ = true;
  rec_paused_ = false;
  if (!listening_) silent_blocks_ = 0;
  if (!destroying_) raise(ssRecResumed, bytes_written_ - 1, 0);
  return err::kNone;
}

void KDVoice::RecStop() {
  if (!recording_) return;
  writing_ = false;
  recording_ = false;
  timer_rec_->SetRunning(false);
  if (listening_) finish_record_file();
  else close_input();
  if (destroying_) return;
  if (timer_rec_usable()) OnTimerRec(*this, static_cast<int>(bytes_written_ - 1));
  raise(ssRecDone, bytes_written_ - 1, 0);
}

void KDVoice::ListenStop() {
  if (!listening_) return;
  listening_ = false;
  if (!recording_) close_input();
  if (!destroying_) raise(ssListenDone, 0, 0);
}

}  // namespace orvexa::components
