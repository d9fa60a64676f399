// The window's schema synchronisation on a simulated machine whose engine service instance is
// installed but stopped: the first attempt fails, the service start command runs through the
// command runner and the machine's instsvc, and the sample database is brought from 1.2.3 to
// 1.3.0. The pauses are recorded, not waited.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/FInstall.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/engine/engine_fixture.h"
#include "tools/firebird/engine_process.h"
#include "tools/instsvc/service_instances.h"
#include "tests/support/recording_clock.h"

namespace nx {
namespace {

using namespace enginetest;
namespace fs = std::filesystem;

Platform WithClock(Clock* clock) {
  Platform p;
  p.clock = clock;
  return p;
}

class SincronizaWindowTest : public ::testing::Test {
 protected:
  ~SincronizaWindowTest() override {
    // What the run started is stopped by its record, never by name.
    ServiceInstances services(machine_.machine());
    for (const ServiceRegistration& registration : services.All()) services.Stop(registration.name);
  }

  // The texts of the installation log, without their time stamps.
  std::vector<std::string> LogTexts() {
    std::istringstream in(DecodeTextFile(machine_.ReadFile("C:\\Norvexa\\Install.log")));
    std::vector<std::string> texts;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      texts.push_back(line.substr(line.find(" : ") + 3));
    }
    return texts;
  }

  ScratchMachine machine_;
  RecordingClock clock_{*machine_.platform().clock};
  ScopedPlatform scope_{WithClock(&clock_)};
  ScriptedOperator operador_;
  TFInstalacion form_{operador_};
};

TEST_F(SincronizaWindowTest, AStoppedEngineIsStartedAndTheDatabaseBroughtToTheNewVersion) {
  const Engine engine = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  // The newer medium's update database, as the installation puts it in place before the update.
  fs::copy_file(SampleMedium("gen3-newer") + "/DataBase/Gestion3X.FDB",
                machine_.HostPath("C:\\Norvexa\\DataBase\\Gestion3X.FDB"),
                fs::copy_options::overwrite_existing);
  ASSERT_EQ(0u, RunCommand(engine.toolFolder() + "instsvc install -g -n Norvexa3").exitCode);
  ASSERT_FALSE(CanConnect(engine.port, "Gestion"));

  form_.Path.SetText("C:\\Norvexa\\");
  form_.FIREBIRD = "3";
  form_.FBPATH = "firebird3\\";
  const std::string port = std::to_string(engine.port);
  EXPECT_EQ(form_.SincronizaCambios("localhost", port, "Gestion"), "");

  EXPECT_EQ(clock_.pauses, (std::vector<int>{1000, 2000, 5000}));
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                            "actualizando : antes de conectar Database=localhost/" + port + ":Gestion",
                            "actualizando : conectado espera 1",
                            "actualizando : conectado a X ",
                            "Reseteando base de datos.",
                            "Reseteando base de datos shutdown.",
                            "Reseteando base de datos startup.",
                            "Comprobando sesiones activas.",
                            "actualizando :  procedimiento de comprobaciones",
                            "ejecutando :  procedimiento de comprobaciones",
                            "actualizando :  sincroniza version nueva",
                            "Actualizanción : sincroniza cambios terminado",
                        }));
  EXPECT_TRUE(ServiceInstances(machine_.machine())
                  .Status(*ServiceInstances(machine_.machine()).Find("Norvexa3"))
                  .running);
  EXPECT_FALSE(form_.con.Connected());
  EXPECT_TRUE(form_.ConX.Connected());
  form_.ConX.Close();

  EXPECT_EQ(Query(engine.port, "Gestion", "select version from configuracion"),
            std::vector<std::string>{"1.3.0"});
  EXPECT_EQ(Query(engine.port, "GestionX",
                  "select id_cambio from cambios_bd where aplicado = 'S' order by id_cambio"),
            (std::vector<std::string>{"8", "9", "10", "11", "12"}));
  EXPECT_EQ(Query(engine.port, "Gestion", "select count(*) from pedidos"),
            std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace nx
