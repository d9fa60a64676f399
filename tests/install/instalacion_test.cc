// Installations run by the window's "Instalar" handler on fresh hosted machines, with a copy of
// the sample medium as D:, the engine started by the installer's own instsvc stand-in on a port of
// the test's own, and the scripted operator; checked from outside the installer.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "app/FInstall.h"
#include "app/producto.h"
#include "dbupdate/conexion.h"
#include "dbupdate/parametros.h"
#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "system/errors.h"
#include "system/registry_access.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/engine/engine_fixture.h"
#include "tests/install/lnkinfo.h"
#include "tests/support/log_lines.h"
#include "tests/support/nxmachine_run.h"
#include "tests/support/recording_clock.h"
#include "tools/firebird/engine_process.h"
#include "tools/instsvc/service_instances.h"

namespace nx {
namespace {

using namespace enginetest;
namespace fs = std::filesystem;

constexpr char kShellFolders[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Something listening on a local port, for the reachability probe.
struct Listener {
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0)
      throw std::runtime_error("no listener");
    port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd); }
  int fd = -1;
  uint16_t port = 0;
};

// A registry that refuses writes below one key, as a key whose permissions deny them does.
class RefusingRegistry : public Registry {
 public:
  RefusingRegistry(Registry& real, std::string refused) : real_(real), refused_(std::move(refused)) {}
  std::unique_ptr<RegistryKey> OpenKey(RegRoot root, const std::string& path, RegAccess access, bool create) override {
    std::string p = path[0] == '\\' ? path.substr(1) : path;
    if (access == RegAccess::kWrite && EqualsIgnoreCase(p.substr(0, refused_.size()), refused_))
      throw OsError(kErrorAccessDenied, path);
    return real_.OpenKey(root, path, access, create);
  }
  void DeleteKey(RegRoot root, const std::string& path) override { real_.DeleteKey(root, path); }

 private:
  Registry& real_;
  std::string refused_;
};

class InstalacionTest : public ::testing::Test {
 protected:
  InstalacionTest() { form_ = std::make_unique<TFInstalacion>(operador_); }
  ~InstalacionTest() override {
    // Every engine a test started is stopped by its record, never by name.
    ServiceInstances services(machine_.machine());
    for (const ServiceRegistration& registration : services.All()) services.Stop(registration.name);
  }

  // A copy of the sample medium as D: (the installer writes into its own folder), the window
  // created from it and set as activation leaves a fresh machine.
  void Prepara(bool generation3, const std::string& carpeta = "C:\\Norvexa\\") {
    generation3_ = generation3;
    CopyTree(SampleMedium(generation3 ? "gen3" : "gen25"), machine_.root() + "/medio");
    machine_.MapDrive('D', machine_.root() + "/medio");
    form_->SetProgramFolder("D:\\");
    form_->FormCreate();
    port_ = FreeTcpPort();
    Activa(carpeta, port_);
  }
  // What activation sets on a machine without a previous installation.
  void Activa(const std::string& carpeta, int port) {
    form_->PathActual = "D:\\";
    form_->Path.SetText(carpeta);
    form_->puerto = port;
    form_->LPuerto.SetText(std::to_string(port));
    form_->SwnxFirebird = false;
    form_->SwDbnx = false;
    form_->SwServidor = false;
  }

