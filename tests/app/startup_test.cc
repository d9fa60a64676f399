// The start-up checks on scratch machines: registry records, real listeners, a real private
// engine for generation 3, real data files.

#include <gtest/gtest.h>

#include "app/activacion.h"
#include "platform/hosted_machine.h"
#include "tests/app/window_fixture.h"
#include "tests/engine/engine_fixture.h"
#include "tools/instsvc/service_instances.h"

namespace nx::windowtest {
namespace {

class StartupTest : public WindowTest {};

TEST_F(StartupTest, NewInstallationTakesTheHomeDriveFolderAndTheFirstFreePort) {
  Create();
  form_.Activate();
  EXPECT_EQ("D:\\", form_.PathActual);
  EXPECT_EQ("C:\\Norvexa\\", form_.Path.Text());
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_FALSE(form_.SwDbnx);
  EXPECT_FALSE(form_.SwServidor);
  EXPECT_EQ(FirstFree(733), form_.puerto);
  EXPECT_EQ(std::to_string(form_.puerto), form_.LPuerto.Text());
  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_EQ("Instalación de Norvexa Gestión Ver. 1.2.3", form_.Titulo.Caption());
  EXPECT_FALSE(form_.Path.ReadOnly());
  EXPECT_TRUE(form_.CambiaCarpeta.Visible());
  EXPECT_EQ(TCursor::crDefault, form_.ScreenCursor());
  EXPECT_TRUE(operador_.interactions().empty());
  EXPECT_FALSE(form_.Closed());
  // The copy tool now lies beside the setup program; no log was written anywhere.
  EXPECT_TRUE(machine_.Exists("D:\\xcopy.exe"));
  EXPECT_FALSE(machine_.Exists("C:\\Norvexa\\Install.log"));
}

TEST_F(StartupTest, BusyPortsAreSkippedFromTheGenerationsDefault) {
  for (uint16_t p = 733; p <= 740; ++p) network_.ports.insert(p);
  Create();
  form_.Activate();
  EXPECT_EQ(FirstFree(741), form_.puerto);
  EXPECT_LE(741, form_.puerto);
}

TEST_F(StartupTest, EngineOfGeneration25AnswersWhenItsPortIsListenedOn) {
  Listener engine;
  machine_.platform().files->CreateDirectories("C:\\Norvexa\\DataBase");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()));
  Create();
  form_.Activate();
  // Engine present, no data file yet.
  EXPECT_TRUE(form_.SwnxFirebird);
  EXPECT_FALSE(form_.SwDbnx);
  EXPECT_FALSE(form_.SwServidor);
  EXPECT_EQ(engine.port(), form_.puerto);
  EXPECT_EQ(std::to_string(engine.port()), form_.LPuerto.Text());
  EXPECT_EQ("Localhost", form_.Host.Text());
  EXPECT_TRUE(form_.Path.ReadOnly());
  EXPECT_TRUE(form_.Host.ReadOnly());
  EXPECT_TRUE(form_.LPuerto.ReadOnly());
  EXPECT_FALSE(form_.CambiaCarpeta.Visible());
  EXPECT_EQ(form_.opciones.Width(), form_.Path.Width());
  EXPECT_TRUE(form_.opciones.Checked(0));
  // The header of a new run in the recorded folder's log, and no connection attempt.
  const std::string log = LogText();
  EXPECT_NE(std::string::npos, log.find(" :  \r\n")) << log;
  EXPECT_NE(std::string::npos, log.find(" :   ----- Nueva instalación ----- Gestion\r\n")) << log;
  EXPECT_EQ(std::string::npos, log.find("Intento"));
}

TEST_F(StartupTest, EngineAndDataFileMakeAnUpdate) {
  Listener engine;
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()), "servidor1");
  Create();
  form_.Activate();
  EXPECT_TRUE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  EXPECT_TRUE(form_.SwServidor);
  EXPECT_FALSE(form_.opciones.Checked(0));
  EXPECT_TRUE(form_.opciones.Checked(1));
  EXPECT_EQ("Actualización de Norvexa Gestión Ver. 1.2.3", form_.Titulo.Caption());
  EXPECT_EQ("servidor1", form_.Host.Text());
  EXPECT_FALSE(form_.Host.ReadOnly());
  EXPECT_FALSE(form_.LPuerto.ReadOnly());
  EXPECT_TRUE(form_.Path.ReadOnly());
  EXPECT_FALSE(form_.CambiaCarpeta.Visible());
}

