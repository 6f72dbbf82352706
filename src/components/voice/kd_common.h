// Device and file functions the voice component shares with the component set: wave device
// names, the preferred wave device, file lists with wildcards and repeat counts, and the file
// stream with its error mapping.
//
//   TDynamicFileList list;
//   if (FileList(u"/snd/a.wav>2|b.wav", true, list) == 0) ...   // a, a, /snd/b.wav
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "components/foundation/error_numbers.h"
#include "platform/audio/audio_service.h"
#include "platform/host/unique_fd.h"
#include "platform/settings/settings_store.h"

namespace orvexa::components {

// The per-user sound settings: the playback and record device the user prefers, by name.
inline constexpr const char* kSoundMapperPlayback = "Sound Mapper/Playback";
inline constexpr const char* kSoundMapperRecord = "Sound Mapper/Record";

// Upper bound of entries in one file list: repeat counts must not make a list that fills memory.
inline constexpr std::size_t kMaxFileListEntries = 100000;

struct TFileList {
  std::u16string FileName;
  std::int32_t Size = 0;
};
using TDynamicFileList = std::vector<TFileList>;

using DeviceKindDir = audio::Direction;

// Everything the device functions ask: the service, and the user's settings (may be absent).
struct DeviceContext {
  const audio::AudioService& audio;
  const settings::SettingsStore* sound_settings = nullptr;
};

ErrorNumber DeviceName(const DeviceContext& ctx, DeviceKindDir kind, int device, int count,
                       bool wide, std::u16string& name);
ErrorNumber PreferredDevice(const DeviceContext& ctx, DeviceKindDir kind, int count, bool wide,
                            int& device);

// Folder part of a path: up to and including the last "/"; empty when there is none.
std::u16string FolderPart(std::u16string_view path);

ErrorNumber FileList(std::u16string_view text, bool wide, TDynamicFileList& list);

// System error codes (the file functions' numbering) to error numbers.
ErrorNumber FileErrorMapping(std::uint32_t system_code);
// This platform's errno to the file functions' system error code.
std::uint32_t system_code_from_errno(int error);

// A file opened by its wide name. Mode 0xFFFF creates; otherwise the low two bits are the access
// (0 read, 1 write, 2 both) and bits 4-7 the sharing (0/1 none, 2 read, 3 write, 4 both).
class TKDFileStream {
 public:
  TKDFileStream(std::u16string_view FileName, ErrorNumber& ErrorNumber, std::uint32_t Mode);
  ~TKDFileStream();
  TKDFileStream(const TKDFileStream&) = delete;
  TKDFileStream& operator=(const TKDFileStream&) = delete;

  bool is_open() const { return static_cast<bool>(handle_); }
  std::int64_t Size() const;
  // Reads / writes at the current position; the count moved, or -1.
  std::int64_t Read(void* buffer, std::int64_t count);
  std::int64_t Write(const void* buffer, std::int64_t count);
  std::int64_t Seek(std::int64_t offset, int origin);

  const std::u16string& FileName() const { return name_; }
  bool Wide() const { return wide_; }

 private:
  host::UniqueFd handle_;
  std::u16string name_;
  bool wide_ = true;
};

}  // namespace orvexa::components
