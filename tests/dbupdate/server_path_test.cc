#include <gtest/gtest.h>

#include "dbupdate/conexion.h"
#include "dbupdate/database_error.h"
#include "dbupdate/server_path.h"
#include "dbupdate/servicios.h"
#include "server_fixture.h"
#include "tests/support/scratch_machine.h"
#include "tools/firebird/embedded_database.h"

namespace nx {
namespace {

TEST(ServerConnectionString, TranslatesDrivePathsOnThisMachineOnly) {
  ScratchMachine machine;
  const std::string name = machine.platform().environment->Get("COMPUTERNAME").value_or("");
  ASSERT_FALSE(name.empty());
  const std::string file = "C:\\Norvexa\\DataBase\\NXDUMMY.FDB";
  const std::string host = machine.HostPath(file);
  const struct {
    std::string given, expected;
  } cases[] = {
      {"localhost/737:" + file, "localhost/737:" + host},
      {"LocalHost/737:" + file, "LocalHost/737:" + host},
      {"127.0.0.1/737:" + file, "127.0.0.1/737:" + host},
      {name + "/737:" + file, name + "/737:" + host},
      {"localhost:" + file, "localhost:" + host},
      {"localhost/737:c:/Norvexa/DataBase/NXDUMMY.FDB", "localhost/737:" + host},
      {"otro-servidor/737:" + file, "otro-servidor/737:" + file},
      {"localhost/737:Gestion", "localhost/737:Gestion"},
      {"localhost/737:GestionX", "localhost/737:GestionX"},
      {file, file},
  };
  for (const auto& c : cases) EXPECT_EQ(ServerConnectionString(c.given), c.expected) << c.given;

  try {
    ServerConnectionString("localhost/737:Q:\\fuera\\de\\todo.fdb");
    ADD_FAILURE() << "a path outside every drive was taken";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("Q:\\fuera\\de\\todo.fdb"), std::string::npos)
        << error.what();
  }
}

class DrivePathTest : public ServerTest {};

TEST_F(DrivePathTest, DatabasesAreOpenedByTheirWindowsPaths) {
  ScratchMachine machine;
  // The start-up test's database under the installation folder C:\Norvexa\, and one in a folder
  // whose name leaves ASCII.
  const std::string folders[] = {"C:\\Norvexa\\", "C:\\Gestión Año\\"};
  for (const std::string& folder : folders) {
    machine.platform().files->CreateDirectories(folder + "DataBase");
    nx::CreateDatabase(machine.HostPath(folder + "DataBase\\NXDUMMY.FDB"),
                       "CREATE TABLE T_DUMMY (ID INTEGER);");
    server_->AddDataFolder(machine.HostPath(folder + "DataBase"));
  }
  server_->Stop();
  server_->Start();

  for (const std::string& folder : folders) {
    TConexion con;
    LlenaParametros(con.Params(), "localhost", Port(), folder + "DataBase\\NXDUMMY.FDB",
                    kCuentaAdministrador);
    con.Open();
    con.ExecuteDirect("INSERT INTO T_DUMMY VALUES (1)");
    // The block keeps the Windows text.
    EXPECT_EQ(con.Params()[0], "Database=localhost/" + Port() + ":" + folder + "DataBase\\NXDUMMY.FDB");
    con.Close();

    // The services manager of this machine takes the file by its Windows path too.
    TServicios servicios;
    PreparaServicios(servicios, Port(), folder + "DataBase\\NXDUMMY.FDB");
    servicios.Attach();
    servicios.Shutdown(0);
    servicios.BringOnline();
  }
}

}  // namespace
}  // namespace nx
