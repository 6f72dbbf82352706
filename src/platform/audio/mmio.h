// Multimedia file I/O: buffered-free reads and writes over a disk file or a read-only memory
// image, with RIFF chunk descent, ascent and creation.
//
//   MMRESULT err;  HMMIO f = mmioOpen(u"First.wav", MMIO_READ, err);
//   MMCKINFO riff{};  riff.fccType = mmioFOURCC('W','A','V','E');
//   mmioDescend(f.get(), &riff, nullptr, MMIO_FINDRIFF);
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/audio/wave_types.h"

namespace orvexa::audio {

using FOURCC = std::uint32_t;
using LONG = std::int32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<std::uint8_t>(a)) |
         (static_cast<FOURCC>(static_cast<std::uint8_t>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<std::uint8_t>(c)) << 16) |
         (static_cast<FOURCC>(static_cast<std::uint8_t>(d)) << 24);
}
inline constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');

struct MMCKINFO {
  FOURCC ckid = 0;
  DWORD cksize = 0;
  FOURCC fccType = 0;
  DWORD dwDataOffset = 0;
  DWORD dwFlags = 0;
};

// Open flags.
inline constexpr DWORD MMIO_READ = 0x0000;
inline constexpr DWORD MMIO_WRITE = 0x0001;
inline constexpr DWORD MMIO_READWRITE = 0x0002;
inline constexpr DWORD MMIO_EXCLUSIVE = 0x0010;
inline constexpr DWORD MMIO_DENYWRITE = 0x0020;
inline constexpr DWORD MMIO_DENYREAD = 0x0030;
inline constexpr DWORD MMIO_DENYNONE = 0x0040;
inline constexpr DWORD MMIO_CREATE = 0x1000;
// Descend and create flags.
inline constexpr DWORD MMIO_FINDCHUNK = 0x0010;
inline constexpr DWORD MMIO_FINDRIFF = 0x0020;
inline constexpr DWORD MMIO_CREATERIFF = 0x0020;
inline constexpr DWORD MMIO_DIRTY = 0x10000000;

inline constexpr int SEEK_FROM_START = 0;
inline constexpr int SEEK_FROM_CURRENT = 1;
inline constexpr int SEEK_FROM_END = 2;

// Injected failures for tests of the callers' error paths; -1 means "never".
struct MmioFaults {
  std::int64_t write_limit = -1;  // the file cannot grow past this size; writes come up short
  bool fail_close = false;
};

class MmioFile;
struct MmioCloser {
  void operator()(MmioFile* file) const;
};
// Closing through the deleter ignores the close result; call mmioClose to see it.
using HMMIO = std::unique_ptr<MmioFile, MmioCloser>;

// A disk file. Read opens share with other readers; MMIO_EXCLUSIVE and writers lock the file
// for themselves, so a second opener gets MMIOERR_SHARINGVIOLATION.
HMMIO mmioOpen(std::u16string_view name, DWORD flags, MMRESULT& error,
               const MmioFaults* faults = nullptr);
// A read-only view of a file image in memory (the memory form); the bytes must outlive it.
HMMIO mmioOpenMemory(std::span<const std::uint8_t> image, MMRESULT& error);

LONG mmioRead(MmioFile* file, char* out, LONG count);
LONG mmioWrite(MmioFile* file, const char* data, LONG count);
// Returns the new offset, or -1.
LONG mmioSeek(MmioFile* file, LONG offset, int origin);
MMRESULT mmioDescend(MmioFile* file, MMCKINFO* chunk, const MMCKINFO* parent, DWORD flags);
MMRESULT mmioAscend(MmioFile* file, MMCKINFO* chunk, DWORD flags);
MMRESULT mmioCreateChunk(MmioFile* file, MMCKINFO* chunk, DWORD flags);
MMRESULT mmioClose(HMMIO& file);

}  // namespace orvexa::audio
