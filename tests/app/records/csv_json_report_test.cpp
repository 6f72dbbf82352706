// CSV and JSON read back as a spreadsheet or another program would: quotes, commas, newlines and
// Persian survive, cells that a spreadsheet would evaluate do not start a formula, and the file
// is written whole, for its owner only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "../data/temp_folder.h"
#include "app/records/csv_report.h"
#include "app/records/json_report.h"
#include "app/records/report_row.h"
#include "report_samples.h"

namespace orvexa::records {
namespace {

using Records = std::vector<std::vector<std::string>>;

// RFC 4180 as a reader sees it: quoted fields may hold commas, CRLF and doubled quotes.
Records parse_csv(std::string_view text) {
  Records records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    std::string& field = records.back().back();
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
    else if (c == '"') quoted = !quoted;
    else if (!quoted && c == ',') records.back().emplace_back();
    else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      if (i + 1 < text.size()) records.emplace_back(1);
    } else field += c;
  }
  EXPECT_FALSE(quoted) << "a quoted field runs to the end of the file";
  return records;
}

std::vector<std::string> column_keys() {
  std::vector<std::string> keys;
  for (const ReportColumn& column : kReportColumns) keys.emplace_back(column.key);
  return keys;
}

TEST(CsvReportTest, ReadsBackWithBomHeaderQuotesNewlinesAndPersian) {
  testing::TimeZone zone(testing::kTehran);
  const std::vector<AttemptRow> attempts{testing::answered_attempt(), testing::busy_attempt()};
  const std::string csv = csv_report(attempts);
  // The byte-order mark and the header other programs rely on, word for word.
  EXPECT_TRUE(csv.starts_with(
      "\xEF\xBB\xBF"
      "campaign,attempt,group,member_id,name,family,number,line,channel,started_jalali,started,"
      "answered_after_s,duration_s,outcome,keys,opening_heard_s,main_heard_s,cause\r\n"));
  const Records records = parse_csv(std::string_view(csv).substr(kUtf8Bom.size()));
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], column_keys());
  for (std::size_t row = 1; row < records.size(); ++row) {
    ASSERT_EQ(records[row].size(), kReportColumnCount) << row;
    const ReportRow expected = report_row(attempts[row - 1]);
    for (std::size_t i = 0; i < kReportColumnCount; ++i)
      EXPECT_EQ(records[row][i], spreadsheet_safe(expected[i])) << row << " " << kReportColumns[i].key;
  }
  EXPECT_EQ(records[1][column_of("name")], "Ali, \"Big\"\nSecond line");
  EXPECT_EQ(records[1][column_of("family")], "رضایی");
  EXPECT_EQ(records[1][column_of("number")], "09121234567");
  EXPECT_EQ(records[2][column_of("name")], "'=HYPERLINK(\"http://x\")");
  EXPECT_EQ(records[2][column_of("number")], "+98 912 000 1111");
}

TEST(CsvReportTest, SpreadsheetFormulasAreDefusedNumbersAreNot) {
  struct Case {
    std::string_view in, want;
  };
  constexpr Case kCases[] = {
      {"=1+2", "'=1+2"},
      {"+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0"},
      {"-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
      {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
      {"\t=1", "'\t=1"},
      {"\r=1", "'\r=1"},
      {"-Ali", "'-Ali"},
      {"+98 912 345 6789", "+98 912 345 6789"},
      {"+989121234567", "+989121234567"},
      {"-3.5", "-3.5"},
      {"*#12#", "*#12#"},
      {"Ali=1", "Ali=1"},
      {"علی", "علی"},
      {"", ""},
  };
  for (const Case& c : kCases) EXPECT_EQ(spreadsheet_safe(c.in), c.want) << c.in;
}

TEST(CsvReportTest, FieldsQuotedOnlyWhenTheyMustBe) {
  struct Case {
    std::string_view in, want;
  };
  constexpr Case kCases[] = {{"plain", "plain"},          {"a,b", "\"a,b\""},
                             {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"a\nb", "\"a\nb\""},
                             {"a\rb", "\"a\rb\""},        {"", ""}};
  for (const Case& c : kCases) {
    std::string out;
    append_csv_field(out, c.in);
    EXPECT_EQ(out, c.want) << c.in;
  }
}

TEST(CsvReportTest, FileIsWrittenWholeOrNotAtAllAndForItsOwnerOnly) {
  testing_support::TempFolder folder;
  const auto file = folder.path() / "report.csv";
  const mode_t saved = ::umask(022);
  testing_support::write_all(file, "old");
  ::chmod(file.c_str(), 0600);
  const std::vector<AttemptRow> attempts{testing::answered_attempt()};
  const std::string want = csv_report(attempts);
  int failures = 0;
  for (int step = 1;; ++step) {
    host::FileFaults faults{step};
    auto problem = write_csv_report(file, attempts, &faults);
    const std::string now = testing_support::read_all(file);
    if (!problem) {
      EXPECT_EQ(now, want);
      break;
    }
    ++failures;
    EXPECT_NE(problem->find(file.string()), std::string::npos) << *problem;
    EXPECT_EQ(now, "old") << "step " << step;
    ASSERT_LT(step, 50);
  }
  EXPECT_GT(failures, 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

  const auto fresh = folder.path() / "fresh.csv";
  ASSERT_FALSE(write_csv_report(fresh, attempts));
  struct stat info {};
  ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ::umask(saved);

  auto problem = write_csv_report(folder.path() / "missing" / "r.csv", attempts);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("missing"), std::string::npos);
}

TEST(JsonReportTest, ParsesBackWithTheCsvKeysNumbersAndEscapes) {
  testing::TimeZone zone(testing::kTehran);
  AttemptRow odd = testing::busy_attempt();
  odd.name = std::string("back\\slash \"q\" tab\t nul-less\x01 bad\xff end");
  odd.family = "می‌رود";
  const std::vector<AttemptRow> attempts{testing::answered_attempt(), odd};
  const std::string text = json_report(attempts);
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  ASSERT_TRUE(doc.isArray());
  const QJsonArray array = doc.array();
  ASSERT_EQ(array.size(), 2);
  for (const auto& value : array) {
    const QJsonObject object = value.toObject();
    EXPECT_EQ(object.size(), static_cast<qsizetype>(kReportColumnCount));
    for (const ReportColumn& column : kReportColumns)
      EXPECT_TRUE(object.contains(QString::fromUtf8(column.key.data(), column.key.size())))
          << column.key;
  }
  const QJsonObject first = array[0].toObject(), second = array[1].toObject();
  EXPECT_EQ(first["campaign"].toInt(), 7);
  EXPECT_DOUBLE_EQ(first["answered_after_s"].toDouble(), 3.5);
  EXPECT_EQ(first["member_id"].toString(), "12");
  EXPECT_EQ(first["number"].toString(), "09121234567");
  EXPECT_EQ(first["name"].toString().toStdString(), "Ali, \"Big\"\nSecond line");
  EXPECT_EQ(first["outcome"].toString(), "heard-main");
  EXPECT_TRUE(second["answered_after_s"].isNull());
  EXPECT_TRUE(second["duration_s"].isNull());
  EXPECT_EQ(second["name"].toString().toStdString(),
            "back\\slash \"q\" tab\t nul-less\x01 bad\xEF\xBF\xBD end");
  EXPECT_EQ(second["family"].toString().toStdString(), "می‌رود");
  EXPECT_EQ(json_report({}), "[]\n");
}

}  // namespace
}  // namespace orvexa::records