  std::string gen() const { return generation3_ ? "3" : ""; }
  std::string Reg(RegRoot root, const std::string& key, const std::string& name) {
    return LeeRegistro(root, key, name);
  }
  std::vector<std::string> Log(const std::string& carpeta = "C:\\Norvexa\\") {
    return LogLines(machine_.ReadFile(carpeta + "Install.log"));
  }
  std::vector<std::string> Lines(const std::string& windowsFile) {
    std::vector<std::string> lines;
    std::istringstream in(DecodeTextFile(machine_.ReadFile(windowsFile)));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  std::string Host(const std::string& windowsPath) { return machine_.HostPath(windowsPath); }
  std::string Programs() { return Reg(RegRoot::kLocalMachine, kShellFolders, "Common Programs"); }
  std::string Desktop() { return Reg(RegRoot::kLocalMachine, kShellFolders, "Common Desktop"); }
  std::string Startup() { return Reg(RegRoot::kCurrentUser, kShellFolders, "Startup"); }

  ScratchMachine machine_;
  RecordingClock clock_{*machine_.platform().clock};
  ScopedPlatform pauses_{Platform{.clock = &clock_}};
  ScriptedOperator operador_;
  std::unique_ptr<TFInstalacion> form_;
  bool generation3_ = true;
  uint16_t port_ = 0;
};

// The host names the machine: a fresh installation on it, then a workstation of that server.
TEST_F(InstalacionTest, WorkstationOnlyAgainstTheServerInstalledFirst) {
  Prepara(true);
  form_->opciones.SetChecked(1, false);
  form_->BComenzar.Click();
  ASSERT_EQ(1u, operador_.Messages().size());
  ASSERT_TRUE(CanConnect(port_, "GestionX"));

  form_ = std::make_unique<TFInstalacion>(operador_);
  form_->SetProgramFolder("D:\\");
  form_->FormCreate();
  Activa("C:\\Puesto", port_);
  form_->Host.SetText("127.0.0.1");
  form_->opciones.SetChecked(0, false);
  form_->Escritorio.SetChecked(false);
  form_->BComenzar.Click();

  ASSERT_EQ(2u, operador_.Messages().size());
  EXPECT_EQ("Instalación Terminada.", operador_.Messages()[1]);
  std::vector<std::string> log = Log("C:\\Puesto\\");
  EXPECT_TRUE(InOrder(log, {"Base de datos de actualización no encontrada", "Instalado gds32.dll",
                            "Enlace de Menú inicio y escritorio de Gestion hecho.", "Fin copia de fuentes",
                            "Sincronizacambios no aplicado.", "Preparación Base de datos hecho.",
                            "actualizando :  \"C:\\Puesto\\Gestion\\actualizador2.exe\" 127.0.0.1/" +
                                std::to_string(port_) + ":GestionX \"C:\\Puesto\\Gestion\\NO\"",
                            "Instalación terminada."}));
  EXPECT_EQ(0u, CountStarting(log, "Iniciando instalacion firebird."));
  EXPECT_EQ(0u, CountStarting(log, "Creando enlace de inicio"));
  EXPECT_EQ(33u + 1u, static_cast<size_t>(form_->PBar.Max()));
  // The updater read the server's update database and placed the program the shortcut runs.
  EXPECT_TRUE(machine_.Exists("C:\\Puesto\\Gestion\\nxGestion.exe"));
  EXPECT_EQ("C:\\Puesto\\Gestion\\nxGestion.exe", ReadLnk(Host(Programs() + "\\Norvexa\\Gestion.lnk")).target);
  EXPECT_FALSE(machine_.Exists(Startup() + "\\Gestion.lnk"));
  EXPECT_FALSE(machine_.Exists("C:\\Puesto\\DataBase\\Gestion3.FDB"));
  EXPECT_EQ("127.0.0.1", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Gestion", "Host"));
}

// Where the driver stops with the window open: nothing of the installation is made.
TEST_F(InstalacionTest, StopsLeaveTheWindowOpen) {
  Prepara(true);
  // The server does not answer: the message names host and port, no folder is created.
  form_->opciones.SetChecked(0, false);
  form_->LPuerto.SetText(std::to_string(FreeTcpPort()));
  form_->BComenzar.Click();
  ASSERT_EQ(1u, operador_.Messages().size());
  EXPECT_EQ("No puedo conectar con el servidor de datos.\r\r  Compruebe la instalación, la conexión de red y la "
            "configuración\r  del Firewall del servidor si lo tiene instalado.\r\rServidor : localhost\rPuerto    : " +
                form_->LPuerto.Text(),
            operador_.Messages()[0]);
  EXPECT_FALSE(machine_.Exists("C:\\Norvexa"));
  // A port text that is no number fails the probe the same way.
  form_->LPuerto.SetText("setecientos");
  form_->BComenzar.Click();
  EXPECT_EQ(0u, operador_.Messages().at(1).rfind("No puedo conectar con el servidor de datos.", 0));

  // Nothing ticked, server reachable: the folders come first, then the message.
  Listener listener;
  form_->LPuerto.SetText(std::to_string(listener.port));
  form_->opciones.SetChecked(1, false);
  form_->BComenzar.Click();
  EXPECT_EQ("Debe de seleccionar alguna opción", operador_.Messages().at(2));
  EXPECT_TRUE(machine_.Exists("C:\\Norvexa\\DataBase"));
  EXPECT_EQ((std::vector<std::string>{"Preparando dll´s de instalación  cmd /c xcopy  \"D:\\\\dll\\*.*\" \"D:\\\\*.*\" /C/Y/I",
                                      "Ficheros Dll copiados"}),
            Log());

  // Cancel at the data question: nothing changes.
  form_->opciones.SetChecked(0, true);
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion3.FDB", "datos del cliente");
  operador_.Answers(Answer::kCancel);
  form_->BComenzar.Click();
  EXPECT_EQ(2u, Log().size());
  EXPECT_EQ("datos del cliente", machine_.ReadFile("C:\\Norvexa\\DataBase\\Gestion3.FDB"));
  EXPECT_FALSE(form_->Closed());
  EXPECT_TRUE(form_->Botones.Visible());
  EXPECT_EQ(0u, operador_.Pending());
}

// Texts pasted into command lines are refused before anything is created.
TEST_F(InstalacionTest, InjectionAttemptsCreateNothing) {
  Prepara(true);
  struct Case {
    std::string path, host, named;
  };
  const Case cases[] = {
      {"C:\\x\" & echo pwned > C:\\pwned.txt & \"", "localhost", "'\"'"},
      {"C:\\x%PATH%", "localhost", "'%'"},
      {"C:\\Norvexa", "localhost\" & echo pwned > C:\\pwned.txt & \"", "'\"'"},
      {"C:\\Norvexa", "localhost&echo pwned>C:\\pwned.txt", "'&'"},
  };
  for (const Case& c : cases) {
    form_->Path.SetText(c.path);
    form_->Host.SetText(c.host);
    form_->BComenzar.Click();
    ASSERT_FALSE(operador_.Messages().empty());
    EXPECT_NE(std::string::npos, operador_.Messages().back().find("el carácter " + c.named + ".")) << operador_.Messages().back();
    EXPECT_FALSE(form_->Closed());
  }
  EXPECT_EQ(4u, operador_.Messages().size());
  EXPECT_FALSE(machine_.Exists("C:\\pwned.txt"));
  EXPECT_FALSE(machine_.Exists("C:\\x"));
  EXPECT_FALSE(machine_.Exists("C:\\Norvexa"));
  EXPECT_FALSE(machine_.Exists("D:\\fbclient.dll")) << "the setup's own libraries were copied";
}

// An error in the protected block ends in the error report and closes the window.
TEST_F(InstalacionTest, AFailingStepEndsInTheErrorReport) {
  Prepara(true);
  const std::string report =
      std::string("Instalación Terminada con error.\r Asegurese de que tiene permisos de administrador.\r Cierre todas "
                  "las aplicaciones e instale de nuevo.\r Si el problema persiste pongase en contacto con  soporte "
                  "Norvexa.\r  ") +
      kWebNorvexa + " \r  eMail : " + kEmailSoporte + " \r  Telf  : " + kTelefonoSoporte +
      " (Solo horario de oficina 'España').";
  {
    RefusingRegistry registry(*machine_.platform().registry, "SOFTWARE\\Norvexa\\Gestion");
    ScopedPlatform refusing(Platform{.registry = &registry});
    form_->opciones.SetChecked(0, false);
    Listener listener;
    form_->LPuerto.SetText(std::to_string(listener.port));
    form_->BComenzar.Click();
  }
  ASSERT_EQ(std::vector<std::string>{report}, operador_.Messages());
  EXPECT_TRUE(form_->Closed());
  std::vector<std::string> log = Log();
  EXPECT_EQ("Copiado actualizador Gestion", log.back()) << "nothing after the refused write";
  EXPECT_EQ("C:\\Norvexa\\", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path"));
  EXPECT_FALSE(machine_.Exists(Programs() + "\\Norvexa\\Gestion.lnk"));
}

// A port text that is no number, on a server installation, ends in the error report before any
// command carries it.
TEST_F(InstalacionTest, APortTextThatIsNoNumberEndsInTheErrorReport) {
  Prepara(true);
  form_->LPuerto.SetText("733\" \"x");
  form_->BComenzar.Click();
  ASSERT_EQ(1u, operador_.Messages().size());
  EXPECT_EQ(0u, operador_.Messages()[0].rfind("Instalación Terminada con error.", 0));
  EXPECT_TRUE(form_->Closed());
  EXPECT_EQ("Iniciando instalacion firebird.", Log().back());
  EXPECT_EQ("", Nxmachine("firewall").text);
  EXPECT_FALSE(machine_.Exists("C:\\Norvexa\\firebird3"));
}

// An error outside the protected block reaches whoever called the handler (the window system,
// which shows it); the window stays open and nothing is restored.
TEST_F(InstalacionTest, AnErrorOutsideTheProtectedBlockLeavesTheWindowOpen) {
  Prepara(true);
  machine_.WriteFile("C:\\Norvexa", "un fichero donde iría la carpeta");
  EXPECT_THROW(form_->BComenzar.Click(), EInOutError);
  EXPECT_FALSE(form_->Closed());
  EXPECT_TRUE(operador_.Messages().empty());
  EXPECT_EQ("", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path"));
}

// A failed update of the database brings back the data files saved by this run, byte for byte,
// with the engine stopped around both copies, and the engine opens them afterwards.
TEST_F(InstalacionTest, AFailedUpdateRestoresTheDataFiles) {
  Prepara(true);
  form_->Escritorio.SetChecked(false);
  form_->BComenzar.Click();
  ASSERT_EQ(1u, operador_.Messages().size());
  {
    // The customer's database already has a table the next version creates: its replay fails.
    TConexion c;
    LlenaParametros(c.Params(), "localhost", port_, "Gestion", kCuentaAplicacion);
    c.Open();
    c.ExecuteDirect("CREATE TABLE PEDIDOS (ID INTEGER)");
    c.Close();
  }
  // The files as they are at rest, with the engine stopped.
  const std::string instsvc = "\"C:\\Norvexa\\firebird3\\instsvc\" ";
  ASSERT_EQ(0u, RunCommand(instsvc + "stop -n Norvexa3").exitCode);
  const std::string data = "C:\\Norvexa\\DataBase\\";
  std::map<std::string, std::string> before;
  for (const char* f : {"Gestion3.FDB", "Gestion3X.FDB", "Gestion3FOTOS.FDB", "Gestion3Muestra.fdb"})
    before[f] = machine_.ReadFile(data + f);
  ASSERT_EQ(0u, RunCommand(instsvc + "start -n Norvexa3").exitCode);

  // The next version's medium, installed over the first as an update of this server.
  CopyTree(SampleMedium("gen3-newer"), machine_.root() + "/nuevo");
  machine_.MapDrive('D', machine_.root() + "/nuevo");
  form_ = std::make_unique<TFInstalacion>(operador_);
  form_->SetProgramFolder("D:\\");
  form_->FormCreate();
  Activa("C:\\Norvexa\\", port_);
  form_->SwnxFirebird = form_->SwDbnx = form_->SwServidor = true;
  form_->opciones.SetChecked(0, false);
  form_->Escritorio.SetChecked(false);
  form_->BComenzar.Click();

  ASSERT_EQ(2u, operador_.Messages().size());
  EXPECT_EQ(0u, operador_.Messages()[1].rfind("No se puede hacer la instalación.\r", 0)) << operador_.Messages()[1];
  EXPECT_TRUE(form_->Closed());
  for (const auto& [file, bytes] : before) EXPECT_TRUE(bytes == machine_.ReadFile(data + file)) << file << " changed";
  EXPECT_TRUE(machine_.Exists(data + "copia-Gestion3X.FDB"));
  std::vector<std::string> log = Log();
  EXPECT_TRUE(InOrder(log, {"Realizando copia de seguridad de archivos...",
                            "Parado servicio firebird3 para copiar los ficheros de datos",
                            "Arrancado servicio firebird3 tras copiar los ficheros de datos",
                            "Recuperando copia de seguridad de archivos...",
                            "Parado servicio firebird3 para copiar los ficheros de datos",
                            "Arrancado servicio firebird3 tras copiar los ficheros de datos"}));
  EXPECT_EQ(1u, CountStarting(log, "Ejecutando actualizador")) << "the updater does not run again";
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "GestionX", "select version from ejecutable"));
}

class GeneracionTest : public InstalacionTest, public ::testing::WithParamInterface<bool> {};

// A server and workstation installation on a fresh machine, then a second run over it.
TEST_P(GeneracionTest, ServerAndWorkstationOnAFreshMachineThenAgain) {
  const bool g3 = GetParam();
  // The older generation goes to a folder with a blank and an accent.
  const std::string carpeta = g3 ? "C:\\Norvexa\\" : "C:\\Programas Contables\\Gestión\\";
  Prepara(g3, "  " + carpeta.substr(0, carpeta.size() - 1) + " ");
  form_->CheckInicio.SetChecked(true);
  form_->BComenzar.Click();

  ASSERT_EQ(std::vector<std::string>{"Instalación Terminada.\rPara la instalación en el resto de puestos de la red use\r"
                                     " Como servidor : localhost y puerto : " + std::to_string(port_) +
                                     "\r y desmarque la opcion de servidor."},
            operador_.Messages());
  EXPECT_TRUE(form_->Closed());
  EXPECT_EQ(carpeta, form_->Path.Text());
  EXPECT_FALSE(form_->Botones.Visible());
  EXPECT_EQ(8 + 5 + 1 + 33 + 1 + 1, form_->PBar.Max());

  // Files.
  const std::string app = carpeta + "Gestion\\";
  for (const std::string& f : {carpeta + "UnInstall.exe", carpeta + "DataBase\\Gestion" + gen() + ".FDB",
                               carpeta + "DataBase\\Gestion" + gen() + "X.FDB",
                               carpeta + "DataBase\\Gestion" + gen() + "FOTOS.FDB",
                               carpeta + "firebird" + gen() + "\\firebird.conf", app + "actualizador.exe",
                               app + "actualizador2.exe", app + "nxGestion.exe", app + "fbclient.dll",
                               app + "dbrtl140.bpl", app + "Ayuda\\Gestion.chm", app + "Ayuda\\imagenes\\portada.txt",
                               carpeta + "Remoto\\oculto.dat", carpeta + "fuentes\\extra\\NorvexaMono.ttf",
                               carpeta + "Ftp\\plantillas\\copia.txt", std::string("C:\\Windows\\fonts\\NorvexaSans.ttf"),
                               std::string("D:\\fbclient.dll"), std::string("C:\\Windows\\system32\\drivers\\etc\\hosts.old")})
    EXPECT_TRUE(machine_.Exists(f)) << f;
  EXPECT_FALSE(machine_.Exists("C:\\Windows\\fonts\\NorvexaOculta.ttf")) << "hidden fonts stay out";
  EXPECT_FALSE(machine_.Exists("C:\\Windows\\fonts\\NorvexaMono.ttf")) << "only top-level fonts";
  EXPECT_NE(std::string::npos, machine_.ReadFile("C:\\Windows\\system32\\drivers\\etc\\hosts").find("nxservidor"));

  // Registry records.
  const std::string p = std::to_string(port_);
  EXPECT_EQ(carpeta, Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path"));
  EXPECT_EQ(p, Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Firebird" + gen(), "Puerto"));
  EXPECT_EQ("localhost", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Firebird" + gen(), "Host"));
  EXPECT_EQ(carpeta + "Firebird", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Firebird" + gen(), "Path"));
  EXPECT_EQ(carpeta + "Gestion", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Gestion", "Path"));
  EXPECT_EQ(p, Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Gestion", "Puerto"));
  EXPECT_EQ("localhost", Reg(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\Gestion", "Host"));
  const std::string un = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvexa-";
  EXPECT_EQ("Norvexa Norvexa Gestión", Reg(RegRoot::kLocalMachine, un + "Gestion", "DisplayName"));
  EXPECT_EQ(carpeta + "UnInstall.exe -Gestion", Reg(RegRoot::kLocalMachine, un + "Gestion", "UninstallString"));
  EXPECT_EQ(std::string(kWebNorvexa) + "Gestion", Reg(RegRoot::kLocalMachine, un + "Gestion", "URLInfoAbout"));
  EXPECT_EQ(carpeta + "Gestion", Reg(RegRoot::kLocalMachine, un + "Gestion", "InstallLocation"));
  if (g3) {
    // Only the exact "Firebird" gets the engine's set.
    EXPECT_EQ("Norvexa Firebird Database", Reg(RegRoot::kLocalMachine, un + "Firebird3", "DisplayName"));
    EXPECT_EQ(carpeta + "Gestion\\Firebird3.ico", Reg(RegRoot::kLocalMachine, un + "Firebird3", "DisplayIcon"));
  } else {
    EXPECT_EQ("Firebird Database (Norvexa Instalation)", Reg(RegRoot::kLocalMachine, un + "Firebird", "DisplayName"));
    EXPECT_EQ("Firebird Project", Reg(RegRoot::kLocalMachine, un + "Firebird", "Publisher"));
    EXPECT_EQ(std::string(kWebFirebird), Reg(RegRoot::kLocalMachine, un + "Firebird", "URLInfoAbout"));
    EXPECT_EQ(carpeta + "Firebird\\Firebird.ico", Reg(RegRoot::kLocalMachine, un + "Firebird", "DisplayIcon"));
    EXPECT_EQ("2.5", Reg(RegRoot::kLocalMachine, un + "Firebird", "DisplayVersion"));
  }

  // Firewall, service, aliases through a real connection.
  const std::string firewall = Nxmachine("firewall").text;
  EXPECT_NE(std::string::npos, firewall.find(p + ":TCP:LocalSubNet:Enabled:Norvexa Firebird DataBase")) << firewall;
  EXPECT_NE(std::string::npos, firewall.find(std::to_string(port_ + 1) + ":TCP:LocalSubNet:Enabled:Norvexa Firebird Eventos"))
      << firewall;
  ServiceInstances services(machine_.machine());
  std::optional<ServiceRegistration> service = services.Find("Norvexa" + gen());
  ASSERT_TRUE(service);
  ServiceStatus status = services.Status(*service);
  EXPECT_TRUE(status.running && status.listening);
  EXPECT_EQ(port_, status.port);
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "GestionX", "select version from ejecutable"));
  EXPECT_TRUE(CanConnect(port_, "GestionFOTOS"));

  // The text files.
  const std::string aliasFile = carpeta + (g3 ? "firebird3\\databases.conf" : "firebird\\aliases.conf");
  const std::string conf = carpeta + "firebird" + gen() + "\\firebird.conf";
  auto checkTextFiles = [&] {
    std::vector<std::string> aliases = Lines(aliasFile);
    EXPECT_EQ(1u, CountStarting(aliases, "Gestion=")) << "sample data ticked? no";
    EXPECT_EQ(1, std::count(aliases.begin(), aliases.end(), "Gestion=" + carpeta + "Database\\Gestion" + gen() + ".FDB"));
    EXPECT_EQ(1, std::count(aliases.begin(), aliases.end(), "GestionX=" + carpeta + "Database\\Gestion" + gen() + "X.FDB"));
    EXPECT_EQ(1u, CountStarting(aliases, "NXDUMMY="));
    std::vector<std::string> config = Lines(conf);
    EXPECT_EQ(1, std::count(config.begin(), config.end(), "RemoteServicePort=" + p));
    EXPECT_EQ(1, std::count(config.begin(), config.end(), "RemoteAuxPort=" + std::to_string(port_ + 1)));
    EXPECT_EQ(1u, CountStarting(config, "RemoteServicePort"));
    std::vector<std::string> uninstall = Lines(carpeta + "UnInstall.dat");
    ASSERT_EQ(3u, uninstall.size());
    EXPECT_EQ("[Norvexa UnInstall]", uninstall[0]);
    EXPECT_EQ(0u, uninstall[1].rfind("Firebird" + gen() + "=Firebird" + gen() + " Norvexa Puerto: " + p + "," + carpeta +
                                          "firebird" + gen() + ",", 0))
        << uninstall[1];
    EXPECT_EQ(0u, uninstall[2].rfind("Gestion=Norvexa Gestión," + carpeta + "Gestion,", 0)) << uninstall[2];
  };
  checkTextFiles();

  // Shortcuts, read by lnkinfo: the start-menu and desktop ones run the program, the start-up one
  // a program named after the application; all start in TEMP.
  const std::string temp = CurrentPlatform().environment->Get("TEMP").value_or("");
  auto checkShortcuts = [&] {
    for (const std::string& link : {Programs() + "\\Norvexa\\Gestion.lnk", Desktop() + "\\Gestion.lnk"}) {
      Lnk lnk = ReadLnk(Host(link));
      EXPECT_EQ(carpeta + "Gestion\\nxGestion.exe", lnk.target) << link << "\n" << lnk.all;
      EXPECT_EQ(temp, lnk.workingFolder) << lnk.all;
    }
    Lnk startup = ReadLnk(Host(Startup() + "\\Gestion.lnk"));
    EXPECT_EQ(carpeta + "Gestion\\Gestion.exe", startup.target) << startup.all;
    EXPECT_EQ(temp, startup.workingFolder);
  };
  checkShortcuts();

  // The log, in order.
  std::vector<std::string> log = Log(carpeta);
  EXPECT_TRUE(InOrder(log, {"Ficheros Dll copiados", "Microsoft Runtime C++ instalando", "Microsoft Runtime C++ instalado",
                            "Iniciando instalacion firebird.", "Servicio Firebird Parado", "Servicio Firebird Eliminado",
                            "Carpeta firebird copiada.", "Servicio Firebird Instalado",
                            "Reglas de firewall windows agregadas", "Copiando DataBase\\*.FDB", "Base de datos copiada",
                            "Alias base de datos agregado a " + aliasFile, "Puerto Modificado firebird.conf",
                            "Parado servicio firebird", "Arrancado Servicio Firebird" + gen(),
                            "Registro SoftWare Norvexa hecho", "UnInstall.dat firebird" + gen() + " Hecho.",
                            "Instalado fbclient.dll", "Instalado gds32.dll", "Instalando Norvexa Gestión",
                            "Copiado actualizador Gestion", "Registro Software Norvexa Gestion hecho.",
                            "Registro UnInstall Gestion hecho.", "Log UnInstall.dat de Gestion hecho.",
                            "Enlace de Menú inicio y escritorio de Gestion hecho.",
                            "Creando enlace de inicio de windows.", "Carpeta Remoto y fuentes Copiada",
                            "Ftp Backup Instalado", "Ayuda Instalada", "Iniciando copia de fuentes.",
                            "Fin copia de fuentes", "Preparación Base de datos hecho.", "Ejecutando actualizador",
                            "actualizando : actualizador.exe", "Instalación terminada."}));
  EXPECT_EQ(1u, CountStarting(log, "Base de datos X copiada para actualización cmd /c xcopy  "));
  if (!g3) {
    // The log file is in the system code page.
    EXPECT_NE(std::string::npos, machine_.ReadFile(carpeta + "Install.log").find("Alias base de datos agregado a C:\\Programas Contables\\Gesti\xF3n\\firebird\\aliases.conf"));
  }

  // Again over the first installation, keeping the data files.
  operador_.Answers(Answer::kNo);
  form_ = std::make_unique<TFInstalacion>(operador_);
  form_->SetProgramFolder("D:\\");
  form_->FormCreate();
  Activa(carpeta, port_);
  form_->CheckInicio.SetChecked(true);
  Query(port_, "Gestion", "select version from configuracion");  // the engine is running
  form_->BComenzar.Click();
  ASSERT_EQ(3u, operador_.interactions().size());
  EXPECT_EQ("¿!! BORRAR DATOS ANTERIORES !!?", operador_.interactions()[1].caption);
  EXPECT_EQ(0u, operador_.Messages()[1].rfind("Instalación Terminada.\rPara", 0)) << operador_.Messages()[1];
  checkTextFiles();
  checkShortcuts();
  EXPECT_EQ(1, std::distance(fs::directory_iterator(Host(Programs() + "\\Norvexa")), fs::directory_iterator()));
  EXPECT_TRUE(CanConnect(port_, "Gestion"));
  // The backup of the second run holds the application's files and the data files.
  std::vector<std::string> stamps;
  for (const auto& e : fs::directory_iterator(Host(carpeta + "Gestion\\old"))) stamps.push_back(e.path().string());
  ASSERT_EQ(1u, stamps.size());
  EXPECT_TRUE(fs::exists(stamps[0] + "/Gestion/nxGestion.exe"));
  EXPECT_TRUE(fs::exists(stamps[0] + "/database/Gestion" + gen() + ".FDB"));
  log = Log(carpeta);
  EXPECT_TRUE(InOrder(log, {"Realizando copia de seguridad de archivos...",
                            "Parado servicio firebird" + gen() + " para copiar los ficheros de datos",
                            "Arrancado servicio firebird" + gen() + " tras copiar los ficheros de datos",
                            "Microsoft Runtime C++ instalando"}));
}

INSTANTIATE_TEST_SUITE_P(Generaciones, GeneracionTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Gen3" : "Gen25"; });

}  // namespace
}  // namespace nx
