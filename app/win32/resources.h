#pragma once
// Identifiers of the program's resources (RCDATA PNG pictures of the buttons).

#define NX_GLYPH_INSTALAR 101
#define NX_GLYPH_CANCELAR 102
#define NX_GLYPH_CARPETA 103
#define NX_GLYPH_SOPORTE 104
