// The workbook opened as the zip it is and its XML read: right to left, the header bold and
// frozen, identifiers as text cells (leading zeros kept), numbers as numbers, Persian labels,
// well-formed XML whatever the names hold; written whole, for its owner only.
#include "app/records/xlsx_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <QXmlStreamReader>
#include <map>
#include <memory>

#include "../data/temp_folder.h"
#include "app/records/report_row.h"
#include "report_samples.h"

namespace orvexa::records {
namespace {

struct ZipClose {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

// The named member of the zip at `file`; nullopt when the zip or the member cannot be read.
std::optional<std::string> zip_member(const std::filesystem::path& file, const char* name) {
  int error = 0;
  std::unique_ptr<zip_t, ZipClose> archive(zip_open(file.c_str(), ZIP_RDONLY, &error));
  zip_stat_t stat;
  if (!archive || zip_stat(archive.get(), name, 0, &stat) != 0) return std::nullopt;
  zip_file_t* member = zip_fopen(archive.get(), name, 0);
  if (!member) return std::nullopt;
  std::string bytes(stat.size, '\0');
  const zip_int64_t read = zip_fread(member, bytes.data(), stat.size);
  zip_fclose(member);
  if (read != static_cast<zip_int64_t>(stat.size)) return std::nullopt;
  return bytes;
}

struct Cell {
  std::string type;   // "" for a number, "inlineStr" or "s" for text
  std::string value;
  int style = 0;
};

struct Sheet {
  bool right_to_left = false;
  std::map<std::string, std::string> pane;  // the frozen pane's attributes
  std::map<std::string, Cell> cells;        // by reference, "A1"
  std::string xml_error;
};

std::string attribute(const QXmlStreamReader& xml, const char* name) {
  return xml.attributes().value(QLatin1String(name)).toString().toStdString();
}

Sheet read_sheet(const std::string& bytes) {
  Sheet sheet;
  QXmlStreamReader xml(QByteArray::fromStdString(bytes));
  std::string ref;
  while (!xml.atEnd()) {
    if (!xml.readNext() || !xml.isStartElement()) continue;
    const auto name = xml.name();
    if (name == QLatin1String("sheetView")) sheet.right_to_left = attribute(xml, "rightToLeft") == "1";
    if (name == QLatin1String("pane"))
      for (const auto& a : xml.attributes())
        sheet.pane[a.name().toString().toStdString()] = a.value().toString().toStdString();
    if (name == QLatin1String("c")) {
      ref = attribute(xml, "r");
      sheet.cells[ref] = {attribute(xml, "t"), "", std::atoi(attribute(xml, "s").c_str())};
    }
    if (name == QLatin1String("v") || name == QLatin1String("t"))
      sheet.cells[ref].value = xml.readElementText().toStdString();
  }
  if (xml.hasError()) sheet.xml_error = xml.errorString().toStdString();
  return sheet;
}

// Whether cell style `style` of styles.xml uses a bold font.
bool style_is_bold(const std::string& styles, int style) {
  QXmlStreamReader xml(QByteArray::fromStdString(styles));
  std::vector<bool> bold_fonts;
  std::vector<int> xf_fonts;
  bool in_fonts = false, in_cell_xfs = false;
  while (!xml.atEnd()) {
    xml.readNext();
    const auto name = xml.name();
    if (xml.isEndElement() && name == QLatin1String("fonts")) in_fonts = false;
    if (xml.isEndElement() && name == QLatin1String("cellXfs")) in_cell_xfs = false;
    if (!xml.isStartElement()) continue;
    if (name == QLatin1String("fonts")) in_fonts = true;
    if (name == QLatin1String("cellXfs")) in_cell_xfs = true;
    if (in_fonts && name == QLatin1String("font")) bold_fonts.push_back(false);
    if (in_fonts && name == QLatin1String("b")) bold_fonts.back() = true;
    if (in_cell_xfs && name == QLatin1String("xf"))
      xf_fonts.push_back(std::atoi(attribute(xml, "fontId").c_str()));
  }
  const auto font = static_cast<std::size_t>(xf_fonts.at(static_cast<std::size_t>(style)));
  return bold_fonts.at(font);
}

// "A".."Z", "AA"... for 0-based column `col`.
std::string ref(std::size_t col, int row) {
  std::string letters;
  for (std::size_t c = col + 1; c > 0; c = (c - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row);
}

class XlsxReportTest : public ::testing::Test {
 protected:
  testing::TimeZone zone_{testing::kTehran};
  testing_support::TempFolder folder_;
  std::filesystem::path file_ = folder_.path() / "report.xlsx";
};

TEST_F(XlsxReportTest, SheetIsRightToLeftWithABoldFrozenHeaderAndTextIdentifiers) {
  AttemptRow odd = testing::busy_attempt();
  odd.name = "bad\xFF bytes <&> \"q\" \x01\x1F";
  odd.member_id = 7;
  const mode_t saved = ::umask(022);
  ASSERT_FALSE(write_xlsx_report(file_, testing::sample_campaign(),
                                 {testing::answered_attempt(), odd}));
  ::umask(saved);
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1);

  auto xml = zip_member(file_, "xl/worksheets/sheet1.xml");
  auto styles = zip_member(file_, "xl/styles.xml");
  ASSERT_TRUE(xml && styles);
  const Sheet sheet = read_sheet(*xml);
  ASSERT_EQ(sheet.xml_error, "");
  EXPECT_TRUE(sheet.right_to_left);
  EXPECT_EQ(sheet.pane.at("state"), "frozen");
  EXPECT_EQ(sheet.pane.at("ySplit"), "1");
  EXPECT_EQ(sheet.pane.count("xSplit"), 0u);

  // Header: the CSV's keys, with the outcome's label right after its token; all bold.
  const std::size_t label = column_of("outcome") + 1;
  for (std::size_t i = 0; i < kReportColumnCount; ++i) {
    const Cell& head = sheet.cells.at(ref(i < label ? i : i + 1, 1));
    EXPECT_EQ(head.value, kReportColumns[i].key);
    EXPECT_TRUE(style_is_bold(*styles, head.style)) << kReportColumns[i].key;
  }
  EXPECT_EQ(sheet.cells.at(ref(label, 1)).value, "outcome_label");
  EXPECT_FALSE(style_is_bold(*styles, sheet.cells.at(ref(0, 2)).style));

  struct Case {
    std::size_t column;  // in the sheet
    int row;
    bool text;
    std::string value;
  };
  const Case cases[] = {
      {column_of("campaign"), 2, false, "7"},
      {column_of("member_id"), 2, true, "12"},
      {column_of("number"), 2, true, "09121234567"},
      {column_of("keys") + 1, 2, true, "01"},
      {column_of("answered_after_s"), 2, false, "3.5"},
      {column_of("started_jalali"), 2, true, "1405/09/19 10:20:30"},
      {column_of("family"), 2, true, "رضایی"},
      {column_of("name"), 2, true, "Ali, \"Big\"\nSecond line"},
      {label, 2, true, "پیام اصلی را کامل شنید"},
      {label, 3, true, "اشغال"},
      {column_of("number"), 3, true, "+98 912 000 1111"},
      // Control characters travel as the _xHHHH_ escapes that spreadsheets decode.
      {column_of("name"), 3, true, "bad\uFFFD bytes <&> \"q\" _x0001__x001F_"},
  };
  for (const Case& c : cases) {
    const Cell& cell = sheet.cells.at(ref(c.column, c.row));
    EXPECT_EQ(cell.value, c.value) << ref(c.column, c.row);
    EXPECT_EQ(cell.type.empty(), !c.text) << ref(c.column, c.row) << " " << cell.type;
  }
  // Unknown lengths are left blank rather than written as zero.
  EXPECT_EQ(sheet.cells.count(ref(column_of("answered_after_s"), 3)), 0u);
}

TEST_F(XlsxReportTest, CampaignSheetSumsUp) {
  ASSERT_FALSE(write_xlsx_report(file_, testing::sample_campaign(), {}));
  auto xml = zip_member(file_, "xl/worksheets/sheet2.xml");
  ASSERT_TRUE(xml);
  const Sheet sheet = read_sheet(*xml);
  EXPECT_TRUE(sheet.right_to_left);
  std::map<std::string, std::string> facts;
  for (int row = 1; sheet.cells.count(ref(0, row)); ++row) {
    auto value = sheet.cells.find(ref(1, row));
    facts[sheet.cells.at(ref(0, row)).value] = value == sheet.cells.end() ? "" : value->second.value;
  }
  EXPECT_EQ(facts["campaign"], "7");
  EXPECT_EQ(facts["started_jalali"], "1405/09/19 10:20:28");
  EXPECT_EQ(facts["state"], "finished");
  EXPECT_EQ(facts["chosen"], "فروش");
  EXPECT_EQ(facts["filter"], "");
  EXPECT_EQ(facts["heard-main"], "1");
  EXPECT_EQ(facts["busy"], "1");
}

TEST_F(XlsxReportTest, AFailedWriteLeavesWhatWasThereAndNoPart) {
  testing_support::write_all(file_, "old workbook");
  AttemptRow huge = testing::answered_attempt();
  huge.name.assign(40000, 'x');  // more than a cell holds
  auto problem = write_xlsx_report(file_, testing::sample_campaign(), {huge});
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find(file_.string()), std::string::npos) << *problem;
  EXPECT_EQ(testing_support::read_all(file_), "old workbook");

  const auto folder = folder_.path() / "a folder";
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(write_xlsx_report(folder, testing::sample_campaign(), {}));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  auto missing = write_xlsx_report(folder_.path() / "none" / "r.xlsx", {}, {});
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->find("none"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 2);
}

}  // namespace
}  // namespace orvexa::records
