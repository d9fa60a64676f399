#pragma once
// How the window looks on this toolkit: its fonts, the system colours, the application style.

#include <QColor>
#include <QFont>
#include <QString>

#include "app/controls.h"

class QApplication;

namespace nx {

// The family that stands for Tahoma: an installed Tahoma, else the metric-compatible one shipped
// at /usr/share/wine/fonts (loaded into the application on first use), else the closest narrow
// sans-serif there is.
QString TahomaFamily();

QFont ToQFont(const TFont& font);
QColor ToQColor(TColor color);

// The application style, palette and default font (Tahoma at 11 pixels).
void ApplyLook(QApplication& app);

}  // namespace nx
