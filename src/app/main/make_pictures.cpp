// Writes the program's large pictures as JPEG files into a folder, and optionally one PNG sheet
// of every picture, glyph and tree node picture for looking them over:
//   orvexa_make_pictures resources/pictures [sheet.png]
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <cstdio>

#include "app/main/picture_art.h"

namespace {

using namespace orvexa::app;

QImage sheet() {
  QImage img(1400, 1050, QImage::Format_RGB32);
  img.fill(QColor(185, 204, 240));
  QPainter p(&img);
  int x = 10, y = 10, row = 0;
  for (auto which : kAllPictures) {
    const QImage picture = draw_picture(which);
    if (x + picture.width() > img.width()) {
      x = 10;
      y += row + 10;
      row = 0;
    }
    p.drawImage(x, y, picture);
    x += picture.width() + 10;
    row = std::max(row, picture.height());
  }
  y += row + 10;
  for (int g = 0; g < kGlyphCount; ++g) {
    p.drawPixmap(10 + g * 44, y, glyph_pixmap(static_cast<Glyph>(g), 40));
    p.drawPixmap(10 + g * 44, y + 44, glyph_pixmap(static_cast<Glyph>(g), 20));
  }
  for (int i = 0, at = 0; i < 30; ++i) {
    const QPixmap node = node_picture(i);
    if (!node.isNull()) p.drawPixmap(10 + 56 * at++, y + 72, node);
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [SHEET.png]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  int failed = 0;
  for (auto which : kAllPictures) {
    const QString name = QString::fromLatin1(picture_info(which).resource).section('/', -1);
    QImageWriter writer(QString::fromLocal8Bit(argv[1]) + "/" + name, "jpeg");
    writer.setQuality(90);
    if (!writer.write(draw_picture(which))) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
      ++failed;
    }
  }
  if (argc == 3 && !sheet().save(QString::fromLocal8Bit(argv[2]), "png")) ++failed;
  return failed == 0 ? 0 : 1;
}
