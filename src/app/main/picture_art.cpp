// The large pictures, drawn from the glyphs and the window's colours; make_pictures writes them
// as the JPEG files the program ships.
#include "app/main/picture_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextOption>
#include <cmath>


namespace orvexa::app {

namespace {

const QColor kDeep(30, 60, 120);
const QColor kMid(60, 100, 170);
const QColor kLight(185, 204, 240);  // the main window's background
const QColor kGreen(0, 140, 70);

QFont font(double pixels, bool bold = false) {
  QFont f(persian_font_family());
  f.setPixelSize(static_cast<int>(pixels));
  f.setBold(bold);
  return f;
}

void vertical_shade(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(r, g);
}

// Persian text, right to left, in `box`.
void say(QPainter& p, const QRectF& box, const char* text, const QFont& f, const QColor& c,
         Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
  // Absolute: a right-to-left option would otherwise swap left and right.
  QTextOption option(align | Qt::AlignAbsolute);
  option.setTextDirection(Qt::RightToLeft);
  option.setWrapMode(QTextOption::WordWrap);
  p.setFont(f);
  p.setPen(c);
  p.drawText(box, QString::fromUtf8(text), option);
}

// Sound waves leaving the emblem on both sides.
void waves(QPainter& p, QPointF centre, double radius, const QColor& c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 1; i <= 3; ++i) {
    QColor faded = c;
    faded.setAlpha(230 - i * 55);
    p.setPen(QPen(faded, radius * 0.07, Qt::SolidLine, Qt::RoundCap));
    const double r = radius * (1.0 + 0.28 * i);
    const QRectF ring(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    p.drawArc(ring, -35 * 16, 70 * 16);
    p.drawArc(ring, 145 * 16, 70 * 16);
  }
  p.restore();
}

void emblem(QPainter& p, QPointF centre, double size, const QColor& wave_colour) {
  waves(p, centre, size * 0.62, wave_colour);
  draw_badge(p, Glyph::Phone, QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size), kGreen);
}

void thin_waves(QPainter& p, const QRectF& r, int lines) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  for (int k = 0; k < lines; ++k) {
    QPainterPath path;
    const double base = r.top() + r.height() * (k + 1) / (lines + 1);
    for (double x = r.left(); x <= r.right(); x += 4) {
      const double y = base + std::sin((x + k * 37) / 23.0) * r.height() * 0.12;
      if (x == r.left()) path.moveTo(x, y);
      else path.lineTo(x, y);
    }
    p.setPen(QPen(QColor(255, 255, 255, 45), 1.4));
    p.drawPath(path);
  }
  p.restore();
}

