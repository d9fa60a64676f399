// Paints the setup program's built-in banner and writes it as a PNG file (the build embeds it).
// Usage: make_banner OUTPUT.png

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

constexpr int kWidth = 135;
constexpr int kHeight = 392;

QString LoadFamily(const char* file, const QString& fallback) {
  const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(file));
  if (id < 0) return fallback;
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? fallback : families.first();
}

// One disc of a database stack: a cylinder slice seen slightly from above.
void Disc(QPainter& p, double cx, double top, double w, double h, double rim, int alpha) {
  const QRectF upper(cx - w / 2, top, w, rim);
  QPainterPath side;
  side.moveTo(cx - w / 2, top + rim / 2);
  side.lineTo(cx - w / 2, top + rim / 2 + h);
  side.arcTo(QRectF(cx - w / 2, top + h, w, rim), 180, 180);
  side.lineTo(cx + w / 2, top + rim / 2);
  side.arcTo(upper, 0, -180);
  QLinearGradient sideFill(cx - w / 2, 0, cx + w / 2, 0);
  sideFill.setColorAt(0, QColor(255, 255, 255, alpha / 2));
  sideFill.setColorAt(0.45, QColor(255, 255, 255, alpha));
  sideFill.setColorAt(1, QColor(255, 255, 255, alpha / 3));
  p.setPen(Qt::NoPen);
  p.setBrush(sideFill);
  p.drawPath(side);
  p.setBrush(QColor(255, 255, 255, qMin(255, alpha + 60)));
  p.setPen(QPen(QColor(255, 255, 255, 200), 1));
  p.drawEllipse(upper);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_banner OUTPUT.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString bold = LoadFamily("/usr/share/wine/fonts/tahomabd.ttf", "DejaVu Sans");
  const QString regular = LoadFamily("/usr/share/wine/fonts/tahoma.ttf", "DejaVu Sans");

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0.0, QColor(0x08, 0x24, 0x4C));
  sky.setColorAt(0.55, QColor(0x17, 0x5A, 0xA6));
  sky.setColorAt(1.0, QColor(0x0B, 0x33, 0x66));
  p.fillRect(image.rect(), sky);

  // Soft light behind the database stack.
  QRadialGradient glow(kWidth / 2.0, 215, 95);
  glow.setColorAt(0, QColor(120, 190, 255, 120));
  glow.setColorAt(1, QColor(120, 190, 255, 0));
  p.fillRect(image.rect(), glow);

  // Two slanted beams across the whole height.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 18));
  p.drawPolygon(QPolygonF({QPointF(20, 0), QPointF(70, 0), QPointF(135, 250), QPointF(135, 330)}));
  p.setBrush(QColor(255, 255, 255, 12));
  p.drawPolygon(QPolygonF({QPointF(0, 120), QPointF(0, 170), QPointF(135, 392), QPointF(90, 392)}));

  // Emblem: a rounded square holding the initial.
  const QRectF emblem(kWidth / 2.0 - 22, 22, 44, 44);
  QLinearGradient emblemFill(emblem.topLeft(), emblem.bottomRight());
  emblemFill.setColorAt(0, QColor(0xFF, 0xB3, 0x2E));
  emblemFill.setColorAt(1, QColor(0xE0, 0x6A, 0x10));
  p.setBrush(emblemFill);
  p.setPen(QPen(QColor(255, 255, 255, 220), 2));
  p.drawRoundedRect(emblem, 9, 9);
  QFont initial(bold);
  initial.setPixelSize(32);
  p.setFont(initial);
  p.setPen(Qt::white);
  p.drawText(emblem, Qt::AlignCenter, "N");

  QFont name(bold);
  name.setPixelSize(22);
  p.setFont(name);
  p.drawText(QRectF(0, 74, kWidth, 30), Qt::AlignCenter, "Norvexa");
  QFont setup(regular);
  setup.setPixelSize(13);
  setup.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(setup);
  p.setPen(QColor(0xBF, 0xDD, 0xFF));
  p.drawText(QRectF(0, 102, kWidth, 20), Qt::AlignCenter, "SETUP");
  p.setPen(QPen(QColor(255, 255, 255, 90), 1));
  p.drawLine(QPointF(28, 128), QPointF(kWidth - 28, 128));

  // The database stack: three discs, the lowest drawn first.
  for (int i = 2; i >= 0; --i) Disc(p, kWidth / 2.0, 168 + i * 30, 78, 22, 16, 110 + i * 20);

  // A network of workstations around the server, joined by thin lines.
  const QPointF hub(kWidth / 2.0, 300);
  const QPointF ends[] = {{22, 340}, {kWidth / 2.0, 352}, {kWidth - 22.0, 340}};
  p.setPen(QPen(QColor(255, 255, 255, 140), 1.2));
  for (const QPointF& e : ends) p.drawLine(hub, e);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 220));
  p.drawEllipse(hub, 4, 4);
  for (const QPointF& e : ends) {
    p.setBrush(QColor(0xFF, 0xB3, 0x2E));
    p.drawRoundedRect(QRectF(e.x() - 8, e.y() - 6, 16, 11), 2, 2);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRect(QRectF(e.x() - 4, e.y() + 5, 8, 2));
  }

  p.setPen(QColor(255, 255, 255, 150));
  QFont small(regular);
  small.setPixelSize(10);
  p.setFont(small);
  p.drawText(QRectF(0, kHeight - 24, kWidth, 16), Qt::AlignCenter, "Cliente / Servidor");
  p.end();

  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "make_banner: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
