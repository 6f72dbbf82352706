#include "app/data/holiday_text.h"

#include <gtest/gtest.h>

namespace orvexa::data {
namespace {

TEST(HolidayText, ReadsHolidaysInAnyDigits) {
  struct Case {
    const char* name;
    std::string_view text;
    std::vector<HolidayAddition> want;
  };
  const Case cases[] = {
      {"ASCII digits", "1404/05/12 تعطیلی اداره\n", {{{1404, 5, 12}, "تعطیلی اداره"}}},
      {"Persian digits", "۱۴۰۴/۰۵/۱۲ تعطیلی اداره", {{{1404, 5, 12}, "تعطیلی اداره"}}},
      {"Arabic-Indic digits", "١٤٠٤/٠٥/١٢ office", {{{1404, 5, 12}, "office"}}},
      {"one-digit month and day, a tab", "1404/5/2\tday off\r\n", {{{1404, 5, 2}, "day off"}}},
      {"comments, blanks, BOM", "\xEF\xBB\xBF# ours\n\n   \n1403/12/30 leap day\n  # indented\n",
       {{{1403, 12, 30}, "leap day"}}},
      {"names keep inner spaces", "1404/01/20   روز   اداره  \n", {{{1404, 1, 20}, "روز   اداره"}}},
      {"two lines, file order", "1405/02/01 b\n1404/02/01 a", {{{1405, 2, 1}, "b"}, {{1404, 2, 1}, "a"}}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    const HolidayText read = parse_holiday_text(c.text);
    EXPECT_TRUE(read.errors.empty()) << c.name << ": " << (read.errors.empty() ? "" : read.errors[0]);
    EXPECT_EQ(read.holidays, c.want) << c.name;
  }
}

TEST(HolidayText, ErrorsNameTheLineAndTheFault) {
  struct Case {
    std::string_view text;
    std::string_view error;
  };
  const Case cases[] = {
      {"1404/01/01 a\n\n1404/12/30 b", "line 3: 1404/12/30 does not exist (1404 is not a leap year)"},
      {"۱۴۰۴/۱۲/۳۰ b", "line 1: 1404/12/30 does not exist (1404 is not a leap year)"},
      {"1404/07/31 b", "line 1: 1404/07/31 does not exist (month 7 has 30 days)"},
      {"1404/13/01 b", "line 1: 1404/13/01 does not exist (a year has 12 months)"},
      {"1404/00/10 b", "line 1: 1404/00/10 does not exist (a year has 12 months)"},
      {"1404/01/00 b", "line 1: 1404/01/00 does not exist (days start at 1)"},
      {"9999/01/01 b", "line 1: the year 9999 is past the calendar's last year, 3177"},
      {"# x\n1404/01/02", "line 2: 1404/01/02 has no name"},
      {"1404/01/02   \t ", "line 1: 1404/01/02 has no name"},
      {"1404-01-02 b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"14040/01/02 b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"1404/001/02 b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"1404/01/-2 b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"1404/01/02/ b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"1404/01 b", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"holiday 1404/01/02", "line 1: no date at the start (write YYYY/MM/DD, then the name)"},
      {"1404/01/02 bad\xFF", "line 1: the name is not UTF-8 text or holds a control character"},
      {"1404/01/02 over\xC0\xAFlong", "line 1: the name is not UTF-8 text or holds a control character"},
      {"1404/01/02 a\tb", "line 1: the name is not UTF-8 text or holds a control character"},
      {"1404/01/02 cut\xD8", "line 1: the name is not UTF-8 text or holds a control character"},
  };
  for (const Case& c : cases) {
    const HolidayText read = parse_holiday_text(c.text);
    ASSERT_EQ(read.errors.size(), 1u) << c.text;
    EXPECT_EQ(read.errors[0], c.error) << c.text;
  }
}

TEST(HolidayText, KeepsTheGoodLinesAndReportsEveryBadOne) {
  const HolidayText read = parse_holiday_text("1404/01/20 a\n1404/12/30 b\n1404/02/01 c\nx\n");
  EXPECT_EQ(read.holidays, (std::vector<HolidayAddition>{{{1404, 1, 20}, "a"}, {{1404, 2, 1}, "c"}}));
  ASSERT_EQ(read.errors.size(), 2u);
  EXPECT_TRUE(read.errors[0].starts_with("line 2: "));
  EXPECT_TRUE(read.errors[1].starts_with("line 4: "));
}

TEST(HolidayText, WrittenTextReadsBack) {
  const std::vector<HolidayAddition> holidays = {{{1404, 5, 12}, "تعطیلی اداره"}, {{1403, 12, 30}, "a b"},
                                                 {{1405, 1, 1}, "#not a comment"}};
  const std::string text = holiday_text(holidays);
  EXPECT_EQ(text.substr(0, 11), "1404/05/12 ");
  const HolidayText read = parse_holiday_text(text);
  EXPECT_TRUE(read.errors.empty());
  EXPECT_EQ(read.holidays, holidays);
}

}  // namespace
}  // namespace orvexa::data
