#include "app/assembly/line_configuration.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <toml++/toml.h>

namespace orvexa::assembly {

bool LineConfiguration::has_line_key() const { return root->contains("line"); }

std::vector<telephony::LineTable> LineConfiguration::tables_of(std::string_view kind) const {
  std::vector<telephony::LineTable> out;
  for (const auto& t : tables)
    if (t.kind == kind) out.push_back(t);
  return out;
}

LineConfiguration parse_line_configuration(std::string_view text, const std::filesystem::path& file,
                                           bool password_exposed) {
  LineConfiguration config;
  config.file = file;
  config.present = true;
  config.password_exposed = password_exposed;
  auto root = std::make_shared<toml::table>();
  try {
    *root = toml::parse(text, file.string());
  } catch (const toml::parse_error& e) {
    std::ostringstream out;
    out << file.filename().string() << ": line " << e.source().begin.line << " of the file: "
        << e.description();
    config.root = std::make_shared<const toml::table>();
    config.file_error = out.str();
    return config;
  }
  config.root = root;
  telephony::LineTablesResult sorted = telephony::line_tables(*root);
  const std::string name = file.filename().string() + ": ";
  if (!sorted.error.empty()) config.file_error = name + sorted.error;
  config.tables = std::move(sorted.tables);
  config.line_errors = std::move(sorted.line_errors);
  for (auto& e : config.line_errors) e.text = name + e.text;
  return config;
}

LineConfiguration read_line_configuration(const std::filesystem::path& program_folder) {
  const std::filesystem::path file = program_folder / kLineFileName;
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    LineConfiguration none;
    none.file = file;
    none.root = std::make_shared<const toml::table>();
    return none;
  }
  // A pipe or device named orvexa.toml would block the reader; no real file is this large.
  constexpr off_t kLargest = 16 << 20;
  std::ostringstream text;
  bool read = false;
  if (S_ISREG(st.st_mode) && st.st_size <= kLargest) {
    std::ifstream in(file, std::ios::binary);
    if (in) text << in.rdbuf();
    read = static_cast<bool>(in);
  }
  if (!read) {
    LineConfiguration broken;
    broken.file = file;
    broken.present = true;
    broken.root = std::make_shared<const toml::table>();
    broken.file_error = file.string() + ": cannot be read (a regular file of at most 16 MB)";
    return broken;
  }
  return parse_line_configuration(text.str(), file, (st.st_mode & (S_IRGRP | S_IROTH)) != 0);
}

}  // namespace orvexa::assembly
