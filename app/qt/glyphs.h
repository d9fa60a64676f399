#pragma once
// The pictures of the window's buttons, drawn here rather than taken from anywhere.

#include <QIcon>
#include <QSize>

#include "app/controls.h"

namespace nx {

// An empty icon for TGlyph::kNone.
QIcon GlyphIcon(TGlyph glyph);
// The size the glyph is drawn at.
QSize GlyphSize(TGlyph glyph);

}  // namespace nx
