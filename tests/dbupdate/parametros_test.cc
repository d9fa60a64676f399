#include <gtest/gtest.h>

#include <cctype>

#include "dbupdate/parametros.h"
#include "dbupdate/password.h"

namespace nx {
namespace {

struct BlockCase {
  std::string host, port, database, user;
  std::string line1, line2;
};

TEST(LlenaParametros, GivesTheSevenLinesInOrder) {
  const BlockCase cases[] = {
      {"localhost", "737", "Gestion", kCuentaAplicacion, "Database=localhost/737:Gestion",
       "User_name=norvexa"},
      {"localhost", "737", "GestionX", kCuentaAplicacion, "Database=localhost/737:GestionX",
       "User_name=norvexa"},
      {"SERVIDOR", "3051", "C:\\Norvexa\\DataBase\\NXDUMMY.FDB", kCuentaAdministrador,
       "Database=SERVIDOR/3051:C:\\Norvexa\\DataBase\\NXDUMMY.FDB", "User_name=SYSDBA"},
  };
  for (const BlockCase& c : cases) {
    TParametros block;
    LlenaParametros(block, c.host, c.port, c.database, c.user);
    const TParametros expected = {
        c.line1,
        c.line2,
        "Password=" + ProductPassword(),
        "SQLDialect=3",
        "DriverPackageLoader=TDBXDynalinkDriverLoader,DbxCommonDriver140.bpl",
        "VendorLib=fbclient.DLL",
        "ServerCharSet=ISO8859_1",
    };
    EXPECT_EQ(block, expected) << c.line1;
  }
}

TEST(LlenaParametros, RefillsTheBlockInsteadOfAppending) {
  TParametros block = {"Database=old/1:Old", "Extra=1"};
  LlenaParametros(block, "localhost", 737, "Gestion", kCuentaAplicacion);
  LlenaParametros(block, "otro", 738, "GestionX", kCuentaAplicacion);
  ASSERT_EQ(block.size(), 7u);
  EXPECT_EQ(block[0], "Database=otro/738:GestionX");
  EXPECT_EQ(ValorParametro(block, "Extra"), std::nullopt);
}

TEST(ValorParametro, FirstLineOfTheNameWithoutRegardToCase) {
  const TParametros block = {"sin igual", "user_NAME=a=b", "User_name=second", "Empty="};
  EXPECT_EQ(ValorParametro(block, "User_Name"), "a=b");
  EXPECT_EQ(ValorParametro(block, "Empty"), "");
  EXPECT_EQ(ValorParametro(block, "Password"), std::nullopt);
  EXPECT_EQ(ValorParametro(block, "sin igual"), std::nullopt);
}

TEST(ProductPassword, TwoUpperCaseThenFourLowerCaseLettersEveryTime) {
  const std::string password = ProductPassword();
  ASSERT_EQ(password.size(), 6u);
  for (size_t i = 0; i < password.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(password[i]);
    if (i < 2) {
      EXPECT_FALSE(std::islower(c));
    } else {
      EXPECT_FALSE(std::isupper(c));
    }
  }
  EXPECT_EQ(ProductPassword(), password);
}

}  // namespace
}  // namespace nx
