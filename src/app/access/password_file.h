// The login password file "kms32.dll": where it is looked for, reading it (Argon2id hashes and
// older plain-digit files), setting and removing it. It is written 0600; a mode given to it
// since (0640 for an admin group in /etc/orvexa) is kept, never with others' read.
//
//   PasswordLocations where{{"/etc/orvexa"}, program_folder};
//   StoredPassword stored = read_password(where);
//   if (stored.state == PasswordState::Set && !stored.verify(typed)) close();
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/atomic_file.h"

namespace orvexa::access {

inline constexpr const char* kPasswordFileName = "kms32.dll";
inline constexpr const char* kSystemFolder = "/etc/orvexa";

struct PasswordLocations {
  std::vector<std::filesystem::path> system_folders{kSystemFolder};
  std::filesystem::path program_folder;

  // Where a password file is looked for, in order: each system folder, then the program folder.
  std::vector<std::filesystem::path> candidates() const;
  // Where a new password is written: the first system folder that exists, else the program
  // folder. Only that one place is tried.
  std::filesystem::path write_target() const;
};

enum class PasswordState { None, Set, Unreadable };

struct StoredPassword {
  PasswordState state = PasswordState::None;
  std::string secret;  // an Argon2id hash string, or the digits of an older plain file
  std::filesystem::path file;

  bool is_hash() const;
  // Compares untrimmed: a trailing blank makes a wrong answer.
  bool verify(std::string_view typed) const;
};

// How hard the hash is to compute; tests use the minimum.
struct HashCost {
  unsigned long long operations;
  std::size_t memory;
  static HashCost interactive();
  static HashCost minimum();
};

// Faults count one step for reading, writing (as write_file_atomically does) or removing.
StoredPassword read_password(const PasswordLocations& where, host::FileFaults* faults = nullptr);

struct PasswordChange {
  bool ok = false;
  std::vector<std::string> messages;
  std::filesystem::path file;
};

PasswordChange set_password(const PasswordLocations& where, std::string_view first,
                            std::string_view repeat, const HashCost& cost,
                            host::FileFaults* faults = nullptr);
PasswordChange remove_password(const PasswordLocations& where, host::FileFaults* faults = nullptr);

}  // namespace orvexa::access
