#pragma once
// Text between the program (UTF-8) and a connection's character set. Internal to the database
// layer.

#include <string>

namespace nx {

// A connection's character set as a code page for the conversions: nx::kCodePageLatin1 for
// ISO8859_1, nx::kCodePageWindows1252 for WIN1252, kConnectionUtf8 for UTF8.
inline constexpr int kConnectionUtf8 = 65001;

// The code page of a Firebird character set name (letter case ignored); 0 when not supported.
int ConnectionCodePage(const std::string& charsetName);

// UTF-8 to the connection's bytes. A character the connection cannot carry raises EDatabaseError
// naming the character, its code and its position in `what` (a short description of the text,
// such as "la sentencia"), never a substitute character. Invalid UTF-8 is refused alike.
std::string ToConnectionText(const std::string& utf8, int codePage, const std::string& what);

// The connection's bytes to UTF-8; nothing is lost.
std::string FromConnectionText(const std::string& bytes, int codePage);

}  // namespace nx
