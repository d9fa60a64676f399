#include <gtest/gtest.h>

#include "dbupdate/consulta.h"
#include "dbupdate/database_error.h"
#include "server_fixture.h"

namespace nx {
namespace {

class ConsultaTest : public ServerTest {};

TEST_F(ConsultaTest, ReadsEveryKindOfColumnAsText) {
  struct Case {
    const char* expression;
    const char* text;
  };
  const Case cases[] = {
      {"CAST(-123.45 AS NUMERIC(15,2))", "-123.45"},
      {"CAST(0.05 AS NUMERIC(9,2))", "0.05"},
      {"CAST(-0.05 AS DECIMAL(18,4))", "-0.0500"},
      {"CAST(7 AS NUMERIC(4,1))", "7.0"},
      {"CAST(-32768 AS SMALLINT)", "-32768"},
      {"CAST(2147483647 AS INTEGER)", "2147483647"},
      {"CAST(-9223372036854775808 AS BIGINT)", "-9223372036854775808"},
      {"CAST(0.1 AS DOUBLE PRECISION)", "0.1"},
      {"CAST(1.5 AS FLOAT)", "1.5"},
      {"CAST(-2.5e-10 AS DOUBLE PRECISION)", "-2.5e-10"},
      {"DATE '2024-02-29'", "2024-02-29"},
      {"TIME '10:11:12'", "10:11:12"},
      {"TIME '10:11:12.34'", "10:11:12.3400"},
      {"TIMESTAMP '1858-11-17 00:00:00'", "1858-11-17 00:00:00"},
      {"TIMESTAMP '2024-12-31 23:59:59.9999'", "2024-12-31 23:59:59.9999"},
      {"TRUE", "TRUE"},
      {"1 = 0", "FALSE"},
      {"CAST('ab' AS CHAR(5))", "ab   "},
      {"CAST('ñandú' AS VARCHAR(10))", "ñandú"},
      {"''", ""},
      {"CAST(NULL AS INTEGER)", ""},
      {"CAST(NULL AS VARCHAR(5))", ""},
      {"CAST('texto ñ' AS BLOB SUB_TYPE TEXT)", "texto ñ"},
      {"CAST(NULL AS BLOB SUB_TYPE TEXT)", ""},
  };
  std::string sql = "SELECT ";
  for (const Case& c : cases) sql += std::string(&c == cases ? "" : ", ") + c.expression;
  sql += " FROM RDB$DATABASE";

  TConexion con;
  Connect(con);
  TConsulta q(con);
  q.SetSQL(sql);
  q.Open();
  ASSERT_FALSE(q.Eof());
  ASSERT_EQ(q.FieldCount(), static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(q.FieldAsString(static_cast<int>(i)), cases[i].text) << cases[i].expression;
  }
}

TEST_F(ConsultaTest, LongTextsAreReadWhole) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect(
      "CREATE TABLE T_BIG (V VARCHAR(32000), B BLOB SUB_TYPE TEXT, R BLOB SUB_TYPE BINARY)");
  // 32000 characters, accented ones included: one byte each on the connection, two in UTF-8.
  std::string varchar;
  for (int i = 0; i < 32000; ++i) varchar += (i % 100 == 0) ? "é" : std::string(1, 'a' + i % 26);
  con.ExecuteDirect("INSERT INTO T_BIG (V) VALUES ('" + varchar + "')");
  // 100000 characters in the text blob, far above a segment and above 64 KiB.
  con.ExecuteDirect("UPDATE T_BIG SET B = CAST(V AS BLOB SUB_TYPE TEXT) || V || V || '" +
                    std::string(4000, 'z') + "', R = X'00FF7F80'");

  TConsulta q(con);
  q.SetSQL("SELECT V, B, R, CHAR_LENGTH(V), OCTET_LENGTH(V) FROM T_BIG");
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldAsString(0), varchar);
  EXPECT_EQ(q.FieldAsString(1), varchar + varchar + varchar + std::string(4000, 'z'));
  // Every byte of a binary blob, each as the character of the same code.
  EXPECT_EQ(q.FieldAsString(2), std::string("\x00\xC3\xBF\x7F\xC2\x80", 6));
  EXPECT_EQ(q.FieldAsString(3), "32000");
  EXPECT_EQ(q.FieldAsString(4), "32000");
}