TEST_F(StartupTest, ADataFileWithoutEngineKeepsTheDataInANewInstallation) {
  uint16_t silent = 0;
  {
    Listener gone;
    silent = gone.port();
  }
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(silent));
  Create();
  form_.Activate();
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  EXPECT_FALSE(form_.SwServidor);
  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_FALSE(form_.Path.ReadOnly());
  EXPECT_EQ(FirstFree(733), form_.puerto);
}

TEST_F(StartupTest, ARecordedFolderThatIsGoneFailsItsLogLinesSilently) {
  uint16_t silent = 0;
  {
    Listener gone;
    silent = gone.port();
  }
  RecordInstallation("C:\\Borrada\\", std::to_string(silent), "", true);
  Create(true);
  form_.Activate();
  // Both connection attempts end at their log line: the engine counts as not answering.
  EXPECT_EQ("C:\\Borrada\\", form_.Path.Text());
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_EQ(std::vector<int>{500}, clock_.pauses);
  EXPECT_FALSE(machine_.Exists("C:\\Borrada"));
  EXPECT_EQ(FirstFree(737), form_.puerto);
  EXPECT_TRUE(operador_.interactions().empty());
}

TEST_F(StartupTest, APortRecordThatIsNoNumberIsShownAndTheWindowStaysUsable) {
  RecordInstallation("C:\\Norvexa\\", "73x");
  Create();
  form_.Activate();
  ASSERT_EQ(1u, operador_.Messages().size());
  EXPECT_EQ("'73x' no es un valor entero válido", operador_.Messages()[0]);
  EXPECT_FALSE(form_.Closed());
  // What was set before stays; the port search did not run.
  EXPECT_EQ("C:\\Norvexa\\", form_.Path.Text());
  EXPECT_EQ(0, form_.puerto);
  EXPECT_EQ(0, network_.tablesRead);
  form_.opciones.ClickCheck(0);  // the window still answers the operator
  EXPECT_TRUE(form_.SwnxFirebird);
}

// Each refusal ends the checks: nothing of the machine is looked at after it.
TEST_F(StartupTest, RefusedMachinesCloseTheWindowAndProbeNothing) {
  struct Case {
    const char* setting;
    const char* value;
    const char* message;
  } cases[] = {
      {"winver", "4.0", "Versión de Windows inferior a Windows 2000\r                    No es posible la instalación."},
      {"admin", "no", "La instalación solo es posible con permisos de Administrador"},
  };
  for (const Case& c : cases) {
    ScriptedOperator operador;
    TFInstalacion form(operador);
    machine_.machine().SetSetting(c.setting, c.value);
    RecordInstallation("C:\\Norvexa\\", "3050");
    form.SetProgramFolder("D:\\");
    form.FormCreate();
    form.Activate();
    EXPECT_EQ(std::vector<std::string>{c.message}, operador.Messages()) << c.setting;
    EXPECT_TRUE(form.Closed());
    EXPECT_EQ("", form.PathActual);
    EXPECT_EQ("C:\\Archivos de Programa\\Norvexa\\nxGestion", form.Path.Text());
    EXPECT_EQ(0, form.puerto);
    EXPECT_EQ(0, network_.tablesRead);
    machine_.machine().SetSetting("winver", "6.1");
    machine_.machine().SetSetting("admin", "yes");
  }
  EXPECT_TRUE(EsAdministrador());
}

TEST_F(StartupTest, NoCopyToolRefusesTheMachine) {
  ::setenv("NXSETUP_ENV_SystemRoot", "C:\\Otro", 1);
  Create();
  form_.Activate();
  ::unsetenv("NXSETUP_ENV_SystemRoot");
  EXPECT_EQ(std::vector<std::string>{"No se puede instalar falta xcopy.exe en C:\\Otro\\system32"}, operador_.Messages());
  EXPECT_TRUE(form_.Closed());
  EXPECT_EQ(0, network_.tablesRead);
}

