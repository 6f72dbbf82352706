// Terminal tables: columns line up by what the terminal draws (Persian letters, joiners, marks,
// wide characters), and no cell can send the terminal a control sequence.
#include "app/records/table_report.h"

#include <gtest/gtest.h>

#include "report_samples.h"

namespace orvexa::records {
namespace {

TEST(TableReportTest, DisplayWidthCountsWhatTheTerminalDraws) {
  struct Case {
    std::string_view text;
    std::size_t width;
  };
  constexpr Case kCases[] = {
      {"", 0},       {"abc", 3},          {"علی", 3},     {"می\u200Cرود", 5},
      {"کِتاب", 4},  {"\u06F1\u06F2", 2}, {"漢字", 4},    {"\xF0\x9F\x98\x80", 2},
      {"\xFF", 1},   {"a\u200Fb", 2},
  };
  for (const Case& c : kCases) EXPECT_EQ(display_width(c.text), c.width) << c.text;
}

TEST(TableReportTest, ColumnsAlignPastPersianAndNumbersAlignRight) {
  const std::string table = aligned_table(
      {{"name", "n", "note"}, {"علی", "1", ""}, {"می\u200Cرود", "22", "x"}, {"abcdef", "3", ""}},
      {Align::Left, Align::Right, Align::Left});
  EXPECT_EQ(table,
            "name     n  note\n"
            "علی      1\n"
            "می\u200Cرود   22  x\n"
            "abcdef   3\n");
}

TEST(TableReportTest, ControlCharactersNeverReachTheTerminal) {
  struct Case {
    std::string_view in, want;
  };
  constexpr Case kCases[] = {
      {"plain", "plain"},        {"a\x1B[2Jb", "a [2Jb"},  {"x\ny\rz\t", "x y z "},
      {"\xC2\x9B" "31m", " 31m"}, {"bad\xFF", "bad\uFFFD"}, {"رضایی", "رضایی"},
      {"del\x7F", "del "},
  };
  for (const Case& c : kCases) EXPECT_EQ(terminal_safe(c.in), c.want) << c.in;

  testing::TimeZone zone(testing::kTehran);
  AttemptRow sly = testing::answered_attempt();
  sly.name = "\x1B]0;owned\x07";
  const std::string table = attempts_table(testing::sample_campaign(), {sly});
  EXPECT_EQ(table.find('\x1B'), std::string::npos);
  EXPECT_EQ(table.find('\x07'), std::string::npos);
}

TEST(TableReportTest, AttemptsAndCampaignsTables) {
  testing::TimeZone zone(testing::kTehran);
  const std::string attempts = attempts_table(
      testing::sample_campaign(), {testing::answered_attempt(), testing::busy_attempt()});
  EXPECT_TRUE(attempts.starts_with(
      "campaign 7  1405/09/19 10:20:28  finished  members 2  attempts 2  فروش\n\n"))
      << attempts;
  EXPECT_NE(attempts.find("1405/09/19 10:20:30  فروش   Ali, \"Big\" Second line  رضایی   09121234567"),
            std::string::npos)
      << attempts;
  EXPECT_NE(attempts.find("heard-main"), std::string::npos);
  EXPECT_NE(attempts.find("486 Busy Here"), std::string::npos);

  records::CampaignRow older = testing::sample_campaign();
  older.id = 6;
  older.state = campaign::CampaignState::Interrupted;
  older.outcomes = {{campaign::Outcome::Interrupted, 1}};
  EXPECT_EQ(campaigns_table({testing::sample_campaign(), older}),
            "id  started              state        members  attempts  outcomes\n"
            " 7  1405/09/19 10:20:28  finished           2         2  heard-main 1, busy 1\n"
            " 6  1405/09/19 10:20:28  interrupted        2         2  interrupted 1\n");
}

}  // namespace
}  // namespace orvexa::records
