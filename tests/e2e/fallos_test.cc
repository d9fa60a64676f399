// The installer killed at chosen points of a server installation, then run again; and machines
// that refuse the installation (a folder that cannot be written, a registry that cannot be
// written, a full disk): never a crash, never a half-written file, never a damaged database.

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "dbupdate/conexion.h"
#include "dbupdate/parametros.h"
#include "dbupdate/transaccion.h"
#include "tests/e2e/e2e_support.h"
#include "tools/instsvc/service_instances.h"

namespace nx::e2e {
namespace {

namespace fs = std::filesystem;
using namespace enginetest;

// The host file or folder made immutable (not even root writes it) for the object's life.
class Immutable {
 public:
  explicit Immutable(const std::string& hostPath) : path_(hostPath) { ok_ = Set(true); }
  ~Immutable() {
    if (ok_) Set(false);
  }
  bool ok() const { return ok_; }
  const std::string& why() const { return why_; }

 private:
  bool Set(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!done) why_ = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return done;
  }
  std::string path_;
  std::string why_;
  bool ok_ = false;
};

// A small tmpfs mounted on a host folder for the object's life.
class SmallDisk {
 public:
  SmallDisk(const std::string& hostFolder, const std::string& size) : folder_(hostFolder) {
    fs::create_directories(folder_);
    ok_ = ::mount("nxsetup-test", folder_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    if (!ok_) why_ = std::strerror(errno);
  }
  ~SmallDisk() {
    if (ok_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool ok() const { return ok_; }
  const std::string& why() const { return why_; }

 private:
  std::string folder_;
  std::string why_;
  bool ok_ = false;
};

// A run ended by the installer itself: its transcript ends with the window's last word.
::testing::AssertionResult EndedCleanly(const Drive& run) {
  if (!run.exited() || run.code() != 0)
    return ::testing::AssertionFailure() << "exit " << run.code() << " signal " << run.signal() << "\n" << run.out() << run.err();
  const std::string out = "\n" + run.out();
  if (out.find("\nmessage: ") == std::string::npos && out.find("\nerror: ") == std::string::npos)
    return ::testing::AssertionFailure() << "neither a message nor an error shown\n" << run.out();
  return ::testing::AssertionSuccess();
}

struct KillPoint {
  const char* name;
  const char* fault;        // NXSETUP_FAULT of the first run
  const char* lastLogLine;  // the last line the killed run wrote
};
void PrintTo(const KillPoint& point, std::ostream* os) { *os << point.name; }

class KilledInstallation : public E2eTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KilledInstallation, TheNextRunCompletes) {
  const KillPoint& point = GetParam();
  Medium("gen3");
  // The installer chooses the port (from 737 upwards); the suite runs under one lock for it.
  const std::string script = "activate\nshow\nanswer No\nclick Instalar\n";
  {
    Drive killed(script, point.fault);
    killed.Wait();
    ASSERT_EQ(SIGKILL, killed.signal()) << killed.out() << killed.err();
    port_ = static_cast<uint16_t>(std::stoi(killed.Field("puerto")));
  }
  EXPECT_EQ(point.lastLogLine, Log().back());
  // The engine folder's own files are the copy's, cut with it; the next run copies them again.
  const bool engineCopy = std::string(point.name) == "EngineFolderCopy";
  EXPECT_TRUE(TextFilesWhole(/*engineFolder=*/!engineCopy));
  if (engineCopy) {
    size_t copied = 0, all = 0;
    for (const auto& e : fs::recursive_directory_iterator(machine_.HostPath("C:\\Norvexa\\firebird3"))) copied += e.is_regular_file();
    for (const auto& e : fs::recursive_directory_iterator(machine_.HostPath("D:\\firebird3"))) all += e.is_regular_file();
    EXPECT_LT(copied, all) << "the copy was whole before the kill";
  }

  Drive again(script);
  again.Wait();
  ASSERT_TRUE(EndedCleanly(again));
  port_ = static_cast<uint16_t>(std::stoi(again.Field("puerto")));
  ASSERT_FALSE(again.Messages().empty());
  EXPECT_EQ(0u, again.Messages().back().rfind("Instalación Terminada.", 0)) << again.out();
  EXPECT_EQ("Instalación terminada.", Log().back());

  EXPECT_TRUE(TextFilesWhole());
  EXPECT_TRUE(EveryDatabaseOpens());
  EXPECT_EQ(std::vector<std::string>{"1.2.3"}, Query(port_, "Gestion", "select version from configuracion"));
  const std::vector<std::string> aliases = Lines(aliasFile());
  EXPECT_EQ(1u, CountStarting(aliases, "Gestion="));
  EXPECT_EQ(1u, CountStarting(aliases, "GestionX="));
  const std::vector<std::string> config = Lines("C:\\Norvexa\\firebird3\\firebird.conf");
  EXPECT_EQ(1, std::count(config.begin(), config.end(), "RemoteServicePort=" + port()));
  EXPECT_EQ(1u, CountStarting(config, "RemoteServicePort"));
  const std::vector<std::string> uninstall = Lines("C:\\Norvexa\\UnInstall.dat");
  EXPECT_EQ(1u, CountStarting(uninstall, "Firebird3=Firebird3 Norvexa Puerto: " + port() + ","));
  EXPECT_EQ(1u, CountStarting(uninstall, "Gestion="));
}

INSTANTIATE_TEST_SUITE_P(
    Puntos, KilledInstallation,
    ::testing::Values(
        // Killed with the command: the engine folder half copied.
        KillPoint{"EngineFolderCopy", "run:1:/S/E/C/I/H/Y", "Servicio Firebird Eliminado"},
        // The alias file written, the engine's configuration not yet.
        KillPoint{"BetweenAliasesAndConfiguration", "write:1:firebird.conf",
                  "Alias base de datos agregado a C:\\Norvexa\\firebird3\\databases.conf"},
        // The second save of the uninstall list: the old list moved aside, the new one not yet
        // in its place.
        KillPoint{"UninstallListWrite", "move:3:UnInstall.dat", "Registro UnInstall Gestion hecho."}),
    [](const ::testing::TestParamInfo<KillPoint>& info) { return std::string(info.param.name); });

using Fallos = E2eTest;

// The update is killed while its replay waits on the mark of change `held` (its row held by
// another writer); the next run finishes the replay where the killed one stopped.
class ReplayKilled : public E2eTest {
 protected:
  void KillAtThenRunAgain(int held, const std::string& versionAfterKill,
                          const std::vector<std::string>& marksAfterKill) {
  Medium("gen3");
  Install(true, true);
  ASSERT_EQ(1u, operador_.Messages().size());
  form_.reset();

  Medium("gen3-newer");
  const std::string script = "activate\nclick Instalar\n";
  {
    Drive killed(script);
    // The update database is the medium's once its copy is logged; from then on the row of the
    // held change is locked, so the replay stops at its mark.
    TConexion locker;
    TTransaccion lock;
    bool locked = false;
    for (int i = 0; i < 2400 && !locked; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (CountStarting(Log(), "Base de datos X copiada para actualización") == 2) {
        LlenaParametros(locker.Params(), "localhost", port_, "GestionX", kCuentaAplicacion);
        locker.Open();
        lock.Start(locker, locker);
        lock.ExecuteDirect(locker, "UPDATE CAMBIOS_BD SET ORDEN = ORDEN WHERE ID_CAMBIO = " + std::to_string(held));
        locked = true;
      }
    }
    ASSERT_TRUE(locked) << "the update database was never copied";
    bool waiting = false;
    for (int i = 0; i < 2400 && !waiting; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      waiting = Query(port_, "GestionX",
                      "SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$STATE = 1 AND MON$SQL_TEXT STARTING WITH "
                      "'UPDATE CAMBIOS_BD SET APLICADO'",
                      "SYSDBA")[0] != "0";
    }
    ASSERT_TRUE(waiting) << "the replay never reached the held change";
    killed.Kill();
    EXPECT_EQ(SIGKILL, killed.signal());
    lock.Rollback();
    locker.Close();
  }
  EXPECT_EQ(std::vector<std::string>{versionAfterKill}, Query(port_, "Gestion", "select version from configuracion"));
  EXPECT_EQ(marksAfterKill,
            Query(port_, "GestionX", "select id_cambio from cambios_bd where aplicado='S' order by id_cambio"));
  EXPECT_TRUE(TextFilesWhole());
  EXPECT_TRUE(EveryDatabaseOpens());

  Drive again(script);
  again.Wait();
  ASSERT_TRUE(EndedCleanly(again));
  EXPECT_EQ(std::vector<std::string>{"Instalación Terminada."}, again.Messages()) << again.out();
  EXPECT_EQ(std::vector<std::string>{"1.3.0"}, Query(port_, "Gestion", "select version from configuracion"));
  // The medium's fresh copy of the update database took over the killed run's marks.
  EXPECT_EQ((std::vector<std::string>{"8", "9", "10", "11", "12"}),
            Query(port_, "GestionX", "select id_cambio from cambios_bd where aplicado='S' order by id_cambio"));
  EXPECT_TRUE(Query(port_, "GestionX", "select id_cambio from errores").empty());
  EXPECT_TRUE(EveryDatabaseOpens());
  EXPECT_TRUE(TextFilesWhole());
  }
};

// Between two versions: 1.2.4 complete, 1.3.0 not begun.
TEST_F(ReplayKilled, BetweenVersionsContinuesOnTheNextRun) { KillAtThenRunAgain(10, "1.2.4", {"8", "9"}); }

// Inside a version: change 8 applied and marked, 9 (which sets 1.2.4) not; replaying 8 again would
// fail ("already exists") on this run and on every later one.
TEST_F(ReplayKilled, InsideAVersionContinuesOnTheNextRun) { KillAtThenRunAgain(9, "1.2.3", {"8"}); }

// The installation folder cannot be written: a clear error, the window left open, no crash.
TEST_F(Fallos, AnInstallationFolderThatCannotBeWritten) {
  Medium("gen3");
  fs::create_directories(machine_.HostPath("C:\\Norvexa"));
  Immutable folder(machine_.HostPath("C:\\Norvexa"));
  if (!folder.ok()) GTEST_SKIP() << "cannot make a folder immutable here: " << folder.why();
  Drive run("activate\nclick Instalar\nshow\n");
  run.Wait();
  ASSERT_TRUE(EndedCleanly(run));
  EXPECT_NE(std::string::npos, run.out().find("error: [Norvexa Setup.] ")) << run.out();
  EXPECT_NE(std::string::npos, run.out().find("C:\\Norvexa\\")) << run.out();
  EXPECT_NE(std::string::npos, run.out().find("closed = false\n")) << run.out();
  EXPECT_TRUE(ServiceInstances(machine_.machine()).All().empty());
  EXPECT_TRUE(TextFilesWhole());
}

// The registry cannot be written: the error report, the window closed, no crash, the registry
// as it was.
TEST_F(Fallos, ARegistryThatCannotBeWritten) {
  Medium("gen3");
  const std::string registry = machine_.root() + "/registry.txt";
  const std::string before = ReadHostFile(registry);
  Immutable file(registry);
  if (!file.ok()) GTEST_SKIP() << "cannot make a file immutable here: " << file.why();
  Drive run("activate\nclick Instalar\n");
  run.Wait();
  ASSERT_TRUE(EndedCleanly(run));
  ASSERT_EQ(1u, run.Messages().size()) << run.out();
  EXPECT_EQ(0u, run.Messages()[0].rfind("Instalación Terminada con error.\r Asegurese de que tiene permisos", 0));
  EXPECT_NE(std::string::npos, run.out().find("closed = true\n"));
  EXPECT_EQ(before, ReadHostFile(registry));
  EXPECT_TRUE(TextFilesWhole());
}

// The installation folder on a disk too small for it: the run ends in a message or an error,
// never a crash, and the machine's own files stay whole.
TEST_F(Fallos, AFullDisk) {
  Medium("gen3");
  SmallDisk disk(machine_.root() + "/disco-e", "12m");
  if (!disk.ok()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount rights): " << disk.why();
  machine_.MapDrive('E', machine_.root() + "/disco-e");
  Drive run("activate\ntype Path E:\\Norvexa\\\nanswer No\nclick Instalar\nshow\n");
  run.Wait();
  StopEngines();
  EXPECT_TRUE(EndedCleanly(run));
  EXPECT_EQ(std::string::npos, run.out().find("Instalación Terminada.\r")) << "no success over a full disk\n" << run.out();
  EXPECT_TRUE(TextFilesWhole());
}

}  // namespace
}  // namespace nx::e2e
