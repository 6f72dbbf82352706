// The program's pictures: button glyphs and tree node pictures drawn in code, and the large
// JPEG pictures (banner, home, about, splash, help) shipped in the program's resources.
//
//   Pictures pictures;                                   // asks Qt which formats it reads
//   label->setPixmap(pictures.picture(Picture::Home));   // null without the JPEG plugin
//   button->setIcon(glyph_icon(Glyph::Record));
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <functional>
#include <initializer_list>
#include <string_view>

class QAbstractButton;
class QObject;
class QColor;
class QPainter;
class QRectF;

namespace orvexa::app {

enum class Glyph {
  Phone, Start, Record, Stop, Play, Folder, Save, Eraser, Hardware, Help, Info, Sliders, Plus,
  Search, Trash, Pencil, Check, Cross, Backup, Restore, Lock, Unlock, Back, Calendar, People,
  AddPerson, Database, Gear, Book, Globe,
};
inline constexpr int kGlyphCount = static_cast<int>(Glyph::Globe) + 1;

// The large pictures, JPEG files in the resources.
enum class Picture { Banner, Home, About, Splash, Help };
inline constexpr Picture kAllPictures[] = {Picture::Banner, Picture::Home, Picture::About,
                                           Picture::Splash, Picture::Help};

// Resource path and designed size of each large picture.
struct PictureInfo {
  const char* resource;
  int width;
  int height;
};
PictureInfo picture_info(Picture which);

// The font the windows use: Tahoma where installed, else the Persian UI font the set-up installs.
QString persian_font_family();

// Which image formats can be decoded; the default asks Qt's image plugins.
using FormatProbe = std::function<QList<QByteArray>()>;

namespace picture_text {
inline constexpr std::string_view kJpegMissing =
    "امکان نمايش تصاوير برنامه وجود ندارد : افزونه JPEG کتابخانه Qt نصب نمي باشد";
inline constexpr std::string_view kJpegMissingLog =
    "orvexa: Qt's JPEG image plugin (imageformats/libqjpeg) is missing; the pictures are not shown";
}  // namespace picture_text

class Pictures {
 public:
  explicit Pictures(FormatProbe probe = {});
  bool jpeg_available() const { return jpeg_; }
  // The decoded picture; null when it cannot be decoded (no JPEG plugin, damaged resource).
  QPixmap picture(Picture which) const;

 private:
  bool jpeg_ = false;
};

// Drawn in code: crisp at any size, so they need no image format at all.
QPixmap glyph_pixmap(Glyph glyph, int size);
QIcon glyph_icon(Glyph glyph);
void set_glyph(QAbstractButton* button, Glyph glyph, int size = 20);

struct GlyphFor {
  const char* button;  // object name
  Glyph glyph;
};
// Gives each named button under `root` its glyph; a name not found is skipped.
void set_glyphs(QObject& root, std::initializer_list<GlyphFor> table, int size = 20);

// A node picture of the navigation tree (50 by 50), by the node's picture index; null for an
// index no node uses.
QPixmap node_picture(int index);

// Draws `glyph` into the square `box` in `ink`; `paper` fills its inner details.
void draw_glyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& ink,
                const QColor& paper);
// A rounded badge in `colour` with `glyph` in white, as the tree nodes show them.
void draw_badge(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& colour);

}  // namespace orvexa::app
