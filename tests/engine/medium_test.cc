// The sample medium: built from nothing with every folder and file the installer expects, its
// databases consistent with one another (an old main database brought to the new version by the
// update database's changes), and the product's stand-in programs doing their part.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "dbupdate/conexion.h"
#include "dbupdate/database_error.h"
#include "dbupdate/parametros.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/firebird/engine_process.h"
#include "tools/firebird/private_server.h"
#include "tools/medium/medium_builder.h"
#include "tools/medium/run_record.h"
#include "tools/msiexec/package_format.h"

namespace nx {
namespace {

using namespace enginetest;
namespace fs = std::filesystem;

struct Layout {
  bool generation3;
  std::vector<std::string> paths;  // relative to the medium, '/' separated; a trailing '/' is a folder
};

std::vector<std::string> Common(const std::string& gen) {
  return {"nxSetup.ini", "UnInstall.exe",
          "DataBase/Gestion" + gen + ".FDB", "DataBase/Gestion" + gen + "X.FDB",
          "DataBase/Gestion" + gen + "FOTOS.FDB", "DataBase/Gestion" + gen + "Muestra.fdb",
          "DataBase/NXDUMMY.FDB",
          "dll/fbclient.dll", "bpl/",
          "system32/vccrt10_Win32.msi", "system32/vccrt8_Win32.msi", "system32/hosts",
          "actualizador/actualizador.exe", "actualizador/antiguo/",
          "Remoto/", "fuentes/extra/", "Ftp/", "Ayuda/",
          "vnc/winvnc.exe", "vnc/remoto1.bat", "vnc/remoto5.bat", "vnc/remoto2 - XP.bat"};
}

void PrintTo(const Layout& layout, std::ostream* out) { *out << (layout.generation3 ? "gen3" : "gen25"); }

class MediumLayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(MediumLayoutTest, BuiltFromNothingWithEverythingTheInstallerExpects) {
  const Layout& layout = GetParam();
  TempDir dir;
  medium::MediumOptions options;
  options.output = dir.path() + "/medio";
  options.generation3 = layout.generation3;
  options.binFolder = NX_BIN_DIR;
  medium::BuildMedium(options);

  std::vector<std::string> paths = Common(layout.generation3 ? "3" : "");
  paths.insert(paths.end(), layout.paths.begin(), layout.paths.end());
  if (fs::exists(std::string(NX_BIN_DIR) + "/nxsetup")) paths.push_back("nxSetup.exe");
  for (const std::string& path : paths) {
    fs::path full = fs::path(options.output) / path;
    if (path.back() == '/')
      EXPECT_TRUE(fs::is_directory(full)) << path;
    else
      EXPECT_TRUE(fs::is_regular_file(full) && fs::file_size(full) > 0) << path;
  }

  ScratchMachine machine;
  machine.MapDrive('E', options.output);
  const std::string ini = "E:\\\\nxSetup.ini";
  EXPECT_EQ("Gestion", ReadProfileString(ini, "APLICACION", "APLICACION", ""));
  EXPECT_EQ("nxGestion", ReadProfileString(ini, "APLICACION", "EJECUTABLE", ""));
  EXPECT_EQ("Norvexa Gestión", ReadProfileString(ini, "APLICACION", "NOMBRE", ""));
  EXPECT_EQ("1.2.3", ReadProfileString(ini, "APLICACION", "VERSION", ""));
  EXPECT_EQ(layout.generation3 ? "3" : "", ReadProfileString(ini, "APLICACION", "FIREBIRD", "?"));
  EXPECT_EQ("S", ReadProfileString(ini, "APLICACION", "MUESTRA", ""));

  FileSystem& files = *machine.platform().files;
  EXPECT_TRUE(files.GetAttributes("E:\\fuentes\\NorvexaOculta.ttf") & kAttrHidden);
  EXPECT_TRUE(files.GetAttributes("E:\\Remoto\\oculto.dat") & kAttrHidden);
  EXPECT_FALSE(files.GetAttributes("E:\\fuentes\\NorvexaSans.ttf") & kAttrHidden);
  for (const char* package : {"vccrt10_Win32.msi", "vccrt8_Win32.msi"}) {
    std::string error;
    EXPECT_TRUE(msi::ParsePackage(files.ReadFile(std::string("E:\\system32\\") + package), package, &error))
        << package << ": " << error;
  }

