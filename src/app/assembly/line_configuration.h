// orvexa.toml, read and parsed once for the whole program: its [[line]] tables sorted by kind,
// and what is wrong with it, either with one line (that line is left out) or with the file.
//
//   LineConfiguration config = read_line_configuration(program_folder);
//   for (const auto& e : config.line_errors) err << e.text << '\n';
//   config.tables_of("sip") ...
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/telephony/line_tables.h"

namespace orvexa::assembly {

inline constexpr const char* kLineFileName = "orvexa.toml";

struct LineConfiguration {
  std::filesystem::path file;
  bool present = false;
  // Group or others may read the file: lines that hold a password are refused.
  bool password_exposed = false;
  std::shared_ptr<const toml::table> root;  // never null; empty without a file
  std::vector<telephony::LineTable> tables;  // point into *root
  std::vector<telephony::LineError> line_errors;
  std::string file_error;  // unreadable or not TOML: no line of the file is used

  bool has_line_key() const;
  std::vector<telephony::LineTable> tables_of(std::string_view kind) const;
};

LineConfiguration read_line_configuration(const std::filesystem::path& program_folder);
// From text at hand (tests, fuzzing); `file` only names it in messages.
LineConfiguration parse_line_configuration(std::string_view text, const std::filesystem::path& file,
                                           bool password_exposed);

}  // namespace orvexa::assembly
