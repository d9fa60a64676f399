// The engine's service instances driven as the installer drives them: instsvc command lines run
// through the machine's process runner, a real private Firebird server behind each, connections
// through the product's database layer.

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/hosted_machine.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/nxmachine_run.h"
#include "tools/firebird/engine_process.h"
#include "tools/firebird/private_server.h"
#include "tools/instsvc/service_instances.h"

namespace nx {
namespace {

using namespace enginetest;
namespace fs = std::filesystem;

class ServiceTest : public ::testing::Test {
 protected:
  ~ServiceTest() override {
    // Whatever a failed test left running is stopped by its record, never by name.
    ServiceInstances services(machine_.machine());
    for (const ServiceRegistration& registration : services.All()) services.Stop(registration.name);
  }

  ServiceInstances services() { return ServiceInstances(machine_.machine()); }
  ServiceStatus StatusOf(const std::string& name) {
    std::optional<ServiceRegistration> registration = services().Find(name);
    EXPECT_TRUE(registration) << name;
    return registration ? services().Status(*registration) : ServiceStatus{};
  }
  // The exit code of a command that must start.
  uint32_t ExitOf(const std::string& commandLine) {
    ProcessResult result = RunCommand(commandLine);
    EXPECT_TRUE(result.started) << commandLine << ": error " << result.error;
    return result.exitCode;
  }
  std::string NxmachineServices() { return Nxmachine("services").text; }

  ScratchMachine machine_;
};

TEST_F(ServiceTest, InstallStartConnectStopAsTheInstallerDoes) {
  Engine engine = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  // The installer's own command lines: install without quotes, stop with two blanks.
  EXPECT_EQ(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa3"));
  std::optional<ServiceRegistration> registration = services().Find("Norvexa3");
  ASSERT_TRUE(registration);
  EXPECT_EQ("C:\\Norvexa\\firebird3", registration->engineFolder);
  auto key = machine_.platform().registry->OpenKey(
      RegRoot::kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Norvexa3", RegAccess::kRead, false);
  ASSERT_TRUE(key->QueryValue("ImagePath"));
  EXPECT_NE(std::string::npos, key->QueryValue("ImagePath")->data.find("C:\\Norvexa\\firebird3\\"));

  EXPECT_EQ(0u, ExitOf(engine.Instsvc("start -n")));
  ServiceStatus status = StatusOf("Norvexa3");
  EXPECT_TRUE(status.running);
  EXPECT_TRUE(status.listening);
  EXPECT_EQ(engine.port, status.port);
  EXPECT_NE(std::string::npos, NxmachineServices().find("Norvexa3\trunning, pid " + std::to_string(status.process.pid)));

  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(engine.port, "Gestion", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(engine.port, "GestionX", "select version from ejecutable"));
  // Aliases are found whatever their letter case, as Windows' engine finds them.
  EXPECT_TRUE(CanConnect(engine.port, "GESTION"));
  // The start-up test's database, named by its file on the server, as the administrator.
  EXPECT_EQ(std::vector<std::string>{"1"},
            Query(engine.port, "C:\\Norvexa\\DataBase\\NXDUMMY.FDB", "select id from dummy", "SYSDBA"));

  // The machine tool stops what runs, and only that.
  EXPECT_EQ("Norvexa3\tstopped\n", Nxmachine("services stop").text);
  EXPECT_FALSE(StatusOf("Norvexa3").running);
  EXPECT_EQ("", Nxmachine("services stop").text);
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("start -n")));
  EXPECT_TRUE(StatusOf("Norvexa3").running);

  EXPECT_EQ(0u, ExitOf(engine.Instsvc("stop  -n")));
  EXPECT_FALSE(StatusOf("Norvexa3").running);
  EXPECT_FALSE(PortListens(engine.port));
  EXPECT_FALSE(CanConnect(engine.port, "Gestion"));
  EXPECT_NE(std::string::npos, NxmachineServices().find("Norvexa3\tstopped"));
  // The rendered configuration lives in the machine, never in the engine folder.
  EXPECT_FALSE(machine_.Exists("C:\\Norvexa\\firebird3\\lock"));
  EXPECT_TRUE(fs::exists(services().InstanceFolder("Norvexa3") + "/firebird.conf"));
}

TEST_F(ServiceTest, EveryStartReadsTheAliasFileAndPortAfresh) {
  Engine engine = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  ASSERT_EQ(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa3"));
  ASSERT_EQ(0u, ExitOf(engine.Instsvc("start -n")));
  ASSERT_EQ(std::vector<std::string>{}, Query(engine.port, "Gestion", "select nombre from clientes"));

  // What the server installation does on a second run: sample data chosen, another port.
  uint16_t newPort = FreeTcpPort();
  SetEntry(machine_, engine.aliasFile(), "Gestion", "C:\\Norvexa\\Database\\Gestion3Muestra.fdb");
  SetEntry(machine_, engine.engineFolder() + "firebird.conf", "RemoteServicePort", std::to_string(newPort));
  SetEntry(machine_, engine.engineFolder() + "firebird.conf", "RemoteAuxPort", std::to_string(newPort + 1));
  ASSERT_EQ(0u, ExitOf(engine.Instsvc("stop -n")));
  ASSERT_EQ(0u, ExitOf(engine.Instsvc("start -n")));

  EXPECT_FALSE(PortListens(engine.port));
  std::vector<std::string> clients = Query(newPort, "Gestion", "select nombre from clientes order by id_cliente");
  ASSERT_EQ(3u, clients.size());
  EXPECT_EQ("Panadería Muñoz", clients[0]);
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(newPort, "GestionX", "select version from ejecutable"));
}

TEST_F(ServiceTest, NothingToDoEndsWithZeroAndRemovingARunningInstanceIsRefused) {
  Engine engine = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  // Never installed: stopping and removing simply end; starting fails.
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("stop  -n")));
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("r -n")));
  EXPECT_NE(0u, ExitOf(engine.Instsvc("start -n")));

  ASSERT_EQ(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa3"));
  EXPECT_NE(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa3")) << "installed twice";
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("stop -n"))) << "stopping a stopped instance";
  ASSERT_EQ(0u, ExitOf(engine.Instsvc("start -n")));
  ServerProcess first = StatusOf("Norvexa3").process;
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("start -n"))) << "starting a started instance";
  EXPECT_EQ(first.pid, StatusOf("Norvexa3").process.pid);

  EXPECT_NE(0u, ExitOf(engine.Instsvc("r -n")));
  EXPECT_TRUE(StatusOf("Norvexa3").running);
  EXPECT_TRUE(CanConnect(engine.port, "Gestion"));

  ASSERT_EQ(0u, ExitOf(engine.Instsvc("stop -n")));
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("r -n")));
  EXPECT_FALSE(services().Find("Norvexa3"));
  EXPECT_FALSE(fs::exists(services().InstanceFolder("Norvexa3")));
  EXPECT_FALSE(IsServerProcess(first));
}

