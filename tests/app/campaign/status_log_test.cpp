// Status log files: code page 1256 with CR LF, read back from 1256 or UTF-8.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "app/campaign/campaign_texts.h"
#include "app/campaign/code_page_1256.h"
#include "app/campaign/status_log.h"

namespace orvexa::campaign {
namespace {

namespace fs = std::filesystem;

fs::path temp_folder(const char* name) {
  auto dir = fs::temp_directory_path() / ("orvexa-log-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(CodePage1256, ConvertsPersianAndMapsMissingForms) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string bytes;
    bool lossy;
  };
  const Case cases[] = {
      {"ascii", "Call 0912-345", "Call 0912-345", false},
      {"arabic yeh and keheh", "يک", "\xED\x98", false},
      {"peh gaf zwnj", "پگ\u200C", "\x81\x90\x9D", false},
      {"persian yeh", "ی", "\xED", false},
      {"persian digits", "۰۹۱۲", "0912", false},
      {"no 1256 form", "€✓", "\x80?", true},
      {"broken utf-8", "a\xC3", "a?", true},
  };
  for (const auto& c : cases) {
    bool lossy = false;
    EXPECT_EQ(utf8_to_cp1256(c.utf8, &lossy), c.bytes) << c.name;
    EXPECT_EQ(lossy, c.lossy) << c.name;
  }
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(utf8_to_cp1256(cp1256_to_utf8(one)), one) << b;
  }
}

TEST(StatusLogFile, SavedLogReadsBackLineForLine) {
  const auto dir = temp_folder("roundtrip");
  const std::vector<std::string> lines = {
      date_line("1405/09/18", "10:30"), std::string(text::kSeparator),
      std::string(text::kCalleeNumber) + "0912", "", std::string(text::kEndOfOperation)};
  ASSERT_FALSE(save_log_file(dir / kLastReportFile, lines));
  std::error_code error;
  auto bytes = host::read_file(dir / kLastReportFile, error);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, encode_log_file(lines));
  EXPECT_NE(bytes->find("\r\n"), std::string::npos);
  EXPECT_FALSE(is_valid_utf8(*bytes)) << "the file is 1256, not UTF-8";
  std::vector<std::string> back;
  ASSERT_FALSE(load_log_file(dir / kLastReportFile, back));
  EXPECT_EQ(back, lines);
  fs::remove_all(dir);
}

TEST(StatusLogFile, LoadsUtf8AndLooseLineEnds) {
  const std::string utf8 = "\xEF\xBB\xBF" + std::string(text::kBusy) + "\nشک\r\nend\rlast\r\r\n";
  EXPECT_EQ(decode_log_file(utf8),
            (std::vector<std::string>{std::string(text::kBusy), "شک", "end", "last", ""}));
  // 1256 bytes that happen to form valid UTF-8 still read as 1256.
  EXPECT_EQ(decode_log_file(utf8_to_cp1256("شک") + "\r\n"), std::vector<std::string>{"شک"});
  EXPECT_TRUE(decode_log_file("").empty());
}

TEST(StatusLogFile, FailedWriteLeavesTheOldReportWhole) {
  const auto dir = temp_folder("faults");
  const auto path = dir / kLastReportFile;
  ASSERT_FALSE(save_log_file(path, {"old"}));
  for (int n = 1;; ++n) {
    host::FileFaults faults{n};
    auto error = save_log_file(path, {"new", std::string(text::kBusy)}, &faults);
    std::vector<std::string> back;
    ASSERT_FALSE(load_log_file(path, back));
    if (!error) {
      EXPECT_EQ(back.front(), "new");
      break;
    }
    EXPECT_EQ(back, std::vector<std::string>{"old"}) << "fault at step " << n;
    ASSERT_LT(n, 50);
  }
  std::vector<std::string> untouched{"keep"};
  EXPECT_TRUE(load_log_file(dir / "missing.txt", untouched));
  EXPECT_EQ(untouched, std::vector<std::string>{"keep"});
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvexa::campaign
