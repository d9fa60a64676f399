#pragma once
// Text inside the program is UTF-8. These convert at the boundaries: files in the system's 8-bit
// code page, UTF-16 for the Win32 API and for files with a BOM, ISO8859_1 for the database.

#include <cstddef>
#include <optional>
#include <string>

namespace nx {

// A blank between words of a command line or a settings line: space or tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

enum CodePage : int { kCodePageLatin1 = 28591, kCodePageWindows1252 = 1252 };

// The machine's 8-bit (ANSI) code page: 1252 on the hosted machine, GetACP() on Windows.
int SystemCodePage();

// UTF-8 to an 8-bit code page. Characters the code page cannot hold give std::nullopt, never '?'.
std::optional<std::string> Utf8ToCodePage(const std::string& utf8, int codePage);
// An 8-bit code page to UTF-8. Bytes with no character in the code page (0x81 in 1252) map to
// the C1 control of the same value, as Windows does, so nothing read is lost.
std::string CodePageToUtf8(const std::string& bytes, int codePage);

// In the system code page; the first throws OsError(kErrorNoUnicodeTranslation) naming the text
// when a character cannot be written.
std::string ToSystemCodePage(const std::string& utf8);
std::string FromSystemCodePage(const std::string& bytes);

// One UTF-8 sequence at text[pos]: its code point and length in bytes. Length 0 for bytes that
// start no well-formed sequence (a stray continuation byte, a sequence cut short, an overlong
// form, a surrogate, a value past U+10FFFF).
struct Utf8Sequence {
  char32_t codePoint = 0;
  size_t length = 0;
};
Utf8Sequence DecodeUtf8At(const std::string& text, size_t pos);

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

// A file's content as text: by its BOM when it has one (UTF-8, UTF-16 LE or BE; the BOM is
// dropped), otherwise in the system code page.
std::string DecodeTextFile(const std::string& bytes);

// Windows letter case rules for names (ASCII and Latin-1 letters), used for paths, registry key
// and value names, profile sections and keys.
std::string FoldCase(const std::string& utf8);
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace nx
