#include "app/main/pictures.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QImageReader>
#include <QPainter>

namespace orvexa::app {

namespace {

QColor ink_of(Glyph glyph) {
  switch (glyph) {
    case Glyph::Phone: case Glyph::Start: case Glyph::Play: case Glyph::Plus: case Glyph::Check:
      return {0, 140, 70};
    case Glyph::Record: case Glyph::Cross: case Glyph::Trash: return {195, 35, 35};
    case Glyph::Stop: return {60, 60, 72};
    case Glyph::Folder: return {215, 155, 30};
    case Glyph::Save: case Glyph::Backup: case Glyph::People: case Glyph::AddPerson:
      return {40, 95, 170};
    case Glyph::Restore: return {0, 125, 140};
    case Glyph::Eraser: return {205, 85, 125};
    case Glyph::Hardware: case Glyph::Sliders: case Glyph::Gear: return {80, 92, 120};
    case Glyph::Help: case Glyph::Info: case Glyph::Globe: return {30, 105, 200};
    case Glyph::Search: case Glyph::Back: case Glyph::Database: return {60, 90, 140};
    case Glyph::Pencil: return {205, 130, 20};
    case Glyph::Lock: case Glyph::Unlock: return {180, 130, 20};
    case Glyph::Calendar: return {190, 60, 40};
    case Glyph::Book: return {145, 75, 45};
  }
  return {0, 0, 0};
}

struct Node {
  int index;
  Glyph glyph;
  QColor colour;
};

// The pictures of ImageList1 that the tree's nodes use, by index.
const Node kNodes[] = {
    {3, Glyph::Phone, {0, 130, 90}},       {24, Glyph::Start, {0, 150, 70}},
    {14, Glyph::Sliders, {110, 90, 170}},  {11, Glyph::Help, {30, 110, 200}},
    {4, Glyph::People, {40, 100, 180}},    {19, Glyph::AddPerson, {30, 140, 120}},
    {0, Glyph::Pencil, {210, 130, 30}},    {17, Glyph::Database, {70, 110, 160}},
    {7, Glyph::Backup, {40, 90, 170}},     {5, Glyph::Gear, {100, 110, 130}},
    {26, Glyph::Hardware, {70, 90, 120}},  {23, Glyph::Lock, {190, 140, 20}},
    {18, Glyph::Book, {150, 80, 50}},      {10, Glyph::Info, {30, 110, 200}},
    {22, Glyph::Globe, {20, 130, 170}},    {28, Glyph::Database, {0, 120, 110}},
    {29, Glyph::Calendar, {160, 70, 110}}, {30, Glyph::Calendar, {40, 110, 160}},
};

}  // namespace

QString persian_font_family() {
  const QStringList families = QFontDatabase::families();
  for (const char* wanted : {"Tahoma", "Noto Sans Arabic UI", "Noto Sans Arabic"}) {
    if (families.contains(QString::fromLatin1(wanted))) return QString::fromLatin1(wanted);
  }
  return QString();
}

PictureInfo picture_info(Picture which) {
  switch (which) {
    case Picture::Banner: return {":/pictures/banner.jpg", 905, 56};
    case Picture::Home: return {":/pictures/home.jpg", 690, 470};
    case Picture::About: return {":/pictures/about.jpg", 220, 220};
    case Picture::Splash: return {":/pictures/splash.jpg", 411, 315};
    case Picture::Help: return {":/pictures/help.jpg", 500, 414};
  }
  return {"", 0, 0};
}

Pictures::Pictures(FormatProbe probe) {
  const QList<QByteArray> formats = probe ? probe() : QImageReader::supportedImageFormats();
  jpeg_ = formats.contains("jpeg") || formats.contains("jpg");
}

QPixmap Pictures::picture(Picture which) const {
  if (!jpeg_) return {};
  QImageReader reader(QString::fromLatin1(picture_info(which).resource), "jpeg");
  const QImage image = reader.read();
  return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QPixmap glyph_pixmap(Glyph glyph, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  draw_glyph(painter, glyph, QRectF(0, 0, size, size), ink_of(glyph), Qt::white);
  return pixmap;
}

QIcon glyph_icon(Glyph glyph) {
  QIcon icon;
  for (int size : {16, 20, 24, 32, 48}) icon.addPixmap(glyph_pixmap(glyph, size));
  return icon;
}

void set_glyph(QAbstractButton* button, Glyph glyph, int size) {
  if (!button) return;
  button->setIcon(glyph_icon(glyph));
  button->setIconSize(QSize(size, size));
}

void set_glyphs(QObject& root, std::initializer_list<GlyphFor> table, int size) {
  for (const auto& entry : table) {
    set_glyph(root.findChild<QAbstractButton*>(QString::fromLatin1(entry.button)), entry.glyph, size);
  }
}

QPixmap node_picture(int index) {
  for (const auto& node : kNodes) {
    if (node.index != index) continue;
    QPixmap pixmap(50, 50);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw_badge(painter, node.glyph, QRectF(0, 0, 50, 50), node.colour);
    return pixmap;
  }
  return {};
}

}  // namespace orvexa::app
