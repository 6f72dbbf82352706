#include "app/data/date_filter.h"

#include <gtest/gtest.h>

namespace orvexa::data {
namespace {

TEST(DateFilter, Validity) {
  struct Case {
    const char* date;
    bool valid;
  };
  const Case cases[] = {{"13000731", false}, {"13000631", true}, {"13001301", false},
                        {"13000100", false}, {"13001230", true}, {"13001231", false},
                        {"13000101", true},  {"13000001", false}, {"130001", false},
                        {"13000a01", false}, {"1300 101", false}, {"99991230", true}};
  for (const Case& c : cases) EXPECT_EQ(is_valid_filter_date(c.date), c.valid) << c.date;
}

TEST(DateFilter, Preparation) {
  const SolarDate today{1403, 5, 15};
  struct Case {
    const char* name;
    bool ticked;
    const char* day;
    const char* month;
    bool refused;
    const char* padded_day;
    const char* padded_month;
    const char* expression;  // nullptr: no filter
  };
  const Case cases[] = {
      {"padded", true, "5", "3", false, "05", "03", "tart=03/05"},
      {"two digits", true, "31", "06", false, "31", "06", "tart=06/31"},
      {"day 31 after month 6", true, "31", "7", true, "31", "07", nullptr},
      {"month 13", true, "1", "13", true, "01", "13", nullptr},
      {"day 0", true, "0", "1", true, "00", "01", nullptr},
      {"only day", true, "5", "", true, "05", "", nullptr},
      {"nothing", true, "", "", true, "", "", nullptr},
      {"unticked pads only", false, "5", "", false, "05", "", nullptr},
      {"unticked valid", false, "5", "3", false, "05", "03", nullptr},
  };
  for (const Case& c : cases) {
    FilterFields fields{c.day, c.month};
    auto prepared = prepare_filter(c.ticked, fields, DateKind::Birthday, today);
    EXPECT_EQ(prepared.refused, c.refused) << c.name;
    EXPECT_EQ(fields.day, c.padded_day) << c.name;
    EXPECT_EQ(fields.month, c.padded_month) << c.name;
    ASSERT_EQ(prepared.filter.has_value(), c.expression != nullptr) << c.name;
    if (c.expression) {
      EXPECT_EQ(prepared.filter->expression(), c.expression) << c.name;
    }
  }
}

TEST(DateFilter, ExpressionsOfEachOption) {
  const SolarDate today{1403, 5, 15};
  struct Case {
    DateKind kind;
    const char* expression;
    const char* where;
  };
  const Case cases[] = {{DateKind::Birthday, "tart=05/12", "tart = ?"},
                        {DateKind::Marriage, "tarezd=05/12", "tarezd = ?"},
                        {DateKind::Contract, "targ=05/12", "targ = ?"}};
  for (const Case& c : cases) {
    FilterFields fields{"12", "05"};
    auto filter = prepare_filter(true, fields, c.kind, today).filter;
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->expression(), c.expression);
    EXPECT_EQ(filter->sql_where(), c.where);
    ASSERT_EQ(filter->bindings().size(), 1u);
    EXPECT_EQ(filter->bindings()[0].text, "05/12");
  }
  FilterFields fields{"12", "05"};
  auto instalments = prepare_filter(true, fields, DateKind::Instalments, today).filter;
  ASSERT_TRUE(instalments);
  const std::string text = instalments->expression();
  EXPECT_EQ(text.rfind("(tar1=05/12 and (tare>=14030515)) or (tar2=", 0), 0u) << text;
  EXPECT_TRUE(text.ends_with(")) or (tar12=05/12 and (tare>=14030515))")) << text;
  EXPECT_EQ(instalments->bindings().size(), 24u);
  EXPECT_EQ(instalments->bindings()[1].number, 14030515);
}

TEST(DateFilter, KindNames) {
  EXPECT_EQ(date_kind_from_name("birthday"), DateKind::Birthday);
  EXPECT_EQ(date_kind_from_name("instalments"), DateKind::Instalments);
  EXPECT_FALSE(date_kind_from_name("Birthday").has_value());
}

}  // namespace
}  // namespace orvexa::data
