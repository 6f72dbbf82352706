// The glyphs, drawn with plain shapes on a 24-unit grid, so they depend on no font or file.
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <numbers>

#include "app/main/pictures.h"

namespace orvexa::app {

namespace {

struct Pen {
  QPainter& p;
  void stroke(const QColor& c, double width) {
    QPen pen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
  }
  void fill(const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
  }
};

void polygon(QPainter& p, std::initializer_list<QPointF> points) {
  p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

// The handset lies with its pads down, tilted so the ear is at the top left.
void phone(QPainter& p, const QColor& ink) {
  p.save();
  p.translate(12, 12.5);
  p.rotate(45);
  QPainterPath handle;
  handle.moveTo(-7.5, 0);
  handle.quadTo(0, -7, 7.5, 0);
  Pen pen{p};
  pen.stroke(ink, 4.6);
  p.drawPath(handle);
  pen.fill(ink);
  for (int side : {-1, 1}) {
    p.save();
    p.translate(side * 7.4, 1.8);
    p.rotate(side * 20);
    p.drawRoundedRect(QRectF(-4, -3.8, 8, 8), 2.6, 2.6);
    p.restore();
  }
  p.restore();
}

void disk(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen{p}.fill(ink);
  p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
  Pen{p}.fill(paper);
  p.drawRect(QRectF(7.5, 3, 9, 6));
  p.drawRoundedRect(QRectF(6, 13, 12, 8), 1, 1);
}

void tray_arrow(QPainter& p, const QColor& ink, bool down) {
  Pen pen{p};
  pen.stroke(ink, 2.4);
  p.drawPolyline(QPolygonF({QPointF(3, 14), QPointF(3, 20.5), QPointF(21, 20.5), QPointF(21, 14)}));
  pen.stroke(ink, 2.8);
  p.drawLine(QPointF(12, down ? 3 : 17), QPointF(12, down ? 13 : 7));
  pen.fill(ink);
  if (down) polygon(p, {{7, 10}, {17, 10}, {12, 16.5}});
  else polygon(p, {{7, 9}, {17, 9}, {12, 2.5}});
}

void lock(QPainter& p, const QColor& ink, const QColor& paper, bool open) {
  Pen pen{p};
  pen.stroke(ink, 2.6);
  QPainterPath shackle;
  shackle.moveTo(8, open ? 7 : 11);
  shackle.lineTo(8, 7.5);
  shackle.arcTo(QRectF(8, 3.5, 8, 8), 180, -180);
  shackle.lineTo(16, 11);
  if (open) shackle.translate(0, -2);
  p.drawPath(shackle);
  pen.fill(ink);
  p.drawRoundedRect(QRectF(5, 10.5, 14, 10.5), 2, 2);
  pen.fill(paper);
  p.drawEllipse(QPointF(12, 14.8), 1.7, 1.7);
  p.drawRect(QRectF(11.3, 15, 1.4, 3.2));
}

void person(QPainter& p, const QColor& ink, QPointF head, double size) {
  Pen{p}.fill(ink);
  p.drawEllipse(head, size, size);
  p.save();
  p.setClipRect(QRectF(0, 0, 24, 21));
  const double w = size * 3.6;
  p.drawEllipse(QRectF(head.x() - w / 2, head.y() + size * 1.3, w, w));
  p.restore();
}

void gear(QPainter& p, const QColor& ink, const QColor& paper) {
  QPolygonF teeth;
  constexpr int kTeeth = 8;
  for (int i = 0; i < kTeeth * 4; ++i) {
    const double angle = (i - 0.5) * std::numbers::pi / (kTeeth * 2);
    const double r = (i % 4 < 2) ? 10.5 : 7.8;
    teeth << QPointF(12 + r * std::cos(angle), 12 + r * std::sin(angle));
  }
  Pen{p}.fill(ink);
  p.drawPolygon(teeth);
  Pen{p}.fill(paper);
  p.drawEllipse(QPointF(12, 12), 3.4, 3.4);
}

void help_mark(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.fill(ink);
  p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
  pen.stroke(paper, 2.6);
  QPainterPath hook;
  hook.moveTo(8.6, 9.4);
  hook.cubicTo(8.6, 5.2, 15.4, 5.2, 15.4, 9.4);
  hook.cubicTo(15.4, 12, 12, 11.8, 12, 14.6);
  p.drawPath(hook);
  pen.fill(paper);
  p.drawEllipse(QPointF(12, 18.2), 1.6, 1.6);
}

void info_mark(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.fill(ink);
  p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
  pen.fill(paper);
  p.drawEllipse(QPointF(12, 7), 1.8, 1.8);
  p.drawRoundedRect(QRectF(10.5, 10, 3, 9), 1, 1);
}

void calendar(QPainter& p, const QColor& ink) {
  Pen pen{p};
  pen.stroke(ink, 1.8);
  p.drawRoundedRect(QRectF(3, 5, 18, 16), 2, 2);
  pen.fill(ink);
  p.drawRect(QRectF(3, 5, 18, 4.5));
  p.drawRoundedRect(QRectF(6.5, 2.5, 2.4, 4.5), 1, 1);
  p.drawRoundedRect(QRectF(15.1, 2.5, 2.4, 4.5), 1, 1);
  for (double y : {11.5, 15.5})
    for (double x : {6.0, 10.0, 14.0}) p.drawRect(QRectF(x, y, 2.6, 2.6));
}

void database(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.fill(ink);
  p.drawRect(QRectF(4.5, 6, 15, 13));
  p.drawEllipse(QRectF(4.5, 16.5, 15, 5));
  pen.fill(ink.lighter(135));
  p.drawEllipse(QRectF(4.5, 3.5, 15, 5));
  pen.stroke(paper, 1.1);
  p.drawArc(QRectF(4.5, 8.5, 15, 5), 180 * 16, 180 * 16);
  p.drawArc(QRectF(4.5, 12.5, 15, 5), 180 * 16, 180 * 16);
}

void eraser(QPainter& p, const QColor& ink, const QColor& paper) {
  p.save();
  p.translate(12, 11);
  p.rotate(-40);
  Pen{p}.fill(ink);
  p.drawRoundedRect(QRectF(-9, -4, 18, 8), 1.5, 1.5);
  Pen{p}.fill(paper);
  p.drawRect(QRectF(-9, -4, 6, 8));
  p.restore();
  Pen{p}.stroke(ink, 1.5);
  p.drawLine(QPointF(4, 21), QPointF(20, 21));
}

void trash(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.fill(ink);
  p.drawRoundedRect(QRectF(3.5, 5, 17, 2.6), 1, 1);
  p.drawRect(QRectF(9.5, 2.8, 5, 2.4));
  polygon(p, {{5.5, 8.6}, {18.5, 8.6}, {17, 21.5}, {7, 21.5}});
  pen.stroke(paper, 1.1);
  for (double x : {9.5, 12.0, 14.5}) p.drawLine(QPointF(x, 11), QPointF(x, 19));
}

void pencil(QPainter& p, const QColor& ink, const QColor& paper) {
  p.save();
  p.translate(12, 12);
  p.rotate(45);
  Pen pen{p};
  pen.fill(ink);
  p.drawRect(QRectF(-2.8, -11, 5.6, 15));
  pen.fill(paper);
  polygon(p, {{-2.8, 4}, {2.8, 4}, {0, 10}});
  pen.fill(ink);
  polygon(p, {{-1, 8}, {1, 8}, {0, 10.2}});
  p.restore();
}

void modem(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.stroke(ink, 1.7);
  p.drawLine(QPointF(17, 11), QPointF(19.5, 4));
  pen.fill(ink);
  p.drawEllipse(QPointF(19.5, 4), 1.6, 1.6);
  p.drawRoundedRect(QRectF(2, 10.5, 20, 9.5), 2, 2);
  pen.fill(paper);
  for (double x : {6.0, 9.5, 13.0}) p.drawEllipse(QPointF(x, 15.2), 1.3, 1.3);
}

void sliders(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  const double knob[] = {8, 16, 11};
  for (int i = 0; i < 3; ++i) {
    const double y = 5.5 + i * 6.5;
    pen.stroke(ink, 2);
    p.drawLine(QPointF(3, y), QPointF(21, y));
    p.setBrush(paper);
    p.drawEllipse(QPointF(knob[i], y), 2.6, 2.6);
  }
}

void globe(QPainter& p, const QColor& ink) {
  Pen pen{p};
  pen.stroke(ink, 2);
  p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
  pen.stroke(ink, 1.5);
  p.drawEllipse(QRectF(8, 2.5, 8, 19));
  p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
  p.drawLine(QPointF(4.6, 7.3), QPointF(19.4, 7.3));
  p.drawLine(QPointF(4.6, 16.7), QPointF(19.4, 16.7));
}

void book(QPainter& p, const QColor& ink, const QColor& paper) {
  Pen pen{p};
  pen.fill(ink);
  polygon(p, {{2, 5}, {11.3, 6.5}, {11.3, 20.5}, {2, 19}});
  polygon(p, {{12.7, 6.5}, {22, 5}, {22, 19}, {12.7, 20.5}});
  pen.stroke(paper, 1.1);
  for (double y : {9.5, 12.5, 15.5}) {
    p.drawLine(QPointF(4, y - 0.8), QPointF(9.5, y + 0.1));
    p.drawLine(QPointF(14.5, y + 0.1), QPointF(20, y - 0.8));
  }
}

// Green on a white ground, white on a badge.
QColor accent(const QColor& ink) { return ink == QColor(Qt::white) ? ink : QColor(0, 150, 60); }

}  // namespace

void draw_glyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& ink, const QColor& paper) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(box.topLeft());
  p.scale(box.width() / 24.0, box.height() / 24.0);
  Pen pen{p};
  switch (glyph) {
    case Glyph::Phone: phone(p, ink); break;
    case Glyph::Start:
      pen.fill(ink);
      p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
      pen.fill(paper);
      polygon(p, {{9, 6.5}, {18, 12}, {9, 17.5}});
      break;
    case Glyph::Record: pen.fill(ink); p.drawEllipse(QPointF(12, 12), 8, 8); break;
    case Glyph::Stop: pen.fill(ink); p.drawRoundedRect(QRectF(5, 5, 14, 14), 2, 2); break;
    case Glyph::Play: pen.fill(ink); polygon(p, {{6.5, 3.5}, {20, 12}, {6.5, 20.5}}); break;
    case Glyph::Folder:
      pen.fill(ink);
      p.drawRoundedRect(QRectF(2.5, 5, 8.5, 4), 1.5, 1.5);
      p.drawRoundedRect(QRectF(2.5, 7.5, 19, 13), 1.5, 1.5);
      pen.stroke(paper, 1);
      p.drawLine(QPointF(2.5, 10.5), QPointF(21.5, 10.5));
      break;
    case Glyph::Save: disk(p, ink, paper); break;
    case Glyph::Eraser: eraser(p, ink, paper); break;
    case Glyph::Hardware: modem(p, ink, paper); break;
    case Glyph::Help: help_mark(p, ink, paper); break;
    case Glyph::Info: info_mark(p, ink, paper); break;
    case Glyph::Sliders: sliders(p, ink, paper); break;
    case Glyph::Plus:
      pen.fill(ink);
      p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
      pen.fill(paper);
      p.drawRect(QRectF(6.5, 10.7, 11, 2.6));
      p.drawRect(QRectF(10.7, 6.5, 2.6, 11));
      break;
    case Glyph::Search:
      pen.stroke(ink, 2.6);
      p.drawEllipse(QPointF(10, 10), 6.3, 6.3);
      pen.stroke(ink, 3.6);
      p.drawLine(QPointF(15, 15), QPointF(20.5, 20.5));
      break;
    case Glyph::Trash: trash(p, ink, paper); break;
    case Glyph::Pencil: pencil(p, ink, paper); break;
    case Glyph::Check:
      pen.stroke(ink, 3.4);
      p.drawPolyline(QPolygonF({QPointF(4.5, 12.5), QPointF(9.5, 17.5), QPointF(19.5, 6.5)}));
      break;
    case Glyph::Cross:
      pen.stroke(ink, 3.4);
      p.drawLine(QPointF(6, 6), QPointF(18, 18));
      p.drawLine(QPointF(18, 6), QPointF(6, 18));
      break;
    case Glyph::Backup: tray_arrow(p, ink, true); break;
    case Glyph::Restore: tray_arrow(p, ink, false); break;
    case Glyph::Lock: lock(p, ink, paper, false); break;
    case Glyph::Unlock: lock(p, ink, paper, true); break;
    case Glyph::Back:
      pen.stroke(ink, 2.8);
      p.drawLine(QPointF(4, 12), QPointF(16, 12));
      pen.fill(ink);
      polygon(p, {{13, 5.5}, {20.5, 12}, {13, 18.5}});
      break;
    case Glyph::Calendar: calendar(p, ink); break;
    case Glyph::People: {
      QColor behind = ink;
      behind.setAlpha(150);
      person(p, behind, {16, 7}, 3.2);
      person(p, ink, {9, 9}, 3.5);
      break;
    }
    case Glyph::AddPerson:
      person(p, ink, {9, 8}, 3.6);
      pen.fill(accent(ink));
      p.drawRect(QRectF(15, 10.8, 8, 2.4));
      p.drawRect(QRectF(17.8, 8, 2.4, 8));
      break;
    case Glyph::Database: database(p, ink, paper); break;
    case Glyph::Gear: gear(p, ink, paper); break;
    case Glyph::Book: book(p, ink, paper); break;
    case Glyph::Globe: globe(p, ink); break;
  }
  p.restore();
}

void draw_badge(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient shade(box.topLeft(), box.bottomLeft());
  shade.setColorAt(0, colour.lighter(135));
  shade.setColorAt(1, colour.darker(115));
  p.setPen(QPen(colour.darker(140), box.width() / 40));
  p.setBrush(shade);
  const double radius = box.width() / 5;
  p.drawRoundedRect(box.adjusted(1, 1, -1, -1), radius, radius);
  const double inset = box.width() * 0.2;
  draw_glyph(p, glyph, box.adjusted(inset, inset, -inset, -inset), Qt::white, colour);
  p.restore();
}

}  // namespace orvexa::app
