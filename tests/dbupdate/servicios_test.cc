#include <gtest/gtest.h>

#include "child_process.h"
#include "dbupdate/database_error.h"
#include "dbupdate/password.h"
#include "dbupdate/servicios.h"
#include "server_fixture.h"

namespace nx {
namespace {

class ServiciosTest : public ServerTest {};

TEST_F(ServiciosTest, AForcedShutdownThrowsOffAnotherProcessAndOnlineLetsItBack) {
  ChildProcess helper({NX_ATTACH_HELPER, Port(), "Gestion"});
  ASSERT_EQ(helper.ReadLine(), "attached");
  ASSERT_EQ(helper.Ask("exec CREATE TABLE T_HELPER (ID INTEGER)"), "ok");

  TServicios servicios;
  PreparaServicios(servicios, Port(), "Gestion");
  EXPECT_EQ(servicios.ServerName(), "localhost/" + Port());
  servicios.Attach();
  servicios.Attach();
  servicios.Shutdown(0);

  const std::string thrownOff = helper.Ask("exec INSERT INTO T_HELPER VALUES (1)");
  EXPECT_EQ(thrownOff.rfind("error: ", 0), 0u) << thrownOff;
  EXPECT_NE(thrownOff.find("shutdown"), std::string::npos) << thrownOff;

  servicios.BringOnline();
  servicios.Detach();
  servicios.Detach();
  EXPECT_FALSE(servicios.Active());

  EXPECT_EQ(helper.Ask("reopen"), "ok");
  EXPECT_EQ(helper.Ask("exec INSERT INTO T_HELPER VALUES (2)"), "ok");
  EXPECT_EQ(Scalar("SELECT LIST(ID) FROM T_HELPER"), "2");
}

TEST_F(ServiciosTest, OurOwnAttachmentsMustBeReopenedAfterAShutdown) {
  TConexion con;
  Connect(con);
  TServicios servicios;
  PreparaServicios(servicios, Port(), "Gestion");
  servicios.Attach();
  servicios.Shutdown(0);
  servicios.BringOnline();
  EXPECT_THROW(con.ExecuteDirect("CREATE TABLE T_OWN (ID INTEGER)"), EDatabaseError);
  con.Close();  // the attachment is gone already: closing still succeeds
  EXPECT_FALSE(con.Connected());
  con.Open();
  con.ExecuteDirect("CREATE TABLE T_OWN (ID INTEGER)");
}

TEST_F(ServiciosTest, FailuresCarryTheEngineTextAndNeverThePassword) {
  {
    TServicios servicios;
    PreparaServicios(servicios, Port(), "NoExiste");
    servicios.Attach();
    try {
      servicios.Shutdown(0);
      ADD_FAILURE() << "shut down a database that does not exist";
    } catch (const EDatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find("\"NoExiste\""), std::string::npos)
          << error.what();
    }
  }
  TServicios servicios;
  PreparaServicios(servicios, Port(), "Gestion");
  servicios.Params()[1] = "password=Wrong1";
  try {
    servicios.Attach();
    ADD_FAILURE() << "attached with a wrong password";
  } catch (const EDatabaseError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("Your user name and password are not defined"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("Wrong1"), std::string::npos);
    EXPECT_EQ(text.find(ProductPassword()), std::string::npos);
  }
  EXPECT_FALSE(servicios.Active());
  EXPECT_THROW(servicios.Shutdown(0), EDatabaseError);  // not attached
}

}  // namespace
}  // namespace nx
