#include "dbupdate/connection_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "dbupdate/database_error.h"
#include "platform/text.h"

namespace nx {

namespace {

[[noreturn]] void Refuse(const std::string& utf8, int codePage, const std::string& what) {
  // Find the first character that cannot be carried, to name it.
  size_t pos = 0;
  size_t characterIndex = 1;
  while (pos < utf8.size()) {
    const Utf8Sequence sequence = DecodeUtf8At(utf8, pos);
    const size_t length = sequence.length;
    const uint32_t codePoint = sequence.codePoint;
    if (length == 0) {
      throw EDatabaseError("El texto de " + what + " no es UTF-8 válido (byte " +
                           std::to_string(pos + 1) + ").");
    }
    const std::string character = utf8.substr(pos, length);
    if (codePage != kConnectionUtf8 && !Utf8ToCodePage(character, codePage).has_value()) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(codePoint));
      throw EDatabaseError("El carácter \"" + character + "\" (" + code + ") de " + what +
                           ", en la posición " + std::to_string(characterIndex) +
                           ", no existe en el juego de caracteres de la conexión (" +
                           (codePage == kCodePageLatin1 ? "ISO8859_1" : "WIN1252") + ").");
    }
    pos += length;
    ++characterIndex;
  }
  throw EDatabaseError("El texto de " + what + " no se puede convertir para la conexión.");
}

}  // namespace

int ConnectionCodePage(const std::string& charsetName) {
  const std::string name = FoldCase(charsetName);
  if (name == FoldCase("ISO8859_1")) return kCodePageLatin1;
  if (name == FoldCase("WIN1252")) return kCodePageWindows1252;
  if (name == FoldCase("UTF8")) return kConnectionUtf8;
  return 0;
}

std::string ToConnectionText(const std::string& utf8, int codePage, const std::string& what) {
  if (codePage == kConnectionUtf8) {
    for (size_t pos = 0; pos < utf8.size();) {
      const size_t length = DecodeUtf8At(utf8, pos).length;
      if (length == 0) Refuse(utf8, codePage, what);
      pos += length;
    }
    return utf8;
  }
  std::optional<std::string> bytes = Utf8ToCodePage(utf8, codePage);
  if (!bytes.has_value()) Refuse(utf8, codePage, what);
  return *bytes;
}

std::string FromConnectionText(const std::string& bytes, int codePage) {
  if (codePage == kConnectionUtf8) return bytes;
  return CodePageToUtf8(bytes, codePage);
}

}  // namespace nx
