// Writes the pictures of the window's buttons as PNG files, as the Qt window draws them, for the
// Windows program's resources. Usage: make_glyphs FOLDER

#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/qt/glyphs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_glyphs FOLDER\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  const struct {
    nx::TGlyph glyph;
    const char* name;
  } glyphs[] = {{nx::TGlyph::kInstalar, "instalar"},
                {nx::TGlyph::kCancelar, "cancelar"},
                {nx::TGlyph::kCarpeta, "carpeta"},
                {nx::TGlyph::kSoporte, "soporte"}};
  for (const auto& g : glyphs) {
    const QString file = QString::fromLocal8Bit(argv[1]) + "/" + g.name + ".png";
    const QPixmap picture = nx::GlyphIcon(g.glyph).pixmap(nx::GlyphSize(g.glyph));
    if (!picture.toImage().save(file, "PNG")) {
      std::fprintf(stderr, "make_glyphs: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
