#include <gtest/gtest.h>

#include "dbupdate/client_library.h"
#include "dbupdate/conexion.h"
#include "dbupdate/database_error.h"
#include "dbupdate/password.h"
#include "server_fixture.h"
#include "tools/firebird/engine_process.h"

namespace nx {
namespace {

class ConexionTest : public ServerTest {};

// Whatever failed, the login stays out of the text.
void ExpectNoLogin(const std::string& text, const std::string& tried = "") {
  EXPECT_EQ(text.find(ProductPassword()), std::string::npos);
  EXPECT_EQ(text.find("Password"), std::string::npos);
  if (!tried.empty()) {
    EXPECT_EQ(text.find(tried), std::string::npos);
  }
}

TEST_F(ConexionTest, OpenAndCloseDoNothingTheSecondTime) {
  TConexion con;
  con.Close();
  Connect(con);
  con.Open();
  EXPECT_TRUE(con.Connected());
  con.ExecuteDirect("CREATE TABLE T_OPEN (ID INTEGER)");
  con.Close();
  con.Close();
  EXPECT_FALSE(con.Connected());
  // Reconnecting refills the block and works on the same object.
  Connect(con);
  con.ExecuteDirect("INSERT INTO T_OPEN VALUES (1)");
  EXPECT_EQ(con.Params().size(), 7u);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_OPEN"), "1");
}

TEST_F(ConexionTest, FailedConnectionsCarryTheEngineTextAndNeverTheLogin) {
  struct Case {
    const char* what;
    std::string port, database, password;
    std::string expected;
  };
  const Case cases[] = {
      {"wrong password", Port(), "Gestion", "Wrong1",
       "Your user name and password are not defined. Ask your database administrator to set up "
       "a Firebird login."},
      {"no server on the port", std::to_string(FreeTcpPort()), "Gestion", ProductPassword(),
       "Unable to complete network request to host \"localhost\". Failed to establish a "
       "connection."},
      {"unknown alias", Port(), "NoExiste", ProductPassword(),
       "I/O error during \"open\" operation for file \"NoExiste\""},
  };
  for (const Case& c : cases) {
    TConexion con;
    LlenaParametros(con.Params(), "localhost", c.port, c.database, kCuentaAplicacion);
    con.Params()[2] = "Password=" + c.password;
    try {
      con.Open();
      ADD_FAILURE() << c.what << ": opened";
    } catch (const EDatabaseError& error) {
      const std::string text = error.what();
      EXPECT_EQ(text.substr(0, c.expected.size()), c.expected) << c.what << ": " << text;
      ExpectNoLogin(text, c.password);
    }
    EXPECT_FALSE(con.Connected()) << c.what;
  }
}

TEST_F(ConexionTest, FaultsOfTheBlockAreNamedWithoutItsValues) {
  struct Case {
    std::string line;  // replaces the line of the same name
    std::string expected;
  };
  const Case cases[] = {
      {"Database=", "no tiene la línea Database"},
      {"User_name=", "no tiene la línea User_name"},
      {"ServerCharSet=KOI8R", "\"KOI8R\" de la conexión no está admitido"},
      {"SQLDialect=4", "dialecto SQL \"4\""},
  };
  for (const Case& c : cases) {
    TConexion con;
    Fill(con);
    const std::string name = c.line.substr(0, c.line.find('='));
    for (std::string& line : con.Params()) {
      if (line.compare(0, name.size() + 1, name + "=") == 0) line = c.line;
    }
    try {
      con.Open();
      ADD_FAILURE() << c.line << ": opened";
    } catch (const EDatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos) << error.what();
      ExpectNoLogin(error.what());
    }
  }
}

TEST_F(ConexionTest, EachStatementIsCommittedAtOnceAndAFailingOneLeavesNoTrace) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_TRACE (ID INTEGER NOT NULL PRIMARY KEY)");
  con.ExecuteDirect("INSERT INTO T_TRACE VALUES (1)");
  // Visible to another attachment while this one stays open: committed, not pending.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_TRACE"), "1");
  con.ExecuteDirect("INSERT INTO T_TRACE VALUES (2)");

  // One statement whose first part succeeds before its second part fails.
  EXPECT_THROW(con.ExecuteDirect("EXECUTE BLOCK AS BEGIN "
                                 "INSERT INTO T_TRACE VALUES (3); "
                                 "INSERT INTO T_TRACE VALUES (1); END"),
               EDatabaseError);
  EXPECT_THROW(con.ExecuteDirect("INSERT INTO T_NOWHERE VALUES (1)"), EDatabaseError);
  con.ExecuteDirect("INSERT INTO T_TRACE VALUES (4)");
  EXPECT_EQ(Scalar("SELECT LIST(ID, ',') FROM (SELECT ID FROM T_TRACE ORDER BY ID)"), "1,2,4");
}

TEST_F(ConexionTest, StatementsNeedAnOpenConnectionAndWholeText) {
  TConexion con;
  Fill(con);
  EXPECT_THROW(con.ExecuteDirect("CREATE TABLE T_CLOSED (ID INTEGER)"), EDatabaseError);
  con.Open();
  // Sent NUL-terminated: an embedded NUL would have cut the statement short.
  EXPECT_THROW(con.ExecuteDirect(std::string("CREATE TABLE T_NUL (ID INTEGER)\0 garbage", 41)),
               EDatabaseError);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN "
                   "('T_CLOSED', 'T_NUL')"),
            "0");
}

TEST_F(ConexionTest, StatementsLongerThan64KiBRunWhole) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_LONG (B BLOB SUB_TYPE TEXT)");
  // Four literals of 30000 characters: 120 KB of statement, above any 16-bit length.
  std::string sql = "INSERT INTO T_LONG VALUES (CAST('" + std::string(30000, 'a') +
                    "' AS BLOB SUB_TYPE TEXT)";
  for (char c : {'b', 'c', 'd'}) sql += " || '" + std::string(30000, c) + "'";
  sql += ")";
  con.ExecuteDirect(sql);
  EXPECT_EQ(Scalar("SELECT CHAR_LENGTH(B) FROM T_LONG"), "120000");
}

TEST_F(ConexionTest, AMissingClientLibraryIsAClearErrorAtTheFirstOpen) {
  TConexion con;
  Fill(con);
  SetClientLibraryName("libfbclient-absent.so.2");
  try {
    con.Open();
    ADD_FAILURE() << "opened without a client library";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("biblioteca cliente de Firebird "
                                             "\"libfbclient-absent.so.2\""),
              std::string::npos)
        << error.what();
    ExpectNoLogin(error.what());
  }
  // A library that is not the client lacks its entry points.
  SetClientLibraryName("libc.so.6");
  try {
    con.Open();
    ADD_FAILURE() << "opened with the C library";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("no tiene la función isc_attach_database"),
              std::string::npos)
        << error.what();
  }
  SetClientLibraryName("");
  con.Open();
  EXPECT_TRUE(con.Connected());
}

}  // namespace
}  // namespace nx