TEST_F(ServiceTest, StopEndsExactlyTheRecordedServer) {
  Engine ours = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  machine_.MapDrive('D', machine_.root() + "/otro-disco");
  Engine other = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort(), "D:\\Otro\\");
  std::unique_ptr<PrivateServer> outsider = PrivateServer::StartScratch();

  ASSERT_EQ(0u, ExitOf(ours.toolFolder() + "instsvc install -g -n Norvexa3"));
  ASSERT_EQ(0u, ExitOf(other.toolFolder() + "instsvc install -g -n Otro3"));
  ASSERT_EQ(0u, ExitOf(ours.Instsvc("start -n")));
  ASSERT_EQ(0u, ExitOf(other.toolFolder() + "instsvc start -n Otro3"));
  EXPECT_EQ("D:\\Otro\\firebird3", services().Find("Otro3")->engineFolder);

  // Any copy of the tool acts on the instance by its name, as Windows' service manager does.
  EXPECT_EQ(0u, ExitOf(other.toolFolder() + "instsvc stop -n Norvexa3"));
  EXPECT_FALSE(StatusOf("Norvexa3").running);
  EXPECT_TRUE(StatusOf("Otro3").running);
  EXPECT_TRUE(CanConnect(other.port, "Gestion"));
  EXPECT_TRUE(outsider->running());

  // A server that died on its own leaves a stale record; stop clears it and start works again.
  ServerProcess otherProcess = StatusOf("Otro3").process;
  ASSERT_EQ(0, kill(otherProcess.pid, SIGKILL));
  for (int i = 0; i < 400 && IsServerProcess(otherProcess); ++i) usleep(5000);
  EXPECT_EQ(0u, ExitOf(other.toolFolder() + "instsvc stop -n Otro3"));
  EXPECT_EQ(0u, ExitOf(other.toolFolder() + "instsvc start -n Otro3"));
  EXPECT_TRUE(CanConnect(other.port, "Gestion"));
  ASSERT_EQ(0u, ExitOf(other.toolFolder() + "instsvc stop -n Otro3"));

  // A record whose pid now belongs to another program: that program is left alone.
  pid_t bystander = fork();
  if (bystander == 0) {
    execl("/bin/sleep", "sleep", "30", nullptr);
    _exit(127);
  }
  ASSERT_GT(bystander, 0);
  std::ofstream(services().InstanceFolder("Otro3") + "/server.pid")
      << bystander << " " << ProcessStartTime(bystander) << " " << other.port << "\n";
  EXPECT_EQ(0u, ExitOf(other.toolFolder() + "instsvc stop -n Otro3"));
  EXPECT_EQ(0, waitpid(bystander, nullptr, WNOHANG)) << "the bystander was ended";
  kill(bystander, SIGKILL);
  waitpid(bystander, nullptr, 0);
  EXPECT_TRUE(outsider->running());
}

