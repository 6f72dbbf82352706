// What must hold for any file-list text: the list is empty whenever the result is an error,
// never longer than its bound, and holds only non-empty regular files. The text is looked up
// inside a folder of its own, so nothing outside it is searched.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "components/voice/kd_common.h"
#include "platform/host/utf.h"

namespace orvexa::fuzzing {

class FileListHarness {
 public:
  FileListHarness()
      : dir_(std::filesystem::temp_directory_path() /
             ("orvexa-file-list-fuzz-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_ / "sub.wav");
    std::ofstream(dir_ / "a.wav") << "0123456789";
    std::ofstream(dir_ / "b.wav") << "01234567890123456789";
    std::ofstream(dir_ / "c d.wav") << "x";
    std::ofstream(dir_ / "empty.wav");
  }
  ~FileListHarness() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  FileListHarness(const FileListHarness&) = delete;
  FileListHarness& operator=(const FileListHarness&) = delete;

  bool check(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::replace(text.begin(), text.end(), '/', '_');
    std::replace(text.begin(), text.end(), '\0', '_');
    if (!text.empty() && text.front() != '|' && text.front() != '\r' && text.front() != '\n')
      text = dir_.string() + "/" + text;
    components::TDynamicFileList list;
    const int e = components::FileList(host::to_utf16(text), true, list);
    if ((e != 0) != list.empty()) return false;
    if (list.size() > components::kMaxFileListEntries) return false;
    const std::u16string* last = nullptr;
    for (const auto& entry : list) {
      if (entry.Size <= 0) return false;
      // Repeats of one name come together: look each name up once.
      if (last != nullptr && *last == entry.FileName) continue;
      last = &entry.FileName;
      const std::filesystem::path p(host::to_utf8(entry.FileName));
      std::error_code ec;
      if (!std::filesystem::is_regular_file(p, ec)) return false;
      if (p.parent_path() != dir_) return false;
    }
    return true;
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace orvexa::fuzzing
