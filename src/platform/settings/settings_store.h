// The per-user values the components keep between runs (sound settings, saved line
// configurations): typed values under registry-like keys, saved as one TOML file.
//
//   SettingsStore store(user_config_folder() / "settings.toml");
//   store.set_bytes("Lines/Office 201/Config", blob);  store.save();
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/host/atomic_file.h"

namespace orvexa::settings {

using Bytes = std::vector<std::uint8_t>;
using Value = std::variant<std::string, std::int64_t, Bytes>;

class SettingsStore {
 public:
  // Reads the file when it exists. A damaged file leaves the store empty (the defaults) and is
  // reported once through load_problem(); it is replaced only by the next save().
  explicit SettingsStore(std::filesystem::path file);
  // A store that lives in memory only (tests, no writable configuration folder).
  SettingsStore() = default;

  std::optional<std::string> get_string(const std::string& key) const;
  std::optional<std::int64_t> get_int(const std::string& key) const;
  std::optional<Bytes> get_bytes(const std::string& key) const;
  bool contains(const std::string& key) const { return values_.contains(key); }

  void set_string(const std::string& key, std::string value);
  void set_int(const std::string& key, std::int64_t value);
  void set_bytes(const std::string& key, Bytes value);
  bool remove(const std::string& key);

  // Writes the whole store atomically; an empty error code on success (or with no file).
  std::error_code save(host::FileFaults* faults = nullptr) const;

  const std::string& load_problem() const { return load_problem_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  std::map<std::string, Value> values_;
  std::string load_problem_;
};

}  // namespace orvexa::settings
