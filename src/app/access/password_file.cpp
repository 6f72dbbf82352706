#include "app/access/password_file.h"

#include <sodium.h>

#include <algorithm>
#include <cctype>

#include "app/access/access_messages.h"

namespace orvexa::access {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHashPrefix = "$argon2id$";

std::string_view trimmed(std::string_view text) {
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!text.empty() && blank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool sodium_ready() { return sodium_init() >= 0; }

}  // namespace

std::vector<fs::path> PasswordLocations::candidates() const {
  std::vector<fs::path> list;
  for (const auto& folder : system_folders) list.push_back(folder / kPasswordFileName);
  list.push_back(program_folder / kPasswordFileName);
  return list;
}

fs::path PasswordLocations::write_target() const {
  std::error_code error;
  for (const auto& folder : system_folders)
    if (fs::is_directory(folder, error)) return folder / kPasswordFileName;
  return program_folder / kPasswordFileName;
}

bool StoredPassword::is_hash() const { return secret.starts_with(kHashPrefix); }

bool StoredPassword::verify(std::string_view typed) const {
  if (state != PasswordState::Set) return state == PasswordState::None;
  if (!is_hash()) {
    // Older files keep the digits; compare in constant time all the same.
    return typed.size() == secret.size() &&
           sodium_ready() && sodium_memcmp(typed.data(), secret.data(), typed.size()) == 0;
  }
  return sodium_ready() &&
         crypto_pwhash_str_verify(secret.c_str(), typed.data(), typed.size()) == 0;
}

HashCost HashCost::interactive() {
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

HashCost HashCost::minimum() { return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN}; }

StoredPassword read_password(const PasswordLocations& where, host::FileFaults* faults) {
  StoredPassword stored;
  for (const fs::path& file : where.candidates()) {
    std::error_code error;
    if (!fs::exists(file, error) && !error) continue;
    stored.file = file;
    std::optional<std::string> text;
    // Only a regular file is read: anything else in its place cannot hold a password we can check.
    const bool readable = fs::is_regular_file(file, error) && !(faults && faults->next_fails());
    if (readable) text = host::read_file(file, error);
    // A file that is there but cannot be read is a password that cannot be checked.
    if (!text || error) {
      stored.state = PasswordState::Unreadable;
      return stored;
    }
    stored.secret = std::string(trimmed(*text));
    stored.state = stored.secret.empty() ? PasswordState::None : PasswordState::Set;
    return stored;
  }
  return stored;
}

PasswordChange set_password(const PasswordLocations& where, std::string_view first,
                            std::string_view repeat, const HashCost& cost,
                            host::FileFaults* faults) {
  PasswordChange change;
  if (trimmed(first).empty() || trimmed(repeat).empty()) {
    change.messages.push_back(text::kEnterNewAndRepeat);
    return change;
  }
  if (first != repeat) {
    change.messages.push_back(text::kMismatch);
    return change;
  }
  if (!all_digits(first)) {
    change.messages.push_back(text::kDigitsOnly);
    return change;
  }
  char hash[crypto_pwhash_STRBYTES];
  change.file = where.write_target();
  if (!sodium_ready() ||
      crypto_pwhash_str(hash, first.data(), first.size(), cost.operations, cost.memory) != 0 ||
      host::write_file_atomically(change.file, std::string(hash) + "\r\n", faults,
                                  host::kSecretFileMode)) {
    change.messages.push_back(text::kCannotWrite);
    return change;
  }
  change.ok = true;
  change.messages.push_back(text::kSucceeded);
  return change;
}

PasswordChange remove_password(const PasswordLocations& where, host::FileFaults* faults) {
  PasswordChange change;
  for (const fs::path& file : where.candidates()) {
    std::error_code error;
    if (!fs::exists(file, error) && !error) continue;
    change.file = file;
    if (faults && faults->next_fails()) error = std::make_error_code(std::errc::permission_denied);
    else if (!error) fs::remove(file, error);
    // Success is only claimed when the file is really gone.
    if (error) {
      change.messages.push_back(text::kOperationFailed);
      return change;
    }
    host::sync_directory(file.parent_path());
    break;
  }
  change.ok = true;
  change.messages.push_back(text::kRemoved);
  return change;
}

}  // namespace orvexa::access
