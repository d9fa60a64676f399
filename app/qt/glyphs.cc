#include "app/qt/glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace nx {

namespace {

// A glossy round badge in the given colour.
void Badge(QPainter& p, const QRectF& r, const QColor& colour) {
  QRadialGradient fill(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.7);
  fill.setColorAt(0, colour.lighter(150));
  fill.setColorAt(1, colour.darker(120));
  p.setPen(QPen(colour.darker(160), 1));
  p.setBrush(fill);
  p.drawEllipse(r);
  QLinearGradient shine(r.topLeft(), QPointF(r.left(), r.center().y()));
  shine.setColorAt(0, QColor(255, 255, 255, 150));
  shine.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(shine);
  p.drawEllipse(QRectF(r.left() + r.width() * 0.18, r.top() + 2, r.width() * 0.64, r.height() * 0.45));
}

QPixmap Instalar() {
  QPixmap pm(28, 28);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  Badge(p, QRectF(1.5, 1.5, 25, 25), QColor(0x2E, 0x9E, 0x3A));
  QPainterPath tick;
  tick.moveTo(7.5, 14.5);
  tick.lineTo(12, 19);
  tick.lineTo(20.5, 9);
  p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(tick);
  return pm;
}

QPixmap Cancelar() {
  QPixmap pm(28, 28);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  Badge(p, QRectF(1.5, 1.5, 25, 25), QColor(0xD0, 0x32, 0x2A));
  p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(9.5, 9.5), QPointF(18.5, 18.5));
  p.drawLine(QPointF(18.5, 9.5), QPointF(9.5, 18.5));
  return pm;
}

QPixmap Carpeta() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor edge(0xB0, 0x80, 0x10);
  // Back of the folder with its tab.
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6, 3.5);
  back.lineTo(7.5, 5);
  back.lineTo(14.5, 5);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.setPen(QPen(edge, 1));
  p.setBrush(QColor(0xF2, 0xC2, 0x4A));
  p.drawPath(back);
  // Its open front, lighter.
  QPainterPath front;
  front.moveTo(1.5, 13.5);
  front.lineTo(3.5, 7.5);
  front.lineTo(15.5, 7.5);
  front.lineTo(14.5, 13.5);
  front.closeSubpath();
  QLinearGradient fill(0, 7.5, 0, 13.5);
  fill.setColorAt(0, QColor(0xFF, 0xE8, 0x8C));
  fill.setColorAt(1, QColor(0xF6, 0xCC, 0x50));
  p.setBrush(fill);
  p.drawPath(front);
  return pm;
}

QPixmap Soporte() {
  QPixmap pm(44, 44);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A monitor...
  p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
  p.setBrush(QColor(0xD8, 0xD8, 0xDC));
  p.drawRoundedRect(QRectF(3.5, 5.5, 34, 25), 2, 2);
  QLinearGradient screen(0, 8, 0, 28);
  screen.setColorAt(0, QColor(0x4A, 0x90, 0xE2));
  screen.setColorAt(1, QColor(0x1A, 0x4E, 0x9A));
  p.setPen(Qt::NoPen);
  p.setBrush(screen);
  p.drawRect(QRectF(6.5, 8.5, 28, 19));
  p.setBrush(QColor(0x90, 0x90, 0x98));
  p.drawRect(QRectF(17, 30.5, 7, 4));
  p.drawRoundedRect(QRectF(11, 34.5, 19, 3), 1.5, 1.5);
  // ...with a technician's headset in front of it.
  p.setPen(QPen(QColor(0x22, 0x22, 0x22), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(24, 18, 17, 17), 20 * 16, 140 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF0, 0x8A, 0x1C));
  p.drawRoundedRect(QRectF(23, 25, 5, 8), 2, 2);
  p.drawRoundedRect(QRectF(37, 25, 5, 8), 2, 2);
  p.setPen(QPen(QColor(0x22, 0x22, 0x22), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(25.5, 33), QPointF(31, 38));
  return pm;
}

}  // namespace

QSize GlyphSize(TGlyph glyph) {
  switch (glyph) {
    case TGlyph::kInstalar:
    case TGlyph::kCancelar: return QSize(28, 28);
    case TGlyph::kCarpeta: return QSize(16, 16);
    case TGlyph::kSoporte: return QSize(44, 44);
    case TGlyph::kNone: break;
  }
  return QSize();
}

QIcon GlyphIcon(TGlyph glyph) {
  switch (glyph) {
    case TGlyph::kInstalar: return QIcon(Instalar());
    case TGlyph::kCancelar: return QIcon(Cancelar());
    case TGlyph::kCarpeta: return QIcon(Carpeta());
    case TGlyph::kSoporte: return QIcon(Soporte());
    case TGlyph::kNone: break;
  }
  return QIcon();
}

}  // namespace nx
