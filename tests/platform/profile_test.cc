#include <random>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  ScratchMachine m;
};

TEST_F(ProfileTest, GetPrivateProfileStringRules) {
  m.WriteFile("C:\\Setup\\nxSetup.ini",
              "; comentario\r\n"
              "Suelta=fuera de sección\r\n"
              "[Otra]\r\n"
              "Aplicacion=NoEsEsta\r\n"
              "[ APLICACION ]\r\n"
              "  Aplicacion  =   nxGestion   \r\n"
              "Version=1.2\r\n"
              "version=segunda\r\n"
              ";Ejecutable=comentada\r\n"
              "Vacia=\r\n"
              "Comillas=\"  con blancos  \"\r\n"
              "Simples='x'\r\n"
              "Mitad=\"abierta\r\n"
              "Igual=a=b\r\n"
              "SinIgual\r\n"
              "Nota=valor ; no es comentario\n"
              "[aplicacion]\r\n"
              "Tarde=no se lee\r\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"APLICACION", "Aplicacion", "nxGestion"},
      {"aplicacion", "APLICACION", "nxGestion"},
      {"APLICACION", "Version", "1.2"},  // the first of two wins
      {"APLICACION", "Ejecutable", "def"},
      {"APLICACION", "Vacia", ""},
      {"APLICACION", "Comillas", "  con blancos  "},
      {"APLICACION", "Simples", "x"},
      {"APLICACION", "Mitad", "\"abierta"},
      {"APLICACION", "Igual", "a=b"},
      {"APLICACION", "SinIgual", "def"},
      {"APLICACION", "Nota", "valor ; no es comentario"},
      {"APLICACION", "Tarde", "def"},  // a later section of the same name is not read
      {"Otra", "Aplicacion", "NoEsEsta"},
      {"Falta", "Aplicacion", "def"},
      {"", "Suelta", "def"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadProfileString("C:\\Setup\\NXSETUP.INI", c.section, c.key, "def"), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_EQ(ReadProfileString("C:\\Setup\\missing.ini", "APLICACION", "x", "por defecto  "), "por defecto");
  EXPECT_EQ(ReadProfileString("Q:\\nowhere.ini", "APLICACION", "x", "d"), "d");
}

TEST_F(ProfileTest, FilesAreReadInTheirEncoding) {
  const std::string text = "[Sección]\r\nNombre=Aplicación Señal €\r\n";
  auto utf16 = [&](bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : Utf8ToUtf16(text)) {
      const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
  };
  const std::string files[] = {*Utf8ToCodePage(text, kCodePageWindows1252), "\xEF\xBB\xBF" + text, utf16(false),
                               utf16(true)};
  for (const std::string& bytes : files) {
    m.WriteFile("C:\\x.ini", bytes);
    EXPECT_EQ(ReadProfileString("C:\\x.ini", "SECCIÓN", "nombre", "def"), "Aplicación Señal €");
  }
}

TEST_F(ProfileTest, HugeAndBinaryFilesAreReadWithoutHarm) {
  std::string huge = "[Relleno]\r\n";
  while (huge.size() < 8 * 1024 * 1024) huge += "Clave" + std::to_string(huge.size()) + "=valor de relleno\r\n";
  huge += "[APLICACION]\r\nAplicacion=alFinal\r\n";
  m.WriteFile("C:\\huge.ini", huge);
  EXPECT_EQ(ReadProfileString("C:\\huge.ini", "APLICACION", "Aplicacion", "def"), "alFinal");

  std::mt19937 random(7);
  std::string binary(1 << 20, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  m.WriteFile("C:\\binary.ini", binary);
  EXPECT_EQ(ReadProfileString("C:\\binary.ini", "APLICACION", "Aplicacion", "def"), "def");
  m.WriteFile("C:\\binary.ini", std::string("[A]\0\r\nK=v\0w\r\n", 13));
  EXPECT_EQ(ReadProfileString("C:\\binary.ini", "A", "K", "def"), "v");
}

}  // namespace
}  // namespace nx
