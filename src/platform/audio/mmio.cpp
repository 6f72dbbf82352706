#include "platform/audio/mmio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/host/unique_fd.h"
#include "platform/host/utf.h"

namespace orvexa::audio {

class MmioFile {
 public:
  // Disk form.
  MmioFile(host::UniqueFd fd, bool writable, const MmioFaults* faults)
      : fd_(std::move(fd)), writable_(writable), faults_(faults ? *faults : MmioFaults{}) {}
  // Memory form.
  explicit MmioFile(std::span<const std::uint8_t> image) : image_(image), memory_(true) {}
  MmioFile(const MmioFile&) = delete;
  MmioFile& operator=(const MmioFile&) = delete;

  std::int64_t size() const {
    if (memory_) return static_cast<std::int64_t>(image_.size());
    struct stat st {};
    return ::fstat(fd_.get(), &st) == 0 ? st.st_size : -1;
  }
  std::int64_t pos() const { return pos_; }

  LONG read(char* out, LONG count) {
    if (count < 0 || out == nullptr) return -1;
    if (memory_) {
      const auto left = static_cast<std::int64_t>(image_.size()) - pos_;
      const auto n = static_cast<LONG>(std::clamp<std::int64_t>(left, 0, count));
      if (n > 0) std::memcpy(out, image_.data() + pos_, static_cast<std::size_t>(n));
      pos_ += n;
      return n;
    }
    LONG done = 0;
    while (done < count) {
      const ssize_t r =
          ::pread(fd_.get(), out + done, static_cast<std::size_t>(count - done), pos_);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return done > 0 ? done : -1;
      if (r == 0) break;
      done += static_cast<LONG>(r);
      pos_ += r;
    }
    return done;
  }

  LONG write(const char* data, LONG count) {
    if (memory_ || !writable_ || count < 0 || data == nullptr) return -1;
    LONG allowed = count;
    if (faults_.write_limit >= 0) {  // a disk that fills up at write_limit bytes of file
      allowed = static_cast<LONG>(std::clamp<std::int64_t>(faults_.write_limit - pos_, 0, count));
    }
    LONG done = 0;
    while (done < allowed) {
      const ssize_t r =
          ::pwrite(fd_.get(), data + done, static_cast<std::size_t>(allowed - done), pos_);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      done += static_cast<LONG>(r);
      pos_ += r;
    }
    return done == 0 && count > 0 ? -1 : done;
  }

  LONG seek(LONG offset, int origin) {
    std::int64_t base = 0;
    if (origin == SEEK_FROM_CURRENT) base = pos_;
    else if (origin == SEEK_FROM_END) base = size();
    else if (origin != SEEK_FROM_START) return -1;
    const std::int64_t target = base + offset;
    if (base < 0 || target < 0 || target > 0x7FFFFFFF) return -1;
    if (memory_ && target > static_cast<std::int64_t>(image_.size())) return -1;
    pos_ = target;
    return static_cast<LONG>(pos_);
  }

  MMRESULT close() {
    if (faults_.fail_close) return MMIOERR_CANNOTCLOSE;
    if (fd_) {
      const bool ok = !writable_ || ::fsync(fd_.get()) == 0;
      const bool closed = fd_.close() == 0;
      if (!ok || !closed) return MMIOERR_CANNOTCLOSE;
    }
    return MMSYSERR_NOERROR;
  }