  // A second build replaces the first; a folder of other files is refused and left alone.
  EXPECT_NO_THROW(medium::BuildMedium(options));
  fs::create_directories(dir.path() + "/ajeno");
  std::ofstream(dir.path() + "/ajeno/importante.txt") << "datos";
  options.output = dir.path() + "/ajeno";
  EXPECT_THROW(medium::BuildMedium(options), std::exception);
  EXPECT_TRUE(fs::exists(dir.path() + "/ajeno/importante.txt"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path() + "/ajeno"), fs::directory_iterator()));
}

INSTANTIATE_TEST_SUITE_P(
    Generations, MediumLayoutTest,
    ::testing::Values(Layout{true, {"firebird3/firebird.conf", "firebird3/databases.conf",
                                    "firebird3/security3.fdb", "firebird3/instsvc.exe",
                                    "firebird3/instclient.exe", "firebird3/fbclient.dll"}},
                      Layout{false, {"firebird/firebird.conf", "firebird/aliases.conf",
                                     "firebird/security2.fdb", "firebird/bin/instsvc.exe",
                                     "firebird/bin/instclient.exe", "firebird/bin/fbclient.dll"}}),
    [](const ::testing::TestParamInfo<Layout>& info) { return info.param.generation3 ? "gen3" : "gen25"; });

// The medium's databases served by a private server of their own (copies: the build's medium
// stays untouched).
class MediumDatabasesTest : public ::testing::Test {
 protected:
  void Serve(const std::string& medium) {
    for (const fs::directory_entry& entry : fs::directory_iterator(SampleMedium(medium) + "/DataBase")) {
      std::string copy = server_->dataFolder() + "/" + entry.path().filename().string();
      fs::copy_file(entry.path(), copy, fs::copy_options::overwrite_existing);
      std::string alias = entry.path().stem().string();
      server_->SetAlias(alias, copy);
    }
  }
  std::vector<std::string> Rows(const std::string& alias, const std::string& sql) {
    return Query(server_->port(), alias, sql);
  }
  void Execute(const std::string& alias, const std::string& sql) {
    TConexion connection;
    LlenaParametros(connection.Params(), "localhost", server_->port(), alias, kCuentaAplicacion);
    connection.Open();
    connection.ExecuteDirect(sql);
    connection.Close();
  }

  std::unique_ptr<PrivateServer> server_ = PrivateServer::StartScratch();
};

TEST_F(MediumDatabasesTest, BaseMediumHoldsWhatTheInstallerAndTheUpdateRelyOn) {
  Serve("gen3");
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Rows("Gestion3", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{}, Rows("Gestion3", "select id_sesion from sesiones"));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Rows("Gestion3X", "select version from ejecutable"));
  // Every change up to the version, none applied, change 0 the check procedure.
  EXPECT_EQ((std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7"}),
            Rows("Gestion3X", "select id_cambio from cambios_bd order by id_cambio"));
  EXPECT_EQ(std::vector<std::string>{"N"}, Rows("Gestion3X", "select distinct aplicado from cambios_bd"));
  EXPECT_EQ(std::vector<std::string>{}, Rows("Gestion3X", "select id_cambio || error from errores"));
  EXPECT_EQ(std::vector<std::string>{"NORVEXA"}, Rows("Gestion3X", "select trim(mon$owner) from mon$database"));
  EXPECT_EQ(std::vector<std::string>{"Tornillo"}, Rows("Gestion3FOTOS", "select descripcion from fotos"));
  EXPECT_EQ((std::vector<std::string>{"Panadería Muñoz", "Ferretería El Águila", "Talleres O'Donnell"}),
            Rows("Gestion3Muestra", "select nombre from clientes order by id_cliente"));
  EXPECT_EQ(std::vector<std::string>{"1"}, Query(server_->port(), "NXDUMMY", "select id from dummy", "SYSDBA"));

  // The check procedure of change 0 compiles on the main database once the exception exists,
  // passes there, and stops an update of a database that is not the application's.
  Execute("Gestion3", "CREATE EXCEPTION ERROR 'Problema no definido'");
  Execute("Gestion3", Rows("Gestion3X", "select sentencia from cambios_bd where id_cambio=0").at(0));
  EXPECT_NO_THROW(Execute("Gestion3", "execute procedure comprobaciones_Actualizar"));
  Execute("Gestion3", "DELETE FROM CONFIGURACION");
  try {
    Execute("Gestion3", "execute procedure comprobaciones_Actualizar");
    ADD_FAILURE() << "the check procedure passed an empty configuration";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("ERROR Falta la configuración de la empresa"));
  }
}

