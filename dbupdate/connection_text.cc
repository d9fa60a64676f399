#include "dbupdate/connection_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "dbupdate/database_error.h"
#include "platform/text.h"

namespace nx {

namespace {

// One UTF-8 sequence at text[pos]: its length, or 0 when it is not valid UTF-8.
size_t SequenceLength(const std::string& text, size_t pos, uint32_t* codePoint) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length;
  uint32_t value;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  static const uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *codePoint = value;
  return length;
}

[[noreturn]] void Refuse(const std::string& utf8, int codePage, const std::string& what) {
  // Find the first character that cannot be carried, to name it.
  size_t pos = 0;
  size_t characterIndex = 1;
  while (pos < utf8.size()) {
    uint32_t codePoint = 0;
    const size_t length = SequenceLength(utf8, pos, &codePoint);
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
      uint32_t codePoint = 0;
      const size_t length = SequenceLength(utf8, pos, &codePoint);
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
