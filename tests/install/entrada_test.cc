// The operator's texts that reach command lines, and the port text.

#include "install/entrada.h"

#include <gtest/gtest.h>

namespace nx {
namespace {

TEST(EntradaTest, FolderTextsThatWouldChangeACommandAreNamed) {
  struct Case {
    std::string carpeta;
    std::string nombrado;  // "" for a sound folder
  };
  const Case cases[] = {
      {"C:\\Norvexa\\", ""},
      {"C:\\Programas Contables\\Gestión\\", ""},
      {"\\\\servidor\\compartida\\", ""},
      {"C:\\x\" & echo pwned > C:\\pwned.txt & \"\\", "'\"'"},
      {"C:\\100%\\", "'%'"},
      {"C:\\a<b\\", "'<'"},
      {"C:\\a>b\\", "'>'"},
      {"C:\\a|b\\", "'|'"},
      {"C:\\a*\\", "'*'"},
      {"C:\\a?\\", "'?'"},
      {"C:\\a:b\\", "':'"},
      {"1:\\a\\", "':'"},
      {"C:\\a\tb\\", "de control (código 9)"},
  };
  for (const Case& c : cases) {
    std::optional<std::string> error = CarpetaNoValida(c.carpeta);
    if (c.nombrado.empty()) {
      EXPECT_FALSE(error) << c.carpeta << ": " << error.value_or("");
    } else {
      ASSERT_TRUE(error) << c.carpeta;
      EXPECT_EQ("La carpeta de instalación no puede contener el carácter " + c.nombrado +
                    ".\r\rCarpeta : " + c.carpeta,
                *error);
    }
  }
}

TEST(EntradaTest, ServerNamesAreLettersDigitsDotsHyphensOrAnIpv6Literal) {
  for (const char* sound : {"localhost", "Localhost", "nx-servidor.empresa.local", "192.168.1.20", "::1", "[fe80::1]"})
    EXPECT_FALSE(ServidorNoValido(sound)) << sound;
  struct Case {
    std::string servidor;
    std::string nombrado;
  };
  const Case cases[] = {{"localhost & echo pwned", "' '"}, {"a&b", "'&'"}, {"a\"b", "'\"'"},
                        {"a/b", "'/'"},  {"%COMPUTERNAME%", "'%'"}, {"servidor\n", "de control (código 10)"},
                        {"señor", "'ñ'"}};
  for (const Case& c : cases) {
    std::optional<std::string> error = ServidorNoValido(c.servidor);
    ASSERT_TRUE(error) << c.servidor;
    EXPECT_EQ("El nombre del servidor no puede contener el carácter " + c.nombrado + ".\r\rServidor : " + c.servidor,
              *error);
  }
  EXPECT_TRUE(ServidorNoValido(""));
}

TEST(EntradaTest, PortTexts) {
  EXPECT_EQ(733, PuertoDeTexto("733"));
  EXPECT_EQ(737, PuertoDeTexto(" 737 "));
  EXPECT_EQ(65534, PuertoDeTexto("65534"));
  for (const char* bad : {"", " ", "abc", "73a", "-1", "0", "65535", "99999", "7 33", "0x2DD", "733\" & x"})
    EXPECT_FALSE(PuertoDeTexto(bad)) << bad;
}

}  // namespace
}  // namespace nx
