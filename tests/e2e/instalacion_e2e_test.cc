// Whole installations, from FormCreate through FormActivate to "Instalar": a new server, a
// workstation of it on a second machine, an update with the newer medium, a failed update that
// brings everything back, and an update refused because the application is still in use.

#include <atomic>
#include <filesystem>
#include <thread>

#include "dbupdate/conexion.h"
#include "dbupdate/parametros.h"
#include "dbupdate/transaccion.h"
#include "system/registry_access.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/nxmachine_run.h"
#include "tools/instsvc/service_instances.h"
#include "tools/medium/run_record.h"

namespace nx::e2e {
namespace {

namespace fs = std::filesystem;
using namespace enginetest;

const char kApp[] = "C:\\Norvexa\\Gestion\\";

// The updater's runs, oldest first, as it recorded them on the machine.
std::vector<medium::RunFields> UpdaterRuns(ScratchMachine& machine) {
  const std::string file = medium::RunRecordPath("actualizador.log");
  if (!machine.Exists(file)) return {};
  return medium::ParseRunRecords(machine.ReadFile(file));
}

std::string UpdaterLine(const std::string& host, const std::string& port) {
  return std::string("\"") + kApp + "actualizador2.exe\" " + host + "/" + port + ":GestionX \"" + kApp + "NO\"";
}

class NewInstallation : public E2eTest, public ::testing::WithParamInterface<const char*> {};

// The program's own path: nxdrive runs the window, the operator types the port and asks for the
// start-up shortcut; then the machine is looked at from outside.
TEST_P(NewInstallation, ServerAndWorkstationOnAFreshMachine) {
  Medium(GetParam());
  // The installer chooses the port (from 737 upwards); the suite runs under one lock for it.
  Drive run("activate\nshow\ncheck CheckInicio on\nclick Instalar\n");
  run.Wait();
  ASSERT_TRUE(run.exited() && run.code() == 0) << run.out() << run.err();
  port_ = static_cast<uint16_t>(std::stoi(run.Field("puerto")));
  EXPECT_EQ(std::vector<std::string>{"Instalación Terminada.\rPara la instalación en el resto de puestos de la red use\r"
                                     " Como servidor : localhost y puerto : " + port() +
                                     "\r y desmarque la opcion de servidor."},
            run.Messages())
      << run.out();
  EXPECT_NE(std::string::npos, run.out().find("closed = true\n"));

  // Registry.
  const std::string engineKey = "\\SOFTWARE\\Norvexa\\Firebird" + gen();
  EXPECT_EQ("C:\\Norvexa\\", Reg("\\SOFTWARE\\Norvexa", "Path"));
  EXPECT_EQ(port(), Reg(engineKey, "Puerto"));
  EXPECT_EQ("localhost", Reg(engineKey, "Host"));
  EXPECT_EQ(port(), Reg("\\SOFTWARE\\Norvexa\\Gestion", "Puerto"));
  const std::string uninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvexa-";
  EXPECT_EQ("C:\\Norvexa\\UnInstall.exe -Gestion", Reg(uninstall + "Gestion", "UninstallString"));
  EXPECT_EQ("C:\\Norvexa\\UnInstall.exe -Firebird" + gen(), Reg(uninstall + "Firebird" + gen(), "UninstallString"));

  // The service instance answers on the port, the firewall lets both ports in.
  ServiceInstances services(machine_.machine());
  std::optional<ServiceRegistration> service = services.Find("Norvexa" + gen());
  ASSERT_TRUE(service);
  const ServiceStatus status = services.Status(*service);
  EXPECT_TRUE(status.running && status.listening);
  EXPECT_EQ(port_, status.port);
  const std::string firewall = Nxmachine("firewall").text;
  EXPECT_NE(std::string::npos, firewall.find(port() + ":TCP:LocalSubNet:Enabled:Norvexa Firebird DataBase")) << firewall;
  EXPECT_NE(std::string::npos, firewall.find(std::to_string(port_ + 1) + ":TCP:LocalSubNet:Enabled:Norvexa Firebird Eventos"))
      << firewall;

  // Real connections, through the aliases the installer wrote.
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_TRUE(EveryDatabaseOpens());
  const std::vector<std::string> aliases = Lines(aliasFile());
  EXPECT_EQ(1, std::count(aliases.begin(), aliases.end(), "Gestion=C:\\Norvexa\\Database\\Gestion" + gen() + ".FDB"));
  const std::vector<std::string> config = Lines("C:\\Norvexa\\firebird" + gen() + "\\firebird.conf");
  EXPECT_EQ(1, std::count(config.begin(), config.end(), "RemoteServicePort=" + port()));

  // The updater ran with its command line and placed the program.
  const std::vector<medium::RunFields> runs = UpdaterRuns(machine_);
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(UpdaterLine("localhost", port()), medium::RunField(runs[0], "commandline"));
  EXPECT_EQ("S", medium::RunField(runs[0], "connected"));
  EXPECT_TRUE(machine_.Exists(std::string(kApp) + "nxGestion.exe"));

  // The log, in order: activation, server, workstation, update, updater.
  EXPECT_TRUE(InOrder(Log(), {"Ficheros Dll copiados", "Iniciando instalacion firebird.", "Carpeta firebird copiada.",
                              "Servicio Firebird Instalado", "Alias base de datos agregado a " + aliasFile(),
                              "Puerto Modificado firebird.conf", "Arrancado Servicio Firebird" + gen(),
                              "Registro SoftWare Norvexa hecho", "UnInstall.dat firebird" + gen() + " Hecho.",
                              "Log UnInstall.dat de Gestion hecho.", "Creando enlace de inicio de windows.",
                              "actualizando : antes de conectar Database=localhost/" + port() + ":Gestion",
                              "Comprobando sesiones activas.", "Actualizanción : sincroniza cambios terminado",
                              "Preparación Base de datos hecho.", "Ejecutando actualizador",
                              "actualizando :  " + UpdaterLine("localhost", port()), "Instalación terminada."}));
  EXPECT_TRUE(TextFilesWhole());
}

INSTANTIATE_TEST_SUITE_P(Generaciones, NewInstallation, ::testing::Values("gen3", "gen25"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "gen3" ? "Gen3" : "Gen25";
                         });

using E2e = E2eTest;

// A workstation on a second machine, pointed at the first one's engine by host and port; the
// operator types both, and the updater reaches the server through them.
TEST_F(E2e, WorkstationOnASecondMachine) {
  Medium("gen3");
  Install(true, true);
  ASSERT_EQ(1u, operador_.Messages().size());
  form_.reset();

  ScratchMachine puesto;  // the current machine and NXSETUP_MACHINE from here on
  CopyTree(SampleMedium("gen3"), puesto.root() + "/medio");
  puesto.MapDrive('D', puesto.root() + "/medio");
  Drive run("activate\ntick server off\ntype Host 127.0.0.1\ntype LPuerto " + port() +
            "\ncheck Escritorio off\nclick Instalar\n");
  run.Wait();
  ASSERT_TRUE(run.exited() && run.code() == 0) << run.out() << run.err();
  EXPECT_EQ(std::vector<std::string>{"Instalación Terminada."}, run.Messages()) << run.out();

  const std::vector<std::string> log = LogLines(puesto.ReadFile("C:\\Norvexa\\Install.log"));
  EXPECT_TRUE(InOrder(log, {"Base de datos de actualización no encontrada", "Log UnInstall.dat de Gestion hecho.",
                            "Sincronizacambios no aplicado.", "Preparación Base de datos hecho.",
                            "actualizando :  " + UpdaterLine("127.0.0.1", port()), "Instalación terminada."}));
  EXPECT_EQ(0u, CountStarting(log, "Iniciando instalacion firebird."));
  const std::vector<medium::RunFields> runs = UpdaterRuns(puesto);
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ("S", medium::RunField(runs[0], "connected")) << "the updater reached the server's update database";
  EXPECT_EQ("1.2.3", medium::RunField(runs[0], "version"));
  EXPECT_TRUE(puesto.Exists(std::string(kApp) + "nxGestion.exe"));
  EXPECT_EQ("127.0.0.1", Reg("\\SOFTWARE\\Norvexa\\Gestion", "Host"));
  EXPECT_EQ(port(), Reg("\\SOFTWARE\\Norvexa\\Gestion", "Puerto"));
  EXPECT_EQ("", Reg("\\SOFTWARE\\Norvexa\\Firebird3", "Puerto"));
  EXPECT_TRUE(ServiceInstances(puesto.machine()).All().empty());
  EXPECT_FALSE(puesto.Exists("C:\\Norvexa\\DataBase\\Gestion3.FDB"));
}

// The same machine, the newer medium: the window opens in update mode, the previous files are
// saved, the pending changes replayed and marked, the updater run.
TEST_F(E2e, UpdateWithTheNewerMedium) {
  Medium("gen3");
  Install(true, true);
  ASSERT_EQ(1u, operador_.Messages().size());
  form_.reset();  // its connection to the update database goes with it
  const std::map<std::string, std::string> application = Tree(kApp);
  const std::map<std::string, std::string> data = DataFilesAtRest();

  Medium("gen3-newer");
  TFInstalacion& f = Window();
  EXPECT_TRUE(f.SwServidor);
  EXPECT_FALSE(f.opciones.Checked(0));
  EXPECT_TRUE(f.opciones.Checked(1));
  EXPECT_EQ("Actualización de Norvexa Gestión Ver. 1.3.0", f.Titulo.Caption());
  EXPECT_TRUE(f.Path.ReadOnly());
  EXPECT_FALSE(f.LPuerto.ReadOnly());
  EXPECT_EQ(port(), f.LPuerto.Text());
  f.BComenzar.Click();
  ASSERT_EQ(2u, operador_.Messages().size());
  EXPECT_EQ("Instalación Terminada.", operador_.Messages()[1]);
  EXPECT_TRUE(f.Closed());

  // The backup of this run: the application's files and the data files as they were.
  std::vector<fs::path> stamps;
  for (const auto& e : fs::directory_iterator(machine_.HostPath(std::string(kApp) + "old"))) stamps.push_back(e.path());
  ASSERT_EQ(1u, stamps.size());
  // The copy takes the folder's own files, not its subfolders (help, ...), which the medium
  // installs whole again.
  for (const auto& [name, bytes] : application) {
    if (name.find('/') != std::string::npos) continue;
    EXPECT_TRUE(bytes == ReadHostFile((stamps[0] / "Gestion" / name).string())) << name;
  }
  for (const auto& [name, bytes] : data) {
    if (name.rfind("Gestion3", 0) != 0) continue;
    EXPECT_TRUE(bytes == ReadHostFile((stamps[0] / "database" / name).string())) << name;
  }

  // The changes of 1.2.4 and 1.3.0 replayed and marked, nothing else.
  EXPECT_EQ(std::vector<std::string>{"1.3.0"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_EQ((std::vector<std::string>{"8", "9", "10", "11", "12"}),
            Query(port_, "GestionX", "select id_cambio from cambios_bd where aplicado='S' order by id_cambio"));
  EXPECT_TRUE(Query(port_, "GestionX", "select id_cambio from errores").empty());

  const std::vector<medium::RunFields> runs = UpdaterRuns(machine_);
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(UpdaterLine("localhost", port()), medium::RunField(runs[1], "commandline"));
  EXPECT_EQ("1.3.0", medium::RunField(runs[1], "version"));
  EXPECT_NE(application.at("nxGestion.exe"), machine_.ReadFile(std::string(kApp) + "nxGestion.exe"));

  const std::vector<std::string> log = Log();
  EXPECT_EQ(1u, CountStarting(log, "Iniciando instalacion firebird.")) << "the engine stays as it is";
  EXPECT_TRUE(InOrder(log, {"Instalación terminada.", "Realizando copia de seguridad de archivos...",
                            "Base de datos X copiada para actualización cmd /c xcopy  \"D:\\DataBase\\Gestion3X.FDB\" "
                            "\"C:\\Norvexa\\\\DataBase\\\" /C/Y/I",
                            "Comprobando sesiones activas.", "Actualizanción : sincroniza cambios terminado",
                            "Preparación Base de datos hecho.", "Ejecutando actualizador", "Instalación terminada."}));
  EXPECT_TRUE(EveryDatabaseOpens());
  EXPECT_TRUE(TextFilesWhole());
}

// The newer medium whose third pending change the engine refuses: everything comes back.
TEST_F(E2e, AFailedUpdateBringsBackTheFilesByteForByte) {
  Medium("gen3");
  Install(true, true);
  ASSERT_EQ(1u, operador_.Messages().size());
  form_.reset();  // its connection to the update database goes with it
  const std::map<std::string, std::string> application = Tree(kApp);
  const std::map<std::string, std::string> data = DataFilesAtRest();

  Medium("gen3-broken");
  Window().BComenzar.Click();
  ASSERT_EQ(2u, operador_.Messages().size());
  EXPECT_EQ("No se puede hacer la instalación.\rProblemas al actualizar base de datos.", operador_.Messages()[1]);
  EXPECT_TRUE(form_->Closed());

  const std::map<std::string, std::string> applicationAfter = Tree(kApp);
  for (const auto& [name, bytes] : application) {
    ASSERT_TRUE(applicationAfter.count(name)) << name;
    EXPECT_TRUE(bytes == applicationAfter.at(name)) << name << " differs";
  }
  const std::map<std::string, std::string> dataAfter = DataFilesAtRest();
  for (const auto& [name, bytes] : data) {
    if (name.rfind("Gestion3", 0) != 0) continue;  // the test database is opened at every activation
    ASSERT_TRUE(dataAfter.count(name)) << name;
    EXPECT_TRUE(bytes == dataAfter.at(name)) << name << " differs";
  }
  // The update database of the failed run is left beside the restored one.
  ASSERT_TRUE(dataAfter.count("copia-Gestion3X.FDB"));
  EXPECT_NE(data.at("Gestion3X.FDB"), dataAfter.at("copia-Gestion3X.FDB"));

  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_TRUE(EveryDatabaseOpens());
  EXPECT_EQ(1u, UpdaterRuns(machine_).size()) << "the updater does not run";
  const std::vector<std::string> log = Log();
  EXPECT_TRUE(InOrder(log, {"Instalación terminada.", "Realizando copia de seguridad de archivos...",
                            "Problemas al actualizar base de datos. Intente de nuevo la instalación.",
                            "Recuperando copia de seguridad de archivos..."}));
  EXPECT_EQ(1u, CountStarting(log, "Ejecutando actualizador"));
  EXPECT_TRUE(TextFilesWhole());
}

// The application still open somewhere writes its session again during the pause: the update
// is refused, nothing is replayed. Run by nxdrive, so the pauses are the real ones.
TEST_F(E2e, AnUpdateIsRefusedWhileASessionComesBack) {
  Medium("gen3");
  Install(true, true);
  ASSERT_EQ(1u, operador_.Messages().size());
  form_.reset();

  Medium("gen3-newer");
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::thread application([&] {
    while (!stop) {
      try {
        TConexion c;
        LlenaParametros(c.Params(), "localhost", port_, "Gestion", kCuentaAplicacion);
        c.Open();
        c.ExecuteDirect("INSERT INTO SESIONES (ID_SESION, USUARIO, PUESTO) VALUES (NEXT VALUE FOR GEN_SESIONES, "
                        "'ANA', 'CAJA1')");
        c.Close();
        ++written;
      } catch (const std::exception&) {
        // thrown off by the shutdown: it comes back, as the application does
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  Drive run("activate\nclick Instalar\n");
  run.Wait();
  stop = true;
  application.join();
  ASSERT_TRUE(run.exited() && run.code() == 0) << run.out() << run.err();
  EXPECT_EQ(std::vector<std::string>{"No se puede hacer la instalación.\rNo se puede actualizar hay sesiones activas."},
            run.Messages())
      << run.out();
  EXPECT_GT(written.load(), 0);
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{"0"},
            Query(port_, "Gestion",
                  "select count(*) from rdb$relation_fields where rdb$relation_name='CLIENTES' and "
                  "rdb$field_name='EMAIL'"));
  EXPECT_EQ(1u, UpdaterRuns(machine_).size());
  EXPECT_TRUE(InOrder(Log(), {"Comprobando sesiones activas.", "No se puede actualizar hay sesiones activas.",
                              "Recuperando copia de seguridad de archivos..."}));
}

}  // namespace
}  // namespace nx::e2e
