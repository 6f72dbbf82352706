// The waveform-audio vocabulary: formats, buffer headers, position records, capabilities and the
// notification numbers posted to a caller's hidden window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/audio/mm_result.h"
#include "platform/messaging/message.h"

namespace orvexa::audio {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using DWORD_PTR = std::uintptr_t;

inline constexpr WORD WAVE_FORMAT_PCM = 1;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// The format record as it lies in a WAVE file's "fmt " chunk (16 bytes), plus the extra size.
struct WAVEFORMATEX {
  WORD wFormatTag = WAVE_FORMAT_PCM;
  WORD nChannels = 0;
  DWORD nSamplesPerSec = 0;
  DWORD nAvgBytesPerSec = 0;
  WORD nBlockAlign = 0;
  WORD wBitsPerSample = 0;
  WORD cbSize = 0;
};

// 8000 Hz, 16-bit mono unless told otherwise: the format of a telephone line's audio.
constexpr WAVEFORMATEX pcm_format(DWORD rate = 8000, WORD bits = 16, WORD channels = 1) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// Header flags.
inline constexpr DWORD WHDR_DONE = 0x01;
inline constexpr DWORD WHDR_PREPARED = 0x02;
inline constexpr DWORD WHDR_BEGINLOOP = 0x04;
inline constexpr DWORD WHDR_ENDLOOP = 0x08;
inline constexpr DWORD WHDR_INQUEUE = 0x10;

// A buffer the caller lends the device until it comes back with MM_WOM_DONE / MM_WIM_DATA.
struct WAVEHDR {
  char* lpData = nullptr;
  DWORD dwBufferLength = 0;
  DWORD dwBytesRecorded = 0;
  DWORD_PTR dwUser = 0;
  DWORD dwFlags = 0;
  DWORD dwLoops = 0;
  WAVEHDR* lpNext = nullptr;
  DWORD_PTR reserved = 0;
};

inline constexpr DWORD TIME_MS = 0x0001;
inline constexpr DWORD TIME_SAMPLES = 0x0002;
inline constexpr DWORD TIME_BYTES = 0x0004;

struct MMTIME {
  DWORD wType = TIME_BYTES;
  DWORD cb = 0;  // bytes (the only unit this service reports)
};

// Capabilities of one device; the product name holds at most 31 characters.
struct WAVECAPS {
  WORD wMid = 0;
  WORD wPid = 0;
  DWORD vDriverVersion = 0;
  std::u16string szPname;
  DWORD dwFormats = 0;
  WORD wChannels = 0;
  DWORD dwSupport = 0;
};
using WAVEOUTCAPS = WAVECAPS;
using WAVEINCAPS = WAVECAPS;
inline constexpr std::size_t MAXPNAMELEN = 32;

// waveXxxOpen flags.
inline constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
inline constexpr DWORD CALLBACK_NULL = 0x00000;
inline constexpr DWORD CALLBACK_WINDOW = 0x10000;

// The device number that asks for "any suitable device".
inline constexpr std::uint32_t WAVE_MAPPER = 0xFFFFFFFFu;

// Notifications posted to the callback window: wParam is the device handle, lParam the header
// (DONE / DATA) as a pointer value.
inline constexpr messaging::UINT MM_WOM_OPEN = 0x3BB;
inline constexpr messaging::UINT MM_WOM_CLOSE = 0x3BC;
inline constexpr messaging::UINT MM_WOM_DONE = 0x3BD;
inline constexpr messaging::UINT MM_WIM_OPEN = 0x3BE;
inline constexpr messaging::UINT MM_WIM_CLOSE = 0x3BF;
inline constexpr messaging::UINT MM_WIM_DATA = 0x3C0;

// Handles are small numbers that are never reused within one service; 0 is "none".
using HWAVEOUT = std::uint32_t;
using HWAVEIN = std::uint32_t;

}  // namespace orvexa::audio
