#include "platform/text.h"
#include "platform/text_native.h"

#include <cstdint>

#include "platform/error.h"

namespace nx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five holes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool OwnCodePage(int codePage) {
  return codePage == kCodePageWindows1252 || codePage == kCodePageLatin1;
}

// Decodes one UTF-8 sequence at text[i] and advances i; a malformed sequence gives -1 (one byte used).
int64_t DecodeUtf8(const std::string& text, size_t& i) {
  const Utf8Sequence sequence = DecodeUtf8At(text, i);
  if (sequence.length == 0) {
    ++i;
    return -1;
  }
  i += sequence.length;
  return sequence.codePoint;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16UnitsToUtf8(const char16_t* units, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = kReplacement;
    }
    AppendUtf8(out, u);
  }
  return out;
}

std::string Utf16BytesToUtf8(const std::string& bytes, size_t offset, bool bigEndian) {
  std::u16string units;
  units.reserve((bytes.size() - offset) / 2);
  for (size_t i = offset; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
  }
  return Utf16UnitsToUtf8(units.data(), units.size());
}

// Replaces malformed UTF-8 with U+FFFD, so that what leaves here is always valid text.
std::string SanitizeUtf8(const std::string& text, size_t offset) {
  std::string out;
  out.reserve(text.size() - offset);
  size_t i = offset;
  while (i < text.size()) {
    const size_t start = i;
    const int64_t cp = DecodeUtf8(text, i);
    if (cp < 0) {
      AppendUtf8(out, kReplacement);
    } else {
      out.append(text, start, i - start);
    }
  }
  return out;
}

char32_t UpperCase(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs: upper at even (0x100..0x137, 0x14A..0x177), odd elsewhere.
    if ((c <= 0x137 || (c >= 0x14A && c <= 0x177))) return (c & 1) ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::optional<std::string> Utf8ToCodePage(const std::string& utf8, int codePage) {
  if (!OwnCodePage(codePage)) return NativeUtf8ToCodePage(utf8, codePage);
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const int64_t cp = DecodeUtf8(utf8, i);
    if (cp < 0) return std::nullopt;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (codePage == kCodePageLatin1) {
      if (cp <= 0xFF) {
        out.push_back(static_cast<char>(cp));
        continue;
      }
      return std::nullopt;
    }
    bool found = false;
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == cp) {
        out.push_back(static_cast<char>(0x80 + k));
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  return out;
}

std::string CodePageToUtf8(const std::string& bytes, int codePage) {
  if (!OwnCodePage(codePage)) return NativeCodePageToUtf8(bytes, codePage);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out.push_back(ch);
    } else if (b < 0xA0 && codePage == kCodePageWindows1252) {
      AppendUtf8(out, kCp1252High[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::string ToSystemCodePage(const std::string& utf8) {
  std::optional<std::string> bytes = Utf8ToCodePage(utf8, SystemCodePage());
  if (!bytes) throw OsError(kErrorNoUnicodeTranslation, utf8);
  return *bytes;
}

std::string FromSystemCodePage(const std::string& bytes) {
  return CodePageToUtf8(bytes, SystemCodePage());
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    int64_t cp = DecodeUtf8(utf8, i);
    if (cp < 0) cp = kReplacement;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) {
  return Utf16UnitsToUtf8(utf16.data(), utf16.size());
}

std::string DecodeTextFile(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return SanitizeUtf8(bytes, 3);
  if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) return Utf16BytesToUtf8(bytes, 2, false);
  if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFE\xFF") == 0) return Utf16BytesToUtf8(bytes, 2, true);
  return FromSystemCodePage(bytes);
}

std::string FoldCase(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b));
      ++i;
      continue;
    }
    const size_t start = i;
    const int64_t cp = DecodeUtf8(utf8, i);
    if (cp < 0) {
      out.append(utf8, start, i - start);  // not text: kept byte for byte
    } else {
      AppendUtf8(out, UpperCase(static_cast<char32_t>(cp)));
    }
  }
  return out;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() == b.size()) {
    bool same = true;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) {
        same = false;
        break;
      }
    }
    if (same) return true;
  }
  return FoldCase(a) == FoldCase(b);
}

Utf8Sequence DecodeUtf8At(const std::string& text, size_t pos) {
  if (pos >= text.size()) return {};
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) return {b0, 1};
  size_t extra;
  char32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    return {};
  }
  if (pos + extra >= text.size()) return {};
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(text[pos + k]);
    if ((b & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return {};
  }
  return {cp, extra + 1};
}

}  // namespace nx