TEST_F(StartupTest, AFailingVersionCallWarnsAndGoesOn) {
  machine_.machine().SetSetting("winver", "none");
  Create();
  form_.Activate();
  EXPECT_EQ(std::vector<std::string>{"Problema al obtener la versión de Windows.\rPara garantizar el exito de la "
                                     "instalación\rAsegurese de tener Windows Xp Service Pack 2 o superior"},
            operador_.Messages());
  EXPECT_FALSE(form_.Closed());
  EXPECT_EQ(FirstFree(733), form_.puerto);
}

TEST_F(StartupTest, ActivatedAgainTheWindowKeepsTheOperatorsChoices) {
  Listener engine;
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()));
  Create();
  form_.Activate();
  ASSERT_TRUE(form_.SwServidor);
  // The operator wants the server reinstalled and the data replaced, and types a host.
  operador_.Answers(Answer::kYes).Answers(Answer::kYes);
  ::setenv("NXSETUP_ENV_ProgramFiles", "C:\\Program Files", 1);
  form_.opciones.ClickCheck(0);
  ::unsetenv("NXSETUP_ENV_ProgramFiles");
  ASSERT_FALSE(form_.SwnxFirebird);
  ASSERT_FALSE(form_.SwDbnx);
  form_.Activate();  // after the question boxes closed
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_FALSE(form_.SwDbnx);
  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_EQ(engine.port(), form_.puerto);
}

// Generation 3: the engine answers when the test database opens through it.
class EngineStartupTest : public WindowTest {
 protected:
  ~EngineStartupTest() override {
    ServiceInstances services(machine_.machine());
    for (const ServiceRegistration& registration : services.All()) services.Stop(registration.name);
  }
  enginetest::Engine Start() {
    enginetest::Engine engine =
        enginetest::PutEngine(machine_, enginetest::SampleMedium("gen3"), true, FreeTcpPort());
    EXPECT_EQ(0u, enginetest::RunCommand(engine.toolFolder() + "instsvc install -g -n Norvexa3").exitCode);
    EXPECT_EQ(0u, enginetest::RunCommand(engine.Instsvc("start -n")).exitCode);
    RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port), "", true);
    return engine;
  }
};

TEST_F(EngineStartupTest, AnAnsweringEngineWithItsDatabaseIsAnUpdate) {
  const enginetest::Engine engine = Start();
  Create(true);
  form_.Activate();
  EXPECT_TRUE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  EXPECT_TRUE(form_.SwServidor);
  EXPECT_EQ(engine.port, form_.puerto);
  EXPECT_FALSE(form_.con.Connected());
  EXPECT_TRUE(clock_.pauses.empty());
  const std::string log = LogText();
  EXPECT_NE(std::string::npos,
            log.find(" : Intento de conexión 1 al db Localhost/" + std::to_string(engine.port) +
                     ":C:\\Norvexa\\database\\NXDUMMY.FDB\r\n"))
      << log;
  EXPECT_EQ(std::string::npos, log.find("Intento de conexión 2"));
  EXPECT_EQ("Database=Localhost/" + std::to_string(engine.port) + ":C:\\Norvexa\\DataBase\\NXDUMMY.FDB",
            form_.con.Params().at(0));
  EXPECT_EQ("User_name=SYSDBA", form_.con.Params().at(1));
}

TEST_F(EngineStartupTest, AStoppedEngineIsTriedTwiceAndCountsAsAbsent) {
  const enginetest::Engine engine = Start();
  EXPECT_EQ(0u, enginetest::RunCommand(engine.Instsvc("stop -n")).exitCode);
  machine_.platform().files->DeleteFile("C:\\Norvexa\\DataBase\\Gestion3.FDB");
  Create(true);
  form_.Activate();
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_FALSE(form_.SwDbnx);
  EXPECT_EQ(std::vector<int>{500}, clock_.pauses);
  const std::string log = LogText();
  EXPECT_NE(std::string::npos, log.find("Intento de conexión 1 al db"));
  EXPECT_NE(std::string::npos, log.find("Intento de conexión 2 al db"));
  EXPECT_EQ(FirstFree(737), form_.puerto);
}

}  // namespace
}  // namespace nx::windowtest