TEST_F(MediumDatabasesTest, NewerUpdateDatabaseBringsTheBaseMainDatabaseToItsVersion) {
  Serve("gen3");
  std::string newerUpdate = server_->dataFolder() + "/newer-X.fdb";
  fs::copy_file(SampleMedium("gen3-newer") + "/DataBase/Gestion3X.FDB", newerUpdate);
  server_->SetAlias("NuevaX", newerUpdate);
  ASSERT_EQ(std::vector<std::string>{"1.3.0"}, Rows("NuevaX", "select version from ejecutable"));

  // The pending changes as the schema synchronisation selects them, replayed in its order.
  std::vector<std::string> pending =
      Rows("NuevaX",
           "select id_cambio from cambios_bd where replace(version,'.','')>'123' and "
           "replace(version,'.','')<='130' and id_cambio>0 and aplicado='N' order by version, orden");
  EXPECT_EQ((std::vector<std::string>{"8", "9", "10", "11", "12"}), pending);
  for (const std::string& id : pending)
    Execute("Gestion3", Rows("NuevaX", "select sentencia from cambios_bd where id_cambio=" + id).at(0));
  EXPECT_EQ(std::vector<std::string>{"1.3.0"}, Rows("Gestion3", "select version from configuracion"));

  // The result has the schema of the newer medium's own main database.
  std::string newerMain = server_->dataFolder() + "/newer.fdb";
  fs::copy_file(SampleMedium("gen3-newer") + "/DataBase/Gestion3.FDB", newerMain);
  server_->SetAlias("Nueva", newerMain);
  const std::string columns =
      "select trim(rf.rdb$relation_name) || '.' || trim(rf.rdb$field_name) from rdb$relation_fields rf "
      "join rdb$relations r on r.rdb$relation_name = rf.rdb$relation_name "
      "where coalesce(r.rdb$system_flag, 0) = 0 order by 1";
  EXPECT_EQ(Rows("Nueva", columns), Rows("Gestion3", columns));
}

TEST_F(MediumDatabasesTest, BrokenMediumRefusesItsThirdPendingChangeOnly) {
  Serve("gen3");
  std::string brokenUpdate = server_->dataFolder() + "/broken-X.fdb";
  fs::copy_file(SampleMedium("gen3-broken") + "/DataBase/Gestion3X.FDB", brokenUpdate);
  server_->SetAlias("RotaX", brokenUpdate);
  std::vector<std::string> pending =
      Rows("RotaX",
           "select id_cambio from cambios_bd where replace(version,'.','')>'123' and "
           "replace(version,'.','')<='130' and id_cambio>0 and aplicado='N' order by version, orden");
  ASSERT_EQ((std::vector<std::string>{"8", "9", "10", "11", "12"}), pending);
  for (const char* id : {"8", "9"})
    Execute("Gestion3", Rows("RotaX", std::string("select sentencia from cambios_bd where id_cambio=") + id).at(0));
  EXPECT_THROW(Execute("Gestion3", Rows("RotaX", "select sentencia from cambios_bd where id_cambio=10").at(0)),
               EDatabaseError);
}

