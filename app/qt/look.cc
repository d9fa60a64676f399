#include "app/qt/look.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStyleFactory>

namespace nx {

namespace {

constexpr char kWineFonts[] = "/usr/share/wine/fonts/";

// Only the regular face is loaded: the bold face shipped beside it draws regular-weight strokes
// at the window's sizes, where the regular face emboldened reads as the bold it should be.
QString LoadFamily() {
  if (QFontDatabase::families().contains("Tahoma", Qt::CaseInsensitive)) return "Tahoma";
  const int id = QFontDatabase::addApplicationFont(QString(kWineFonts) + "tahoma.ttf");
  if (id >= 0) {
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty()) return families.first();
  }
  for (const char* close : {"DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"})
    if (QFontDatabase::families().contains(close)) return close;
  return QFont().defaultFamily();
}

// The system colours of the desktop the window was drawn for (Windows XP, blue theme).
QColor SystemColour(int index) {
  switch (index) {
    case 5: return QColor(0xFF, 0xFF, 0xFF);   // window
    case 8: return QColor(0x00, 0x00, 0x00);   // window text
    case 15: return QColor(0xEC, 0xE9, 0xD8);  // button face
    case 16: return QColor(0xAC, 0xA8, 0x99);  // button shadow
    case 26: return QColor(0x00, 0x66, 0xCC);  // hot-tracked item
    default: return QColor(0x00, 0x00, 0x00);
  }
}

}  // namespace

QString TahomaFamily() {
  static const QString family = LoadFamily();
  return family;
}

QFont ToQFont(const TFont& font) {
  QFont f(font.Name == "Tahoma" ? TahomaFamily() : QString::fromStdString(font.Name));
  f.setPixelSize(font.Pixels);
  f.setBold(font.Bold);
  return f;
}

QColor ToQColor(TColor color) {
  if ((color & 0xFF000000u) == 0xFF000000u) return SystemColour(static_cast<int>(color & 0xFF));
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

void ApplyLook(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create("Fusion")) app.setStyle(fusion);
  QPalette p = app.palette();
  const QColor face = ToQColor(clBtnFace);
  p.setColor(QPalette::Window, face);
  p.setColor(QPalette::Button, face);
  p.setColor(QPalette::Base, ToQColor(clWindow));
  p.setColor(QPalette::WindowText, ToQColor(clWindowText));
  p.setColor(QPalette::Text, ToQColor(clWindowText));
  p.setColor(QPalette::ButtonText, ToQColor(clWindowText));
  p.setColor(QPalette::Highlight, QColor(0x31, 0x6A, 0xC5));
  p.setColor(QPalette::HighlightedText, Qt::white);
  app.setPalette(p);
  app.setFont(ToQFont(TFont{}));
}

}  // namespace nx