TEST_F(ServiceTest, OlderGenerationLayout) {
  Engine engine = PutEngine(machine_, SampleMedium("gen25"), false, FreeTcpPort());
  EXPECT_TRUE(machine_.Exists("C:\\Norvexa\\firebird\\bin\\instsvc.exe"));
  EXPECT_TRUE(machine_.Exists("C:\\Norvexa\\firebird\\security2.fdb"));
  ASSERT_EQ(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa"));
  EXPECT_EQ("C:\\Norvexa\\firebird", services().Find("Norvexa")->engineFolder);
  ASSERT_EQ(0u, ExitOf(engine.Instsvc("start -n")));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(engine.port, "Gestion", "select version from configuracion"));
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(engine.port, "GestionX", "select version from ejecutable"));
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("stop  -n")));
  EXPECT_EQ(0u, ExitOf(engine.Instsvc("r -n")));
}

TEST_F(ServiceTest, AStartThatCannotListenFailsClearly) {
  Engine engine = PutEngine(machine_, SampleMedium("gen3"), true, FreeTcpPort());
  ASSERT_EQ(0u, ExitOf(engine.toolFolder() + "instsvc install -g -n Norvexa3"));

  // The port taken by another program.
  int holder = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(engine.port);
  ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(holder, 1));
  EXPECT_NE(0u, ExitOf(engine.Instsvc("start -n")));
  EXPECT_FALSE(StatusOf("Norvexa3").running);
  close(holder);

  // No port in the configuration: the default belongs to this host's own engine.
  machine_.WriteFile(engine.engineFolder() + "firebird.conf", "#RemoteServicePort = 3050\r\n");
  EXPECT_NE(0u, ExitOf(engine.Instsvc("start -n")));
  machine_.WriteFile(engine.engineFolder() + "firebird.conf", "RemoteServicePort=setecientos\r\n");
  EXPECT_NE(0u, ExitOf(engine.Instsvc("start -n")));
  EXPECT_FALSE(StatusOf("Norvexa3").running);

  // A missing security database.
  SetEntry(machine_, engine.engineFolder() + "firebird.conf", "RemoteServicePort", std::to_string(engine.port));
  fs::remove(machine_.HostPath("C:\\Norvexa\\firebird3\\security3.fdb"));
  EXPECT_NE(0u, ExitOf(engine.Instsvc("start -n")));
  EXPECT_FALSE(StatusOf("Norvexa3").running);
}

TEST_F(ServiceTest, ClientLibraryInstalledForTheWholeMachine) {
  // The installer runs the tool from the medium: {PathActual}{FBPATH}instclient.exe.
  machine_.MapDrive('E', SampleMedium("gen3"));
  EXPECT_EQ(0u, ExitOf("E:\\\\firebird3\\instclient.exe i -f f"));
  EXPECT_EQ(0u, ExitOf("E:\\\\firebird3\\instclient.exe i -f g"));
  EXPECT_EQ(0u, ExitOf("E:\\\\firebird3\\instclient.exe i -f f"));
  std::string library = machine_.ReadFile("E:\\firebird3\\fbclient.dll");
  EXPECT_EQ(library, machine_.ReadFile("C:\\Windows\\System32\\fbclient.dll"));
  EXPECT_EQ(library, machine_.ReadFile("C:\\Windows\\System32\\gds32.dll"));
  auto shared = machine_.platform().registry->OpenKey(
      RegRoot::kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", RegAccess::kRead, false);
  EXPECT_EQ(RegValue::Dword(2).data, shared->QueryValue("C:\\Windows\\System32\\fbclient.dll")->data);
  EXPECT_EQ(RegValue::Dword(1).data, shared->QueryValue("C:\\Windows\\System32\\gds32.dll")->data);

  // Without -f a different library already there is kept.
  machine_.WriteFile("C:\\Windows\\System32\\gds32.dll", "another vendor's library");
  EXPECT_NE(0u, ExitOf("E:\\\\firebird3\\instclient.exe i g"));
  EXPECT_EQ("another vendor's library", machine_.ReadFile("C:\\Windows\\System32\\gds32.dll"));
}

TEST(ServiceGuardianTest, AServerEndsWhenItsMachineIsRemoved) {
  ServerProcess process;
  {
    ScratchMachine machine;
    Engine engine = PutEngine(machine, SampleMedium("gen3"), true, FreeTcpPort());
    ASSERT_EQ(0u, RunCommand(engine.toolFolder() + "instsvc install -g -n Norvexa3").exitCode);
    ASSERT_EQ(0u, RunCommand(engine.Instsvc("start -n")).exitCode);
    process = ServiceInstances(machine.machine()).Status(*ServiceInstances(machine.machine()).Find("Norvexa3")).process;
    ASSERT_TRUE(IsServerProcess(process));
  }
  // The guardian notices within a second; a machine busy with the tests beside this one may
  // take several more to end the server.
  for (int i = 0; i < 400 && IsServerProcess(process); ++i) usleep(50000);
  EXPECT_FALSE(IsServerProcess(process));
}

}  // namespace
}  // namespace nx
