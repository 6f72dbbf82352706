#include "platform/settings/settings_store.h"

#include <sstream>
#include <toml++/toml.h>

namespace orvexa::settings {
namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string to_hex(const Bytes& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (auto b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
  return out;
}

std::optional<Bytes> from_hex(std::string_view text) {
  if (text.size() % 2) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return out;
}

// The three tables of the file, one per value type.
constexpr std::string_view kStrings = "strings", kIntegers = "integers", kBinary = "binary";

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;
  try {
    toml::table root = toml::parse_file(file_.string());
    std::map<std::string, Value> loaded;
    if (auto* t = root[kStrings].as_table())
      for (auto& [k, v] : *t)
        if (auto s = v.value<std::string>()) loaded[std::string(k.str())] = *s;
    if (auto* t = root[kIntegers].as_table())
      for (auto& [k, v] : *t)
        if (auto i = v.value<std::int64_t>()) loaded[std::string(k.str())] = *i;
    if (auto* t = root[kBinary].as_table()) {
      for (auto& [k, v] : *t) {
        auto bytes = from_hex(v.value_or(std::string{"?"}));
        if (!bytes) throw std::runtime_error("binary value " + std::string(k.str()) + " is not hex");
        loaded[std::string(k.str())] = std::move(*bytes);
      }
    }
    values_ = std::move(loaded);
  } catch (const std::exception& e) {
    values_.clear();
    load_problem_ = "settings file " + file_.string() + " is damaged and was ignored: " + e.what();
  }
}

std::optional<std::string> SettingsStore::get_string(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto* s = std::get_if<std::string>(&it->second)) return *s;
  return std::nullopt;
}

std::optional<std::int64_t> SettingsStore::get_int(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto* i = std::get_if<std::int64_t>(&it->second)) return *i;
  return std::nullopt;
}

std::optional<Bytes> SettingsStore::get_bytes(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto* b = std::get_if<Bytes>(&it->second)) return *b;
  return std::nullopt;
}

void SettingsStore::set_string(const std::string& key, std::string value) {
  values_[key] = std::move(value);
}
void SettingsStore::set_int(const std::string& key, std::int64_t value) { values_[key] = value; }
void SettingsStore::set_bytes(const std::string& key, Bytes value) {
  values_[key] = std::move(value);
}
bool SettingsStore::remove(const std::string& key) { return values_.erase(key) > 0; }

std::error_code SettingsStore::save(host::FileFaults* faults) const {
  if (file_.empty()) return {};
  toml::table strings, integers, binary;
  for (const auto& [key, value] : values_) {
    if (auto* s = std::get_if<std::string>(&value)) strings.insert(key, *s);
    if (auto* i = std::get_if<std::int64_t>(&value)) integers.insert(key, *i);
    if (auto* b = std::get_if<Bytes>(&value)) binary.insert(key, to_hex(*b));
  }
  toml::table root;
  root.insert(kStrings, std::move(strings));
  root.insert(kIntegers, std::move(integers));
  root.insert(kBinary, std::move(binary));
  std::ostringstream text;
  text << "# Orvexa per-user settings; written by the program.\n" << root << '\n';
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);
  return host::write_file_atomically(file_, text.str(), faults);
}

}  // namespace orvexa::settings
