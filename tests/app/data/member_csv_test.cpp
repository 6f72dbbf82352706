#include "app/data/member_csv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "temp_folder.h"

namespace orvexa::data {
namespace {

TEST(MemberCsv, DigitsBecomeAscii) {
  EXPECT_EQ(ascii_digits("۰۱۲۳۴۵۶۷۸۹"), "0123456789");
  EXPECT_EQ(ascii_digits("٠١٢٣٤٥٦٧٨٩"), "0123456789");
  EXPECT_EQ(ascii_digits("علي ۱۲/۰۵ x"), "علي 12/05 x");
  EXPECT_EQ(ascii_digits("\xDB"), "\xDB");  // a cut sequence stays as it was
}

TEST(MemberCsv, ParsesQuotedFieldsAndLines) {
  auto parse = parse_csv("\xEF\xBB\xBF" "a,b\r\n\"x, \"\"y\"\"\",\"two\nlines\"\n\nlast,\n");
  EXPECT_TRUE(parse.problem.empty());
  ASSERT_EQ(parse.records.size(), 3u);
  EXPECT_EQ(parse.records[0].fields, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(parse.records[1].fields, (std::vector<std::string>{"x, \"y\"", "two\nlines"}));
  EXPECT_EQ(parse.records[2].line, 5);
  EXPECT_EQ(parse.records[2].fields, (std::vector<std::string>{"last", ""}));
  EXPECT_EQ(parse_csv("a\n\"open\n").problem, "line 2: quote not closed");
}

TEST(MemberCsv, ImportRowsAndSkips) {
  const std::string csv =
      "name,family,phone,tart,tar4,tare\n"
      " علي ,رضايي,۰۹۱۲ ۳۴۵ ۶۷۸۹,۰۳/۰۵,,1404/05/15\n"
      "no number,,,,,\n"
      "bad,,0912,,,not a date\n"
      "short,,+98 21 1234,,12/01,\n";
  auto prepared = prepare_import(csv, true);
  EXPECT_TRUE(prepared.error.empty());
  ASSERT_EQ(prepared.rows.size(), 2u);
  const Member& first = prepared.rows[0];
  EXPECT_EQ(first.name, "علي");
  EXPECT_EQ(first.num, "09123456789");
  EXPECT_EQ(first.tart, "03/05");
  EXPECT_EQ(first.tarezd, "/");
  EXPECT_EQ(first.tare, "14040515");
  EXPECT_EQ(prepared.rows[1].num, "0211234");
  EXPECT_EQ(prepared.rows[1].tar[3], "12/01");
  EXPECT_EQ(prepared.rows[1].tare, "88888888");
  ASSERT_EQ(prepared.skipped.size(), 2u);
  EXPECT_EQ(prepared.skipped[0].line, 3);
  EXPECT_EQ(prepared.skipped[1].line, 4);

  EXPECT_FALSE(prepare_import("", false).error.empty());
  EXPECT_FALSE(prepare_import("name,family\nx,y\n", false).error.empty());
  EXPECT_FALSE(prepare_import("num\n\"0912\n", false).error.empty());
}

TEST(MemberCsv, ExportReadsBackTheSame) {
  Member m;
  m.id = 3;
  m.name = "a, \"b\"";
  m.family = "two\nlines";
  m.num = "+989123456789";
  m.tart = "03/05";
  m.tarezd = m.targ = "/";
  m.tar.fill("/");
  m.tar[11] = "12/29";
  m.tare = "88888888";
  const std::string csv = export_csv({m, m});
  auto prepared = prepare_import(csv, false);
  ASSERT_TRUE(prepared.error.empty()) << prepared.error;
  ASSERT_EQ(prepared.rows.size(), 2u);
  Member back = prepared.rows[0];
  back.id = m.id;
  EXPECT_EQ(back, m);
  EXPECT_EQ(export_csv({back, back}), csv);
}

// The fuzz corpus and random bytes: no crash, and every imported row is sound.
TEST(MemberCsv, SurvivesTheCorpusAndRandomInput) {
  std::vector<std::string> inputs;
  if (const char* source = std::getenv("ORVEXA_SOURCE_DIR")) {
    const auto corpus = std::filesystem::path(source) / "fuzz/corpus/member_csv";
    if (std::filesystem::is_directory(corpus))
      for (const auto& entry : std::filesystem::directory_iterator(corpus))
        inputs.push_back(testing_support::read_all(entry.path()));
  }
  std::mt19937 random(1234);
  const std::string alphabet = "num,tare\"\r\n09+ -()/\xDB\xB1\xD9\xA2";
  for (int i = 0; i < 2000; ++i) {
    std::string input = i % 2 ? "num,tare,tart\n" : "";
    const int length = static_cast<int>(random() % 64);
    for (int k = 0; k < length; ++k)
      input += i % 3 ? alphabet[random() % alphabet.size()] : static_cast<char>(random() % 256);
    inputs.push_back(std::move(input));
  }
  for (const std::string& input : inputs) {
    for (bool local : {false, true}) {
      auto prepared = prepare_import(input, local);
      for (const Member& row : prepared.rows) {
        ASSERT_FALSE(row.num.empty());
        ASSERT_LE(row.num.size(), 15u);
        ASSERT_EQ(row.num.find_first_not_of("+0123456789"), std::string::npos) << row.num;
        ASSERT_FALSE(row.tare.empty());
      }
      if (prepared.rows.empty()) continue;
      auto again = prepare_import(export_csv(prepared.rows), false);
      ASSERT_TRUE(again.error.empty()) << again.error;
      ASSERT_TRUE(again.rows == prepared.rows);
    }
  }
  EXPECT_GE(inputs.size(), 2000u);
}

}  // namespace
}  // namespace orvexa::data
