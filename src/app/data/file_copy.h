// Copies that are never torn: SQLite's online backup for a live database, a synced byte copy for
// a file nobody writes, and a check that a file really is a contact database.
#pragma once

#include <filesystem>
#include <system_error>

#include "platform/host/atomic_file.h"

namespace orvexa::data {

// Copies the database `source` page by page into `target` (a new, empty file) and syncs it.
// Readers and writers of `source` are waited for, never torn.
std::error_code copy_database(const std::filesystem::path& source,
                              const std::filesystem::path& target, host::FileFaults* faults);

// Byte-for-byte copy into the open, empty file `target`, synced before it returns.
std::error_code copy_file_synced(const std::filesystem::path& source, int target,
                                 host::FileFaults* faults);

// An SQLite database that passes its quick check and holds a `groups` table.
bool is_contact_database(const std::filesystem::path& file);

}  // namespace orvexa::data
