#include "components/voice/kd_common.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <utility>

#include "components/foundation/error_texts.h"
#include "platform/audio/mmio.h"
#include "platform/host/utf.h"

namespace orvexa::components {

using host::to_utf16;
using host::to_utf8;

ErrorNumber DeviceName(const DeviceContext& ctx, DeviceKindDir kind, int device, int count,
                       bool wide, std::u16string& name) {
  const bool playback = kind == DeviceKindDir::Playback;
  if (device < -1) {
    if (playback) name.clear();
    return err::kSoundBadDeviceId;
  }
  if (device == -1) {
    const ErrorNumber e = PreferredDevice(ctx, kind, count, wide, device);
    if (e != err::kNone) return e;
  }
  audio::WAVECAPS caps;
  const auto n = static_cast<std::uint32_t>(device);
  const audio::MMRESULT r =
      playback ? ctx.audio.waveOutGetDevCaps(n, &caps) : ctx.audio.waveInGetDevCaps(n, &caps);
  if (r != audio::MMSYSERR_NOERROR) {
    const ErrorNumber e = wave_error(r);
    name = u"ERROR: " + to_utf16(error_text(e));
    return e;
  }
  name = caps.szPname.substr(0, std::min(caps.szPname.find(u'\0'), audio::MAXPNAMELEN - 1));
  return err::kNone;
}

ErrorNumber PreferredDevice(const DeviceContext& ctx, DeviceKindDir kind, int count, bool wide,
                            int& device) {
  if (count <= 0) return err::kNoSoundDevice;
  std::u16string wanted;
  if (ctx.sound_settings != nullptr) {
    const auto value = ctx.sound_settings->get_string(
        kind == DeviceKindDir::Playback ? kSoundMapperPlayback : kSoundMapperRecord);
    if (value) wanted = to_utf16(*value);
  }
  for (int i = 0; i < count; ++i) {
    std::u16string name;
    DeviceName(ctx, kind, i, count, wide, name);
    if (!wanted.empty()) {
      if (name == wanted) {
        device = i;
        return err::kNone;
      }
      continue;
    }
    std::u16string upper = name;
    for (auto& c : upper)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (upper.find(u"MODEM") == std::u16string::npos) {
      device = i;
      return err::kNone;
    }
  }
  device = 0;
  return err::kNone;
}

std::u16string FolderPart(std::u16string_view path) {
  const auto at = path.rfind(u'/');
  return at == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, at + 1));
}

namespace {

bool is_separator(char16_t c) { return c == u'|' || c == u'\r' || c == u'\n'; }

// Files matching `pattern` (wildcards in the last part only), in name order; directories and
// other non-files are left out. `found_any` tells whether the name matched anything at all.
std::vector<std::pair<std::u16string, std::uint64_t>> search(std::u16string_view pattern,
                                                             bool& found_any) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::u16string, std::uint64_t>> files;
  found_any = false;
  const std::u16string folder = FolderPart(pattern);
  const std::string name = to_utf8(pattern.substr(folder.size()));
  if (name.empty()) return files;
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(to_utf8(folder));
  std::error_code ec;
  auto consider = [&](const fs::path& p, const std::string& leaf) {
    found_any = true;
    const auto st = fs::status(p, ec);
    if (ec || !fs::is_regular_file(st)) return;
    const auto size = fs::file_size(p, ec);
    if (!ec) files.emplace_back(to_utf16(leaf), size);
  };
  if (name.find_first_of("*?[") == std::string::npos) {
    const fs::path p = dir / name;
    if (fs::exists(fs::symlink_status(p, ec))) consider(p, name);
    return files;
  }
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string leaf = it->path().filename().string();
    if (::fnmatch(name.c_str(), leaf.c_str(), 0) == 0) consider(it->path(), leaf);
  }
  std::sort(files.begin(), files.end());
  return files;
}

ErrorNumber parse_count(std::u16string_view text, std::uint32_t& count) {
  if (text.empty()) return err::kInvalidArgument;
  std::uint64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return err::kInvalidArgument;
    value = value * 10 + static_cast<std::uint64_t>(c - u'0');
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
      return err::kInvalidArgument;
  }
  count = static_cast<std::uint32_t>(value);
  return err::kNone;
}