TEST(MediumProgramsTest, UpdaterReadsTheUpdateDatabaseAndPlacesTheProgram) {
  ScratchMachine machine;
  machine.MapDrive('E', SampleMedium("gen3"));
  Engine engine = PutEngine(machine, SampleMedium("gen3"), true, FreeTcpPort());
  ASSERT_EQ(0u, RunCommand(engine.toolFolder() + "instsvc install -g -n Norvexa3").exitCode);
  ASSERT_EQ(0u, RunCommand(engine.Instsvc("start -n")).exitCode);
  machine.platform().files->CreateDirectories("C:\\Norvexa\\Gestion");
  machine.platform().files->CopyFile("E:\\actualizador\\actualizador.exe", "C:\\Norvexa\\Gestion\\actualizador2.exe", false);

  // The installer's command line for it.
  std::string command = "\"C:\\Norvexa\\Gestion\\actualizador2.exe\" localhost/" + std::to_string(engine.port) +
                        ":GestionX \"C:\\Norvexa\\Gestion\\NO\"";
  EXPECT_EQ(0u, RunCommand(command).exitCode);
  ASSERT_EQ(0u, RunCommand(engine.Instsvc("stop -n")).exitCode);
  EXPECT_NE(0u, RunCommand(command).exitCode) << "no server to read from";

  std::vector<medium::RunFields> runs =
      medium::ParseRunRecords(machine.ReadFile(medium::RunRecordPath("actualizador.log")));
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ("S", medium::RunField(runs[0], "connected"));
  EXPECT_EQ("localhost/" + std::to_string(engine.port) + ":GestionX", medium::RunField(runs[0], "database"));
  EXPECT_EQ("1.2.3", medium::RunField(runs[0], "version"));
  EXPECT_EQ("NO", medium::RunField(runs[0], "flag"));
  EXPECT_EQ("C:\\Norvexa\\Gestion\\nxGestion.exe", medium::RunField(runs[0], "written"));
  EXPECT_NE(std::string::npos, machine.ReadFile("C:\\Norvexa\\Gestion\\nxGestion.exe").find("1.2.3"));
  EXPECT_EQ("", medium::RunField(runs[1], "connected"));
  EXPECT_NE("", medium::RunField(runs[1], "error"));
}

TEST(MediumProgramsTest, RuntimePackagesInstallWithTheMachinesMsiexec) {
  ScratchMachine machine;
  machine.MapDrive('E', SampleMedium("gen3"));
  for (const char* package : {"vccrt10_Win32.msi", "vccrt8_Win32.msi"}) {
    // The installer's command line: the medium's folder doubled backslash, a blank at the end.
    EXPECT_EQ(0u, RunCommand(std::string("msiexec /i \"E:\\\\system32\\") + package + "\" /quiet ").exitCode)
        << package;
  }
  auto uninstall = machine.platform().registry->OpenKey(RegRoot::kLocalMachine, msi::kUninstallKey,
                                                        RegAccess::kRead, false);
  EXPECT_EQ(2u, uninstall->SubKeyNames().size());
}

TEST(MediumProgramsTest, UninstallerAndRemoteSupportScriptsLeaveTheirRecords) {
  ScratchMachine machine;
  machine.MapDrive('E', SampleMedium("gen3"));
  machine.platform().files->CreateDirectories("C:\\Norvexa");
  machine.platform().files->CopyFile("E:\\UnInstall.exe", "C:\\Norvexa\\UnInstall.exe", false);
  machine.WriteFile("C:\\Norvexa\\UnInstall.dat", "Firebird3=Firebird3 Norvexa Puerto: 737,C:\\Norvexa\\firebird3\r\n"
                                                  "Gestion=Norvexa Gestión,C:\\Norvexa\\Gestion\r\n");
  EXPECT_EQ(0u, RunCommand("C:\\Norvexa\\UnInstall.exe").exitCode);
  std::vector<medium::RunFields> uninstall =
      medium::ParseRunRecords(machine.ReadFile(medium::RunRecordPath("uninstall.log")));
  ASSERT_EQ(1u, uninstall.size());
  EXPECT_EQ("C:\\Norvexa\\", medium::RunField(uninstall[0], "folder"));
  EXPECT_EQ("Firebird3", medium::RunField(uninstall[0], "entry"));

  // The scripts as the remote-support button names them, run by the command interpreter.
  EXPECT_EQ(0u, RunCommand("cmd /c \"E:\\\\vnc\\remoto2.bat\"").exitCode);
  EXPECT_EQ(0u, RunCommand("cmd /c \"E:\\\\vnc\\remoto3 - XP.bat\"").exitCode);
  std::vector<medium::RunFields> vnc = medium::ParseRunRecords(machine.ReadFile(medium::RunRecordPath("winvnc.log")));
  ASSERT_EQ(2u, vnc.size());
  EXPECT_EQ("E:\\vnc\\", medium::RunField(vnc[0], "folder"));
  EXPECT_NE(std::string::npos, medium::RunField(vnc[0], "commandline").find("-connect tecnico2."));
  EXPECT_NE(std::string::npos, medium::RunField(vnc[1], "commandline").find("-connect tecnico3."));
}

}  // namespace
}  // namespace nx