TEST_F(ConsultaTest, RowsComeInOrderAndAnEmptyResultIsAtItsEndAtOnce) {
  TConexion con;
  Connect(con);
  TConsulta q(con);
  EXPECT_TRUE(q.Eof());  // never opened
  q.SetSQL("SELECT RDB$RELATION_ID FROM RDB$DATABASE WHERE 1 = 0");
  q.Open();
  EXPECT_TRUE(q.Active());
  EXPECT_TRUE(q.Eof());
  EXPECT_THROW(q.FieldAsString(0), EDatabaseError);

  q.SetSQL("SELECT N, 'fila ' || N FROM (SELECT 1 AS N FROM RDB$DATABASE UNION ALL "
           "SELECT 2 FROM RDB$DATABASE UNION ALL SELECT 3 FROM RDB$DATABASE) ORDER BY N");
  q.Open();
  std::vector<std::string> read;
  for (; !q.Eof(); q.Next()) read.push_back(q.FieldAsString(0) + "|" + q.FieldAsString(1));
  EXPECT_EQ(read, (std::vector<std::string>{"1|fila 1", "2|fila 2", "3|fila 3"}));
  q.Next();  // at the end it stays there
  EXPECT_TRUE(q.Eof());
  EXPECT_THROW(q.FieldAsString(2), EDatabaseError);
  q.Close();
  q.Close();
  EXPECT_FALSE(q.Active());
}

TEST_F(ConsultaTest, StatementsRunOnTheConnectionWhileItsQueryDeliversRows) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_CAMBIOS (ID INTEGER NOT NULL PRIMARY KEY, APLICADO CHAR(1))");
  con.ExecuteDirect("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                    "WHILE (I <= 300) DO BEGIN INSERT INTO T_CAMBIOS VALUES (:I, 'N'); "
                    "I = I + 1; END END");
  // No ORDER BY: the rows stream from the table while they are being marked.
  TConsulta q(con);
  q.SetSQL("SELECT ID FROM T_CAMBIOS WHERE APLICADO = 'N'");
  q.Open();
  int delivered = 0;
  for (; !q.Eof(); q.Next()) {
    const std::string id = q.FieldAsString(0);
    con.ExecuteDirect("UPDATE T_CAMBIOS SET APLICADO = 'S' WHERE ID = " + id);
    if (id == "150") {
      // A failing statement in between neither ends nor disturbs the reading.
      EXPECT_THROW(con.ExecuteDirect("INSERT INTO T_CAMBIOS VALUES (1, 'X')"), EDatabaseError);
    }
    ++delivered;
  }
  q.Close();
  EXPECT_EQ(delivered, 300);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_CAMBIOS WHERE APLICADO = 'S'"), "300");
}

TEST_F(ConsultaTest, AStatementWithoutRowsIsRefusedBeforeItRuns) {
  TConexion con;
  Connect(con);
  con.ExecuteDirect("CREATE TABLE T_NOROWS (ID INTEGER)");
  TConsulta q(con);
  q.SetSQL("INSERT INTO T_NOROWS VALUES (1)");
  EXPECT_THROW(q.Open(), EDatabaseError);
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_NOROWS"), "0");
  // A procedure's output row and RETURNING come as one row.
  q.SetSQL("INSERT INTO T_NOROWS VALUES (5) RETURNING ID * 2");
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldAsString(0), "10");
  q.Next();
  EXPECT_TRUE(q.Eof());
  q.Close();
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM T_NOROWS"), "1");
}

TEST_F(ConsultaTest, ClosingTheConnectionClosesItsQueries) {
  TConexion con;
  TConsulta q(con);
  q.SetSQL("SELECT 1 FROM RDB$DATABASE");
  EXPECT_THROW(q.Open(), EDatabaseError);  // connection not open
  Connect(con);
  q.Open();
  ASSERT_TRUE(q.Active());
  con.Close();
  EXPECT_FALSE(q.Active());
  EXPECT_TRUE(q.Eof());
  Connect(con);
  q.Open();
  EXPECT_EQ(q.FieldAsString(0), "1");
}

TEST_F(ConsultaTest, AFailingQueryRaisesTheEngineText) {
  TConexion con;
  Connect(con);
  TConsulta q(con);
  q.SetSQL("SELECT NADA FROM T_NO_EXISTE");
  try {
    q.Open();
    ADD_FAILURE() << "opened";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Table unknown T_NO_EXISTE"), std::string::npos)
        << error.what();
  }
  EXPECT_FALSE(q.Active());
  // A run-time failure while fetching: the second row divides by zero.
  q.SetSQL("SELECT 1 / (2 - N) FROM (SELECT 1 AS N FROM RDB$DATABASE UNION ALL "
           "SELECT 2 FROM RDB$DATABASE)");
  q.Open();
  EXPECT_EQ(q.FieldAsString(0), "1");
  EXPECT_THROW(q.Next(), EDatabaseError);
  EXPECT_TRUE(q.Eof());
  q.Close();
}

}  // namespace
}  // namespace nx
