#include <gtest/gtest.h>

#include "dbupdate/consulta.h"
#include "dbupdate/database_error.h"
#include "server_fixture.h"

namespace nx {
namespace {

class TextAndErrorsTest : public ServerTest {};

// What the schema synchronisation takes out of an error: from one character after the first
// "ERROR" to the first "At ".
std::string ExceptionMessage(const std::string& text) {
  const size_t name = text.find("ERROR");
  if (name == std::string::npos) return "";
  const std::string rest = text.substr(name + 6);
  const size_t at = rest.find("At ");
  return at == std::string::npos ? "" : rest.substr(0, at);
}

TEST_F(TextAndErrorsTest, AnExceptionRaisedInAProcedureGivesNameMessageAndLocation) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE EXCEPTION ERROR 'Problema no definido'");
  con.ExecuteDirect(
      "CREATE PROCEDURE COMPROBACIONES_ACTUALIZAR AS\n"
      "BEGIN\n"
      "  EXCEPTION ERROR 'Versión anterior a la 1.2: actualice O''Brien primero';\n"
      "END");
  try {
    con.ExecuteDirect("execute procedure comprobaciones_Actualizar");
    ADD_FAILURE() << "the procedure did not raise";
  } catch (const EDatabaseError& error) {
    ASSERT_EQ(error.lines().size(), 4u) << error.what();
    EXPECT_EQ(error.lines()[0].rfind("exception ", 0), 0u) << error.what();
    EXPECT_EQ(error.lines()[1], "ERROR");
    EXPECT_EQ(error.lines()[2], "Versión anterior a la 1.2: actualice O'Brien primero");
    EXPECT_EQ(error.lines()[3], "At procedure 'COMPROBACIONES_ACTUALIZAR' line: 3, col: 3");
    EXPECT_EQ(ExceptionMessage(error.what()),
              std::string("Versión anterior a la 1.2: actualice O'Brien primero") +
                  kDatabaseErrorSeparator);
  }
}

TEST_F(TextAndErrorsTest, Latin1TextMakesTheRoundTripOneByteACharacter) {
  const std::string text = "Añoranza ÁÉÍÓÚ áéíóú üÜ ñÑ çÇ ¿¡ ºª ß ÿ ´";
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_LATIN (V VARCHAR(100), B BLOB SUB_TYPE TEXT)");
  con.ExecuteDirect("INSERT INTO T_LATIN VALUES ('" + text + "', '" + text + "')");
  TConsulta q(con);
  q.SetSQL("SELECT V, B, CHAR_LENGTH(V), OCTET_LENGTH(V) FROM T_LATIN WHERE V LIKE 'Añoranza%'");
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldAsString(0), text);
  EXPECT_EQ(q.FieldAsString(1), text);
  EXPECT_EQ(q.FieldAsString(2), "41");
  EXPECT_EQ(q.FieldAsString(3), "41");
}

TEST_F(TextAndErrorsTest, ACharacterOutsideLatin1IsRefusedNamingIt) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_EURO (V VARCHAR(10))");
  try {
    con.ExecuteDirect("INSERT INTO T_EURO VALUES ('10 €')");
    ADD_FAILURE() << "sent";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("\"€\" (U+20AC)"), std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("ISO8859_1"), std::string::npos);
  }
  TConsulta q(con);
  q.SetSQL("SELECT V FROM T_EURO WHERE V = 'Ωmega'");
  EXPECT_THROW(q.Open(), EDatabaseError);
  EXPECT_THROW(con.ExecuteDirect("INSERT INTO T_EURO VALUES ('\xC3')"), EDatabaseError);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_EURO"), "0");
}

}  // namespace
}  // namespace nx