ErrorNumber build_list(std::u16string_view text, TDynamicFileList& list) {
  if (text.empty()) return err::kInvalidArgument;
  if (is_separator(text.front())) return err::kInvalidArgument;
  std::u16string first_folder;
  bool first = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && !is_separator(text[end])) ++end;
    std::u16string_view entry = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size()) {
      if (text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n') ++pos;
      ++pos;
    }
    // An empty entry between two separators names nothing: refuse it like a leading one.
    if (entry.empty()) return err::kInvalidArgument;

    std::uint32_t count = 1;
    std::u16string pattern(entry);
    if (const auto gt = entry.find(u'>'); gt != std::u16string_view::npos) {
      pattern = std::u16string(entry.substr(0, gt));
      if (const ErrorNumber e = parse_count(entry.substr(gt + 1), count); e != err::kNone)
        return e;
    }
    std::u16string current = FolderPart(pattern);
    if (first) {
      first_folder = current;
      first = false;
    } else if (current.empty()) {
      current = first_folder;
      pattern = first_folder + pattern;
    }
    bool found_any = false;
    const auto files = search(pattern, found_any);
    if (files.empty()) return err::kFileNotFound;
    for (const auto& [leaf, size] : files) {
      if (size == 0) return err::kFileEmpty;
      if (count > kMaxFileListEntries - std::min(list.size(), kMaxFileListEntries))
        return err::kInvalidArgument;
      list.insert(list.end(), count,
                  TFileList{current + leaf, static_cast<std::int32_t>(size & 0xFFFFFFFFu)});
    }
  }
  return list.empty() ? err::kFileNotFound : err::kNone;
}

}  // namespace

ErrorNumber FileList(std::u16string_view text, bool, TDynamicFileList& list) {
  list.clear();
  const ErrorNumber e = build_list(text, list);
  if (e != err::kNone) list.clear();
  return e;
}

ErrorNumber FileErrorMapping(std::uint32_t code) {
  switch (code) {
    case 2: case 3: case 53: case 67: return -97;
    case 4: return -95;
    case 5: return -100;
    case 8: case 14: return -50;
    case 15: case 21: case 26: case 27: case 30: case 34: return -89;
    case 19: case 29: case 82: return -92;
    case 32: case 33: case 36: return -96;
    case 51: case 54: case 55: case 57: case 58: case 59: case 64: case 65: case 66: case 69:
    case 70: case 71: case 86: case 88: return -98;
    case 62: case 112: return -51;
    case 87: return -10;
    case 123: case 161: case 206: return -94;
    default: return -1;
  }
}

std::uint32_t system_code_from_errno(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EISDIR: return 5;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case EIO: return 30;
    case EWOULDBLOCK: return 32;
    case EINVAL: return 87;
    case ENOSPC: case EDQUOT: return 112;
    case ENAMETOOLONG: return 206;
    default: return 31;  // a general failure, outside the mapping table
  }
}

TKDFileStream::TKDFileStream(std::u16string_view FileName, ErrorNumber& ErrorNumber,
                             std::uint32_t Mode) {
  ErrorNumber = err::kFailed;
  wide_ = true;
  const std::string path = to_utf8(FileName);
  if (FileName.empty() || path.find('\0') != std::string::npos) {
    ErrorNumber = FileErrorMapping(123);
    return;
  }
  int flags = O_CLOEXEC;
  int lock = LOCK_EX;
  if (Mode == 0xFFFF) {
    flags |= O_RDWR | O_CREAT;
  } else {
    const std::uint32_t access = Mode & 3;
    flags |= access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR;
    const std::uint32_t sharing = (Mode & 0xF0) / 16;
    lock = sharing <= 1 ? LOCK_EX : LOCK_SH;
  }
  host::UniqueFd fd(::open(path.c_str(), flags, 0644));
  int e = errno;
  if (fd) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) {
      e = EISDIR;
      fd.reset();
    } else if (::flock(fd.get(), lock | LOCK_NB) != 0) {
      e = EWOULDBLOCK;
      fd.reset();
    } else if (Mode == 0xFFFF && ::ftruncate(fd.get(), 0) != 0) {
      e = errno;
      fd.reset();
    }
  }
  if (!fd) {
    ErrorNumber = FileErrorMapping(system_code_from_errno(e));
    return;
  }
  handle_ = std::move(fd);
  name_ = std::u16string(FileName);
  ErrorNumber = err::kNone;
}

TKDFileStream::~TKDFileStream() = default;

std::int64_t TKDFileStream::Size() const {
  struct stat st {};
  return handle_ && ::fstat(handle_.get(), &st) == 0 ? st.st_size : -1;
}

std::int64_t TKDFileStream::Read(void* buffer, std::int64_t count) {
  if (!handle_ || count < 0) return -1;
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t r = ::read(handle_.get(), static_cast<char*>(buffer) + done,
                             static_cast<std::size_t>(count - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return r < 0 && done == 0 ? -1 : done;
    done += r;
  }
  return done;
}

std::int64_t TKDFileStream::Write(const void* buffer, std::int64_t count) {
  if (!handle_ || count < 0) return -1;
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t r = ::write(handle_.get(), static_cast<const char*>(buffer) + done,
                              static_cast<std::size_t>(count - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return r < 0 && done == 0 ? -1 : done;
    done += r;
  }
  return done;
}

std::int64_t TKDFileStream::Seek(std::int64_t offset, int origin) {
  if (!handle_) return -1;
  return ::lseek(handle_.get(), offset, origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END);
}

}  // namespace orvexa::components
