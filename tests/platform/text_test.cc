#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/text.h"

namespace nx {
namespace {

TEST(TextTest, Windows1252RoundTripsAndRefusesWhatItCannotHold) {
  struct Case {
    const char* utf8;
    const char* bytes;
  } cases[] = {
      {"Aplicación en puesto", "Aplicaci\xF3n en puesto"},
      {"€ ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ",
       "\x80 \x82 \x83 \x84 \x85 \x86 \x87 \x88 \x89 \x8A \x8B \x8C \x8E \x91 \x92 \x93 \x94 \x95 \x96 \x97 \x98 \x99 "
       "\x9A \x9B \x9C \x9E \x9F"},
      {"\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},  // the holes keep their C1 value
      {"ñÑüÜ¿¡ºª", "\xF1\xD1\xFC\xDC\xBF\xA1\xBA\xAA"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCodePage(c.utf8, kCodePageWindows1252), std::optional<std::string>(c.bytes)) << c.utf8;
    EXPECT_EQ(CodePageToUtf8(c.bytes, kCodePageWindows1252), c.utf8) << c.utf8;
  }
  for (const char* refused : {"Ā", "日本", "\xC2\x80", "\xFF\xFE", "\xC3"}) {
    EXPECT_EQ(Utf8ToCodePage(refused, kCodePageWindows1252), std::nullopt) << refused;
  }
  EXPECT_EQ(Utf8ToCodePage("€", kCodePageLatin1), std::nullopt);
  EXPECT_EQ(Utf8ToCodePage("\xC2\x80 á", kCodePageLatin1), std::optional<std::string>("\x80 \xE1"));
  EXPECT_EQ(CodePageToUtf8("\x80", kCodePageLatin1), "\xC2\x80");
  EXPECT_EQ(SystemCodePage(), kCodePageWindows1252);
  try {
    ToSystemCodePage("Ā");
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorNoUnicodeTranslation);
    EXPECT_NE(std::string(e.what()).find("Ā"), std::string::npos);
  }
}

TEST(TextTest, Utf16ConversionsKeepEveryCharacter) {
  const std::string text = "Año 𝄞 €";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"Año 𝄞 €");
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(TextTest, DecodeTextFileFollowsTheBom) {
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFniño"), "niño");
  EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFEn\0\xF1\0o\0", 8)), "nño");
  EXPECT_EQ(DecodeTextFile(std::string("\xFE\xFF\0n\0\xF1\0o", 8)), "nño");
  EXPECT_EQ(DecodeTextFile("ni\xF1o"), "niño");
  EXPECT_EQ(DecodeTextFile(""), "");
}

TEST(TextTest, FoldCaseFollowsWindowsNameRules) {
  EXPECT_TRUE(EqualsIgnoreCase("DataBase", "DATABASE"));
  EXPECT_TRUE(EqualsIgnoreCase("año", "AÑO"));
  EXPECT_TRUE(EqualsIgnoreCase("ÿ", "Ÿ"));
  EXPECT_TRUE(EqualsIgnoreCase("Łódź", "ŁÓDŹ"));
  EXPECT_FALSE(EqualsIgnoreCase("a", "á"));
  EXPECT_FALSE(EqualsIgnoreCase("ss", "ß"));
  EXPECT_EQ(FoldCase("Norvexa\\DataBase"), "NORVEXA\\DATABASE");
  EXPECT_EQ(FoldCase("\xFF"), "\xFF");  // not text: kept as it is
}

}  // namespace
}  // namespace nx