 private:
  host::UniqueFd fd_;
  bool writable_ = false;
  MmioFaults faults_{};
  std::span<const std::uint8_t> image_{};
  bool memory_ = false;
  std::int64_t pos_ = 0;
};

void MmioCloser::operator()(MmioFile* file) const { delete file; }

namespace {

MMRESULT open_error(int e, const std::filesystem::path& path) {
  switch (e) {
    case ENOENT: {
      std::error_code ec;
      const auto parent = path.parent_path();
      if (!parent.empty() && !std::filesystem::is_directory(parent, ec))
        return MMIOERR_PATHNOTFOUND;
      return MMIOERR_FILENOTFOUND;
    }
    case ENOTDIR: return MMIOERR_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS: return MMIOERR_ACCESSDENIED;
    case EMFILE:
    case ENFILE: return MMIOERR_TOOMANYOPENFILES;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ: return MMIOERR_INVALIDFILE;
    case EWOULDBLOCK: return MMIOERR_SHARINGVIOLATION;
    case ENOMEM: return MMIOERR_OUTOFMEMORY;
    default: return MMIOERR_CANNOTOPEN;
  }
}

}  // namespace

HMMIO mmioOpen(std::u16string_view name, DWORD flags, MMRESULT& error, const MmioFaults* faults) {
  error = MMSYSERR_NOERROR;
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) {
    error = MMIOERR_INVALIDFILE;
    return nullptr;
  }
  const std::filesystem::path path(host::to_utf8(name));
  const bool create = flags & MMIO_CREATE;
  const bool writable = create || (flags & (MMIO_WRITE | MMIO_READWRITE));
  int oflags = O_CLOEXEC | (writable ? O_RDWR : O_RDONLY);
  if (create) oflags |= O_CREAT;
  host::UniqueFd fd(::open(path.c_str(), oflags, 0644));
  if (!fd) {
    error = open_error(errno, path);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = MMIOERR_CANNOTOPEN;  // a directory or a device is not a sound file
    return nullptr;
  }
  const bool exclusive = writable || (flags & 0x70) == MMIO_EXCLUSIVE;
  if (::flock(fd.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const int e = errno;
    error = open_error(e == EWOULDBLOCK ? EWOULDBLOCK : e, path);
    return nullptr;
  }
  // Truncate only once the lock is ours: a file someone else holds stays as it is.
  if (create && ::ftruncate(fd.get(), 0) != 0) {
    error = MMIOERR_CANNOTWRITE;
    return nullptr;
  }
  return HMMIO(new MmioFile(std::move(fd), writable, faults));
}

HMMIO mmioOpenMemory(std::span<const std::uint8_t> image, MMRESULT& error) {
  error = MMSYSERR_NOERROR;
  if (image.data() == nullptr || image.empty()) {
    error = MMIOERR_CANNOTOPEN;
    return nullptr;
  }
  return HMMIO(new MmioFile(image));
}

LONG mmioRead(MmioFile* file, char* out, LONG count) {
  return file ? file->read(out, count) : -1;
}

LONG mmioWrite(MmioFile* file, const char* data, LONG count) {
  return file ? file->write(data, count) : -1;
}

LONG mmioSeek(MmioFile* file, LONG offset, int origin) {
  return file ? file->seek(offset, origin) : -1;
}

namespace {

bool read_header(MmioFile* f, MMCKINFO& ck) {
  std::uint8_t h[8];
  if (f->read(reinterpret_cast<char*>(h), 8) != 8) return false;
  ck.ckid = h[0] | (h[1] << 8) | (h[2] << 16) | (static_cast<FOURCC>(h[3]) << 24);
  ck.cksize = h[4] | (h[5] << 8) | (h[6] << 16) | (static_cast<DWORD>(h[7]) << 24);
  return true;
}

bool write_u32(MmioFile* f, std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 24)};
  return f->write(reinterpret_cast<const char*>(b), 4) == 4;
}

}  // namespace