QImage banner() {
  QImage img(905, 56, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient g(0, 0, img.width(), 0);
  g.setColorAt(0, kLight);
  g.setColorAt(0.35, kLight.darker(104));
  g.setColorAt(1, kDeep);
  p.fillRect(img.rect(), g);
  thin_waves(p, QRectF(280, 0, 625, 56), 3);
  draw_badge(p, Glyph::Phone, QRectF(560, 8, 40, 40), kGreen);
  say(p, QRectF(610, 0, 230, 56), "Orvexa  5.0", font(26, true), Qt::white,
      Qt::AlignLeft | Qt::AlignVCenter);
  return img;
}

// The home page and the splash share one layout: emblem, name and a line of text, centred.
struct Card {
  QColor top, bottom, tagline_colour;
  double emblem_y, emblem_size, name_y, name_px, tagline_y, tagline_px;
  const char* tagline;
};

void title_card(QPainter& p, const QRectF& r, const Card& c) {
  vertical_shade(p, r, c.top, c.bottom);
  thin_waves(p, QRectF(0, c.tagline_y - 5, r.width(), c.tagline_px * 3.5), 3);
  emblem(p, {r.width() / 2, c.emblem_y}, c.emblem_size, Qt::white);
  say(p, QRectF(0, c.name_y, r.width(), c.name_px * 1.25), "Orvexa", font(c.name_px, true),
      Qt::white, Qt::AlignCenter);
  say(p, QRectF(0, c.tagline_y, r.width(), c.tagline_px * 1.7), c.tagline, font(c.tagline_px),
      c.tagline_colour, Qt::AlignCenter);
}

QImage home() {
  QImage img(690, 470, QImage::Format_RGB32);
  QPainter p(&img);
  title_card(p, img.rect(), {kMid, kLight, kDeep, 120, 130, 195, 56, 262, 24,
                             "سامانه ارسال پيام صوتي تلفني به گروه ها"});
  struct Feature {
    Glyph glyph;
    QColor colour;
    const char* caption;
  };
  const Feature features[] = {{Glyph::People, {40, 100, 180}, "گروه ها و اعضا"},
                              {Glyph::Record, {195, 35, 35}, "پيام صوتي"},
                              {Glyph::Calendar, {190, 60, 40}, "تاريخ هاي شمسي"},
                              {Glyph::Backup, {40, 90, 170}, "پشتيباني اطلاعات"}};
  for (int i = 0; i < 4; ++i) {
    const double cell = 690 - 45 - 150 * (i + 1);  // right to left
    draw_badge(p, features[i].glyph, QRectF(cell + 75 - 28, 330, 56, 56), features[i].colour);
    say(p, QRectF(cell, 392, 150, 30), features[i].caption, font(16), kDeep, Qt::AlignCenter);
  }
  return img;
}

QImage about() {
  QImage img(220, 220, QImage::Format_RGB32);
  QPainter p(&img);
  QRadialGradient g(QPointF(110, 90), 150);
  g.setColorAt(0, Qt::white);
  g.setColorAt(1, kLight);
  p.fillRect(img.rect(), g);
  emblem(p, {110, 85}, 90, kMid);
  say(p, QRectF(0, 150, 220, 50), "Orvexa  5.0", font(26, true), kDeep, Qt::AlignCenter);
  return img;
}

QImage splash() {
  QImage img(411, 315, QImage::Format_RGB32);
  QPainter p(&img);
  title_card(p, img.rect(), {kDeep, kMid, kLight, 95, 100, 150, 48, 205, 18,
                             "سامانه ارسال پيام صوتي تلفني"});
  p.fillRect(QRectF(60, 262, 291, 4), QColor(255, 255, 255, 60));
  p.fillRect(QRectF(60, 262, 180, 4), kLight);
  say(p, QRectF(0, 272, 411, 30), "نسخه 5,0", font(14), kLight, Qt::AlignCenter);
  p.setPen(QPen(kLight, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(img.rect().adjusted(1, 1, -2, -2));
  return img;
}

QImage help() {
  QImage img(500, 414, QImage::Format_RGB32);
  QPainter p(&img);
  p.fillRect(img.rect(), QColor(250, 251, 255));
  vertical_shade(p, QRectF(0, 0, 500, 48), kMid, kDeep);
  say(p, QRectF(20, 0, 460, 48), "راهنماي انجام عمليات", font(20, true), Qt::white);
  struct Step {
    Glyph glyph;
    const char* text;
  };
  const Step steps[] = {
      {Glyph::Record, "1. پيام آغازين و پيام اصلي را با ميکروفن ضبط نماييد"},
      {Glyph::Folder, "2. و يا فايل صوتي (Wave) آماده هر پيام را انتخاب نماييد"},
      {Glyph::Play, "3. پيام ها را اجرا کرده و از درستي آنها مطمئن شويد"},
      {Glyph::Hardware, "4. در صورت نياز دستگاه مودم را از بخش سخت افزار انتخاب نماييد"},
      {Glyph::People, "5. تماس با يک شماره , يک گروه و يا کليه گروه ها را برگزينيد"},
      {Glyph::Calendar, "6. براي تبريک و يادآوري , فيلتر تاريخ را فعال نماييد"},
      {Glyph::Start, "7. دکمه انجام عمليات را فشار دهيد و گزارش را دنبال نماييد"},
  };
  double y = 62;
  for (const auto& s : steps) {
    draw_glyph(p, s.glyph, QRectF(452, y + 6, 26, 26), QColor(40, 95, 170), Qt::white);
    say(p, QRectF(20, y, 420, 38), s.text, font(15), QColor(20, 30, 60));
    p.fillRect(QRectF(20, y + 41, 460, 1), QColor(210, 218, 235));
    y += 44;
  }
  p.fillRect(QRectF(0, 376, 500, 38), QColor(232, 238, 250));
  say(p, QRectF(20, 376, 460, 38),
      "مخاطب با کليد 1 پيام اصلي را مي شنود و با کليد 2 تماس پايان مي يابد", font(14), kDeep);
  return img;
}

}  // namespace

QImage draw_picture(Picture which) {
  switch (which) {
    case Picture::Banner: return banner();
    case Picture::Home: return home();
    case Picture::About: return about();
    case Picture::Splash: return splash();
    case Picture::Help: return help();
  }
  return {};
}

}  // namespace orvexa::app
