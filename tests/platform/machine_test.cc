#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

TEST(MachineTest, AScratchMachineIsTheCurrentOneAndIsUndoneAfterwards) {
  ::setenv("NXSETUP_MACHINE", "/nonexistent/elsewhere", 1);
  std::string root;
  {
    ScratchMachine m;
    root = m.root();
    EXPECT_EQ(std::getenv("NXSETUP_MACHINE"), root);
    EXPECT_EQ(&CurrentHostedMachine(), &m.machine());
    EXPECT_EQ(CurrentPlatform().files, m.platform().files);
    {
      ScratchMachine inner;  // scopes nest
      EXPECT_EQ(&CurrentHostedMachine(), &inner.machine());
    }
    EXPECT_EQ(&CurrentHostedMachine(), &m.machine());
  }
  EXPECT_STREQ(std::getenv("NXSETUP_MACHINE"), "/nonexistent/elsewhere");
  EXPECT_FALSE(std::filesystem::exists(root));
  try {
    CurrentHostedMachine();
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorPathNotFound);
    EXPECT_NE(std::string(e.what()).find("/nonexistent/elsewhere"), std::string::npos);
  }
  ::unsetenv("NXSETUP_MACHINE");
  try {
    CurrentHostedMachine();
    ADD_FAILURE();
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorEnvvarNotFound);
    EXPECT_NE(std::string(e.what()).find("NXSETUP_MACHINE"), std::string::npos);
  }
}

TEST(MachineTest, CreateCopiesTheToolsThereAreAndLeavesAnExistingMachineAlone) {
  TempDir dir;
  dir.Write("tools/cmd", "#!/bin/sh\nexit 0\n");
  dir.Write("tools/xcopy", "#!/bin/sh\nexit 0\n");
  ::chmod((dir.path() + "/tools/cmd").c_str(), 0755);
  const std::string root = dir.path() + "/m";
  HostedMachine::Create(root, dir.path() + "/tools");
  HostedMachine machine(root);
  struct stat st;
  ASSERT_EQ(::stat(machine.HostPath("C:\\Windows\\System32\\cmd.exe").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_TRUE(std::filesystem::exists(machine.HostPath("C:\\Windows\\system32\\XCOPY.EXE")));
  EXPECT_FALSE(std::filesystem::exists(machine.HostPath("C:\\Windows\\System32\\msiexec.exe")));
  EXPECT_TRUE(std::filesystem::exists(machine.HostPath("C:\\Windows\\System32\\drivers\\etc\\hosts")));

  machine.platform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Norvexa", RegAccess::kWrite, true)
      ->SetValue("Path", RegValue::String("C:\\Norvexa\\"));
  HostedMachine::Create(root, dir.path() + "/tools");
  EXPECT_TRUE(machine.platform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Norvexa", RegAccess::kRead, false)
                  ->QueryValue("Path"));
  EXPECT_THROW(HostedMachine(dir.path() + "/tools"), OsError);  // not a machine
}

// A writer killed at any moment leaves the registry whole: the previous or the next version.
TEST(MachineTest, AKilledRegistryWriterNeverLeavesAHalfWrittenFile) {
  ScratchMachine m;
  std::string filler(4000, 'x');
  for (int round = 0; round < 6; ++round) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      HostedMachine own(m.root());
      auto key = own.platform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Killed", RegAccess::kWrite, true);
      for (int k = 0;; ++k) key->SetValue("v" + std::to_string(k % 50), RegValue::String(filler + std::to_string(k)));
    }
    ::usleep(static_cast<useconds_t>(20000 + round * 15000));
    ::kill(pid, SIGKILL);
    int status;
    ::waitpid(pid, &status, 0);
    HostedMachine fresh(m.root());
    auto key = fresh.platform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Killed", RegAccess::kRead, false);
    if (round == 5) {
      EXPECT_FALSE(key->ValueNames().empty());  // the writer did get going
    }
    for (const std::string& name : key->ValueNames()) {
      EXPECT_EQ(key->QueryValue(name)->data.compare(0, filler.size(), filler), 0) << name;
    }
  }
}

TEST(MachineTest, ClockUsesSpanishFormats) {
  ScratchMachine m;
  Clock& clock = *CurrentPlatform().clock;
  LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 10;
  t.hour = 9;
  t.minute = 5;
  t.second = 3;
  EXPECT_EQ(clock.FormatShortDate(t), "10/12/2026");
  EXPECT_EQ(clock.FormatLongTime(t), "9:05:03");
  t.hour = 23;
  EXPECT_EQ(clock.FormatLongTime(t), "23:05:03");
  const LocalTime now = clock.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.millisecond >= 0 && now.millisecond < 1000);
}

TEST(MachineTest, AProgramOutsideEveryDriveHasNoFolderButKeepsItsCommandLine) {
  ScratchMachine m;
  EXPECT_THROW(ProgramFolder(), OsError);  // this test program lies in the build folder
  const std::string line = ProgramCommandLine();
  EXPECT_NE(line.find("platform_test"), std::string::npos) << line;
}

}  // namespace
}  // namespace nx
