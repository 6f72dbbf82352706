// The pictures: the JPEG pictures decode from the resources, the drawn glyphs and node pictures
// are there and tell apart, every button and tree node shows one, and without the JPEG plugin
// the program says so and works on without them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImageReader>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <set>

#include "app/main/forms.h"
#include "app/main/pictures.h"
#include "data_pages_rig.h"

namespace orvexa::app {
namespace {

using namespace testing;

// Not blank: a picture of more than a handful of colours.
std::size_t colours_in(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
  return colours.size();
}

std::size_t painted_pixels(const QImage& image) {
  std::size_t n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 0;
  return n;
}

TEST(Pictures, EachLargePictureIsAJpegOfItsSizeAndNotBlank) {
  application();
  const Pictures pictures;
  ASSERT_TRUE(pictures.jpeg_available()) << "Qt's JPEG plugin is part of the set-up";
  for (auto which : kAllPictures) {
    const auto info = picture_info(which);
    QImageReader reader(QString::fromLatin1(info.resource));
    EXPECT_EQ(reader.format(), "jpeg") << info.resource;
    const QImage image = pictures.picture(which).toImage();
    ASSERT_FALSE(image.isNull()) << info.resource;
    EXPECT_EQ(image.size(), QSize(info.width, info.height)) << info.resource;
    EXPECT_GT(colours_in(image), 50u) << info.resource;
  }
}

TEST(Pictures, GlyphsAndNodePicturesAreDrawnAndAllDiffer) {
  application();
  std::set<QByteArray> seen;
  for (int g = 0; g < kGlyphCount; ++g) {
    const QImage image = glyph_pixmap(static_cast<Glyph>(g), 24).toImage();
    const std::size_t painted = painted_pixels(image);
    EXPECT_GT(painted, 24u) << "glyph " << g;
    EXPECT_LT(painted, 24u * 24u) << "glyph " << g << " fills its whole square";
    const QByteArray bits(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    EXPECT_TRUE(seen.insert(bits).second) << "glyph " << g << " looks like another";
  }
  DataRig rig(false);
  auto* tree = rig.form().findChild<QTreeWidget*>("TreeView1");
  std::set<int> used;
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    const int index = (*it)->data(0, Qt::UserRole).toInt();
    used.insert(index);
    EXPECT_FALSE((*it)->icon(0).isNull()) << (*it)->text(0).toStdString();
    EXPECT_EQ(node_picture(index).size(), QSize(50, 50)) << index;
  }
  EXPECT_EQ(used.size(), 18u) << "each node has a picture of its own";
  for (int index : {1, 2, 6, 25, 27, -1}) EXPECT_TRUE(node_picture(index).isNull()) << index;
}

// The buttons of the windows that carry a picture in their design.
bool has_picture_in_design(const QString& name) {
  return name.startsWith("BitBtn") || name.startsWith("SpeedButton") || name.startsWith("DBNavigator") ||
         name.startsWith("About");
}

TEST(Pictures, EveryPictureButtonOfEveryWindowShowsItsGlyph) {
  DataRig rig;
  int checked = 0;
  for (auto* button : rig.form().findChildren<QAbstractButton*>()) {
    if (!has_picture_in_design(button->objectName())) continue;
    ++checked;
    EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();
  }
  EXPECT_GT(checked, 30) << "the windows' buttons were not found";
  auto* home = rig.in<QLabel>("TabSheet1", "Image2");
  EXPECT_EQ(home->pixmap().size(), QSize(690, 470));
}

TEST(Pictures, WithoutTheJpegPluginTheProgramSaysSoAndWorksOn) {
  const FormatProbe no_jpeg = [] { return QList<QByteArray>{"png", "gif", "bmp"}; };
  EXPECT_FALSE(Pictures(no_jpeg).jpeg_available());
  EXPECT_TRUE(Pictures(no_jpeg).picture(Picture::Home).isNull());
  EXPECT_TRUE(Pictures([] { return QList<QByteArray>{"png", "jpeg"}; }).jpeg_available());

  DataRig rig(true, no_jpeg);
  EXPECT_EQ(rig.boxes.boxes, std::vector<std::string>{std::string(picture_text::kJpegMissing)});
  EXPECT_TRUE(rig.form().isVisible());
  auto* home = rig.in<QLabel>("TabSheet1", "Image2");
  EXPECT_TRUE(home->pixmap().isNull());
  EXPECT_EQ(home->text().trimmed(), "Orvexa") << "the picture's place says what it would show";
  auto* help = rig.form().findChild<TForm9*>("Form9")->findChild<QLabel*>("Image1");
  EXPECT_TRUE(help->text().contains(QString::fromUtf8("انجام عمليات"))) << "the help as text";
  // The pages still work: a group is created through the definition page.
  rig.go_to("TabSheet3");
  rig.in<QLineEdit>("TabSheet3", "Edit4")->setText("G");
  rig.in<QPushButton>("TabSheet3", "BitBtn3")->click();
  EXPECT_TRUE(rig.store.find_group("G").has_value());

  DataRig with_plugin(true);
  EXPECT_TRUE(with_plugin.boxes.boxes.empty()) << "no message when the pictures can be shown";
}

}  // namespace
}  // namespace orvexa::app