MMRESULT mmioDescend(MmioFile* file, MMCKINFO* chunk, const MMCKINFO* parent, DWORD flags) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALPARAM;
  const FOURCC want_id = chunk->ckid;
  const FOURCC want_type = chunk->fccType;
  const std::int64_t end =
      parent ? std::int64_t{parent->dwDataOffset} + parent->cksize : file->size();
  for (;;) {
    const std::int64_t at = file->pos();
    if (at + 8 > end) return MMIOERR_CHUNKNOTFOUND;
    MMCKINFO ck{};
    if (!read_header(file, ck)) return MMIOERR_CHUNKNOTFOUND;
    ck.dwDataOffset = static_cast<DWORD>(at + 8);
    const bool riff_like = ck.ckid == FOURCC_RIFF || ck.ckid == mmioFOURCC('L', 'I', 'S', 'T');
    if (riff_like) {
      std::uint8_t t[4];
      if (file->read(reinterpret_cast<char*>(t), 4) != 4) return MMIOERR_CHUNKNOTFOUND;
      ck.fccType = t[0] | (t[1] << 8) | (t[2] << 16) | (static_cast<FOURCC>(t[3]) << 24);
    }
    bool match = true;
    if (flags & MMIO_FINDRIFF) match = ck.ckid == FOURCC_RIFF && ck.fccType == want_type;
    else if (flags & MMIO_FINDCHUNK) match = ck.ckid == want_id;
    if (match) {
      *chunk = ck;
      if (!riff_like) file->seek(static_cast<LONG>(ck.dwDataOffset), SEEK_FROM_START);
      return MMSYSERR_NOERROR;
    }
    const std::int64_t next = at + 8 + std::int64_t{ck.cksize} + (ck.cksize & 1);
    if (next > end || next > 0x7FFFFFFF) return MMIOERR_CHUNKNOTFOUND;
    if (file->seek(static_cast<LONG>(next), SEEK_FROM_START) < 0) return MMIOERR_CHUNKNOTFOUND;
  }
}

MMRESULT mmioAscend(MmioFile* file, MMCKINFO* chunk, DWORD) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALPARAM;
  if (chunk->dwFlags & MMIO_DIRTY) {
    const std::int64_t size = file->pos() - chunk->dwDataOffset;
    if (size < 0 || size > 0xFFFFFFFFll) return MMIOERR_CANNOTWRITE;
    if (static_cast<DWORD>(size) != chunk->cksize) {
      chunk->cksize = static_cast<DWORD>(size);
      const LONG here = static_cast<LONG>(file->pos());
      if (file->seek(static_cast<LONG>(chunk->dwDataOffset - 4), SEEK_FROM_START) < 0 ||
          !write_u32(file, chunk->cksize) || file->seek(here, SEEK_FROM_START) < 0)
        return MMIOERR_CANNOTWRITE;
    }
    if (chunk->cksize & 1) {
      const char pad = 0;
      if (file->write(&pad, 1) != 1) return MMIOERR_CANNOTWRITE;
    }
    chunk->dwFlags &= ~MMIO_DIRTY;
    return MMSYSERR_NOERROR;
  }
  const std::int64_t next =
      std::int64_t{chunk->dwDataOffset} + chunk->cksize + (chunk->cksize & 1);
  if (next > 0x7FFFFFFF || file->seek(static_cast<LONG>(next), SEEK_FROM_START) < 0)
    return MMIOERR_CANNOTSEEK;
  return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(MmioFile* file, MMCKINFO* chunk, DWORD flags) {
  if (file == nullptr || chunk == nullptr) return MMSYSERR_INVALPARAM;
  const bool riff = flags & MMIO_CREATERIFF;
  if (riff) chunk->ckid = FOURCC_RIFF;
  const std::int64_t at = file->pos();
  if (!write_u32(file, chunk->ckid) || !write_u32(file, chunk->cksize))
    return MMIOERR_CANNOTWRITE;
  chunk->dwDataOffset = static_cast<DWORD>(at + 8);
  if (riff && !write_u32(file, chunk->fccType)) return MMIOERR_CANNOTWRITE;
  chunk->dwFlags |= MMIO_DIRTY;
  return MMSYSERR_NOERROR;
}

MMRESULT mmioClose(HMMIO& file) {
  if (!file) return MMSYSERR_INVALHANDLE;
  const MMRESULT r = file->close();
  file.reset();
  return r;
}

}  // namespace orvexa::audio
