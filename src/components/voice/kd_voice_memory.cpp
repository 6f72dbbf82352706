// KDVoice memory images, background mixing, level meter, silence detection and time text.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "components/voice/kd_voice.h"
#include "components/voice/mixer.h"

namespace orvexa::components {

using namespace orvexa::audio;

namespace {

constexpr std::uintptr_t kLevelTimerId = 3;

}  // namespace

ErrorNumber KDVoice::MemoryLoadFile(std::u16string_view FileName, const std::uint8_t*& Buffer,
                                    int& Size) {
  Buffer = nullptr;
  Size = 0;
  ErrorNumber e = err::kFailed;
  TKDFileStream stream(FileName, e, 0x40);
  if (e != err::kNone) return e;
  const std::int64_t size = stream.Size();
  if (size < 0) return err::kFailed;
  if (size > std::numeric_limits<std::int32_t>::max()) return err::kNoMemory;
  std::unique_ptr<std::uint8_t[]> memory(
      new (std::nothrow) std::uint8_t[static_cast<std::size_t>(std::max<std::int64_t>(size, 1))]);
  if (!memory) return err::kNoMemory;
  if (stream.Read(memory.get(), size) != size) return err::kFileReadWrite;
  Buffer = memory.get();
  Size = static_cast<int>(size);
  loaded_.emplace_back(std::move(memory), static_cast<std::uint32_t>(size));
  return err::kNone;
}

bool KDVoice::buffer_in_use(const std::uint8_t* buffer, std::uint32_t size) const {
  auto inside = [&](const std::uint8_t* p) {
    return p != nullptr && std::less_equal<>()(buffer, p) && std::less<>()(p, buffer + std::max<std::uint32_t>(size, 1));
  };
  if (play_state_ == PlayState::Idle) return false;
  if (inside(play_image_) || inside(background_image_)) return true;
  if (play_source_ == Source::MemoryList)
    for (const auto& m : memory_play_list_)
      if (inside(m.buffer)) return true;
  for (const auto& m : memory_back_list_)
    if (inside(m.buffer)) return true;
  return false;
}

void KDVoice::MemoryRelease(const std::uint8_t* Buffer) {
  // Only images this component handed out are freed; anything else (or a second release of
  // the same image) is left alone.
  auto it = std::find_if(loaded_.begin(), loaded_.end(),
                         [Buffer](const auto& l) { return l.first.get() == Buffer; });
  if (Buffer == nullptr || it == loaded_.end()) return;
  if (buffer_in_use(Buffer, it->second)) PlayStop();
  auto drop = [Buffer](std::vector<MemEntry>& list) {
    std::erase_if(list, [Buffer](const MemEntry& m) { return m.buffer == Buffer; });
  };
  drop(memory_play_list_);
  drop(memory_back_list_);
  loaded_.erase(it);
}

void KDVoice::MemoryBackListAdd(const std::uint8_t* Buffer, std::uint32_t BufferSize) {
  if (Buffer == nullptr || BufferSize == 0) return;
  memory_back_list_.push_back({Buffer, BufferSize, 0});
}

ErrorNumber KDVoice::prepare_background() {
  background_position_ = 0;
  played_bits_ = play_format_.wBitsPerSample;
  background_file_.reset();
  background_image_ = nullptr;
  background_entry_size_ = 0;
  back_read_pos_ = 0;
  background_list_.clear();
  auto same = [this](int r, int b, int c) {
    return r == static_cast<int>(play_format_.nSamplesPerSec) && b == play_format_.wBitsPerSample &&
           c == play_format_.nChannels;
  };
  if (!background_files_.empty()) {
    if (const ErrorNumber e = FileList(background_files_, WideAvailable(), background_list_); e)
      return e;
    for (auto& entry : background_list_) {
      int size = 0, r = 0, b = 0, c = 0;
      if (const ErrorNumber e = ValidateFile(entry.FileName, size, r, b, c); e) return e;
      if (!same(r, b, c)) return err::kDifferentFormats;
      entry.Size = size;
    }
  }
  for (auto& m : memory_back_list_) {
    int size = 0, r = 0, b = 0, c = 0;
    if (const ErrorNumber e = MemoryGetInfo(m.buffer, m.buffer_size, size, r, b, c); e) return e;
    if (!same(r, b, c)) return err::kDifferentFormats;
    m.data_size = static_cast<std::uint32_t>(size);
  }
  return err::kNone;
}

ErrorNumber KDVoice::next_background_entry(bool& exhausted) {
  exhausted = false;
  background_file_.reset();
  background_image_ = nullptr;
  const std::size_t files = background_files_.empty() ? 0 : background_list_.size();
  const std::size_t total = files + memory_back_list_.size();
  if (background_position_ >= total) {
    if (!background_auto_repeat_ || total == 0) {
      exhausted = true;
      return err::kNone;
    }
    background_position_ = 0;
  }
  MMRESULT r = 0;
  const bool from_file = background_position_ < files;
  const std::uint8_t* image = nullptr;
  if (from_file) {
    background_file_ = mmioOpen(background_list_[background_position_].FileName,
                                MMIO_READ | MMIO_DENYWRITE, r);
  } else {
    const MemEntry& m = memory_back_list_[background_position_ - files];
    image = m.buffer;
    background_file_ = mmioOpenMemory({m.buffer, m.buffer_size}, r);
  }
  ErrorNumber e = err::kNone;
  SoundInfo info;
  if (!background_file_) {
    e = r == MMIOERR_FILENOTFOUND || r == MMIOERR_PATHNOTFOUND ? err::kFileNotFound
        : r == MMIOERR_SHARINGVIOLATION                        ? err::kFileInUse
                                                               : err::kFileCannotOpen;
  } else {
    e = read_sound_header(background_file_.get(), info);
  }
  if (e != err::kNone) {
    background_file_.reset();
    return e;
  }
  background_image_ = image;
  background_entry_size_ = info.data_size;
  back_read_pos_ = 0;
  ++background_position_;
  return err::kNone;
}

ErrorNumber KDVoice::mix_background(char* data, std::uint32_t n) {
  bool exhausted = false;
  if (!background_file_) {
    if (const ErrorNumber e = next_background_entry(exhausted); e != err::kNone) return e;
    if (exhausted) return err::kNone;
  }
  n = std::min<std::uint32_t>(n, static_cast<std::uint32_t>(background_buffer_.size()));
  std::uint32_t remaining = n;
  std::uint32_t place = 0;
  while (remaining > 0) {
    const auto left = static_cast<std::int64_t>(background_entry_size_) - back_read_pos_;
    const auto k = static_cast<LONG>(std::min<std::int64_t>(remaining, left));
    if (k > 0) {
      const LONG got = mmioRead(background_file_.get(), background_buffer_.data() + place, k);
      if (got <= 0) return err::kFileReadWrite;
      back_read_pos_ += got;
      place += static_cast<std::uint32_t>(got);
      remaining -= static_cast<std::uint32_t>(got);
    }
    if (back_read_pos_ >= background_entry_size_) {
      if (const ErrorNumber e = next_background_entry(exhausted); e != err::kNone) return e;
      if (exhausted) break;
    }
  }
  const std::uint32_t m = n - remaining;
  if (m == 0) return err::kNone;
  mix_samples(data, background_buffer_.data(), m, played_bits_, background_volume_);
  return err::kNone;
}

void KDVoice::level_scan(const std::uint8_t* data, std::uint32_t b) {
  next_level_ = 0;
  last_level_ = 0;
  bool loud = false;
  const bool sixteen = open_rec_format_.wBitsPerSample == 16;
  // A step of 0 (a very slow format) would never end the scan: treat the block as one step.
  const std::int64_t step = level_step_ > 0 ? level_step_ : std::max<std::uint32_t>(b, 1);
  const std::int64_t half = level_half_window_;
  for (std::int64_t p = 0; p < b; p += step) {
    const std::int64_t from = std::max<std::int64_t>(0, p - half);
    std::int64_t to = p + half;
    if (to >= b) to = std::int64_t{b} - 2;
    int peak = 0;
    if (sixteen) {
      for (std::int64_t i = from - from % 2; i <= to && i + 1 < b; i += 2) {
        const int s = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
        peak = std::max(peak, std::abs(s));
      }
    } else {
      int distance = 0;
      for (std::int64_t i = from; i <= to && i < b; ++i)
        distance = std::max(distance, std::abs(int{data[i]} - 128));
      peak = static_cast<int>(std::nearbyint(distance / 128.0 * 32768.0));
    }
    if (!loud && peak > silence_->Level()) loud = true;
    if (next_level_ < static_cast<int>(levels_.size())) levels_[next_level_++] = peak;
  }
  last_level_ = next_level_ - 1;
  next_level_ = 1;
  if (OnVUMeter && enable_vu_ && last_level_ >= 0) {
    OnVUMeter(*this, levels_[0]);
    Window().set_timer(kLevelTimerId, std::chrono::milliseconds(150));
  }
  silent_blocks_ = loud ? 0 : silent_blocks_ + 1;
}

void KDVoice::level_tick() {
  if (OnVUMeter && next_level_ <= last_level_ && enable_vu_ && !destroying_)
    OnVUMeter(*this, levels_[next_level_]);
  ++next_level_;
  if (next_level_ > last_level_) Window().kill_timer(kLevelTimerId);
}

void KDVoice::silence_decision() {
  if (silent_blocks_ > silence_->Seconds() / 0.45 - 0.225) {
    if (OnSilenceDetected) OnSilenceDetected(*this);
    silent_blocks_ = 0;
  }
}

std::string KDVoice::FmtByteToTime(int SamplesPerSec, int BitsPerSample, int Channels,
                                   int BytePosition, int Precision) {
  std::int64_t P = std::max(BytePosition, 0);
  double t = 0;
  const double per_second = static_cast<double>(SamplesPerSec) * Channels * BitsPerSample;
  if (per_second > 0) {
    if (BitsPerSample == 16 && P % 2 == 1) --P;
    t = static_cast<double>(P) / (per_second / 8) * 1000;
  }
  const auto minutes = static_cast<std::int64_t>(t / 60000);
  std::string text = minutes < 10 ? "0" : "";
  text += std::to_string(minutes) + ":";
  const auto seconds = static_cast<std::int64_t>((t - minutes * 60000.0) / 1000);
  if (seconds < 10) text += "0";
  text += std::to_string(seconds);
  if (Precision == 0) return text;
  const double rest = t - minutes * 60000.0 - seconds * 1000.0;
  text += ":";
  if (Precision == 1) {
    text += std::to_string(static_cast<std::int64_t>(rest / 100));
  } else {
    const auto hundredths = static_cast<std::int64_t>(rest / 10);
    if (hundredths < 10) text += "0";
    text += std::to_string(hundredths);
  }
  return text;
}

}  // namespace orvexa::components
