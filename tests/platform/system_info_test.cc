// The machine's version record and administrator setting, and the shell's "open".

#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tests/support/nxmachine_run.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

TEST(SystemInfoTest, SettingsChangeWhatTheSystemReportsAndNxmachineListsThem) {
  ScratchMachine m;
  SystemInfo& system = *CurrentPlatform().system;
  ASSERT_TRUE(system.Version());
  EXPECT_EQ(6u, system.Version()->major);
  EXPECT_EQ(1u, system.Version()->minor);
  EXPECT_EQ(7601u, system.Version()->build);
  EXPECT_TRUE(system.IsAdministrator());
  EXPECT_EQ("winver = 6.1\nadmin = yes\n", Nxmachine("set").text);

  // Another process changes them; the running program sees it at its next question.
  EXPECT_EQ(0, Nxmachine("set winver 5.1").status);
  EXPECT_EQ(0, Nxmachine("set ADMIN no").status);
  EXPECT_EQ(5u, system.Version()->major);
  EXPECT_EQ(2600u, system.Version()->build);
  EXPECT_FALSE(system.IsAdministrator());
  EXPECT_EQ("winver = 5.1\nadmin = no\n", Nxmachine("set").text);
  EXPECT_EQ(0, Nxmachine("set winver none").status);
  EXPECT_FALSE(system.Version());

  // The machine's own facts survive the rewrites of its record.
  EXPECT_NE(std::string::npos, ReadHostFile(m.root() + "/machine.ini").find("UserName=Administrador"));
}

TEST(SystemInfoTest, WrongSettingsAreRefusedAndChangeNothing) {
  ScratchMachine m;
  for (const char* wrong : {"set winver seven", "set winver 6", "set admin maybe", "set colour blue", "set winver"}) {
    const NxmachineOutput out = Nxmachine(wrong);
    EXPECT_NE(0, out.status) << wrong;
  }
  EXPECT_EQ("winver = 6.1\nadmin = yes\n", Nxmachine("set").text);
  EXPECT_THROW(m.machine().SetSetting("admin", "YES"), OsError);
}

TEST(NxmachineWithoutMachineTest, SaysThereIsNoMachineAndHowToMakeOne) {
  TempDir empty;
  ScratchMachine m;  // restores NXSETUP_MACHINE at the end
  ::setenv("NXSETUP_MACHINE", empty.path().c_str(), 1);
  for (const char* command : {"path 'C:\\'", "set", "drive"}) {
    const NxmachineOutput out = Nxmachine(command);
    EXPECT_EQ(1, out.status) << command;
    EXPECT_NE(std::string::npos, out.text.find("there is no machine in " + empty.path())) << command << out.text;
    EXPECT_NE(std::string::npos, out.text.find("nxmachine init")) << out.text;
  }
}

// A batch file the shell opens runs in the command interpreter, not waited for; a name with
// trailing blanks and dots names the same file, as on Windows.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.MapDrive('D', machine_.root() + "/medio");
    machine_.WriteFile("D:\\vnc\\remoto2.bat", "@echo off\r\necho hecho> \"%~dp0hecho.txt\"\r\n");
  }
  // The started script's mark, waited for a while: nobody waits for what the shell starts.
  bool MarkAppears() {
    for (int i = 0; i < 200; ++i) {
      if (machine_.Exists("D:\\vnc\\hecho.txt")) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }
  ScratchMachine machine_;
};

TEST_F(ShellTest, OpensABatchFileWhoseNameEndsInABlank) {
  Shell& shell = *CurrentPlatform().shell;
  EXPECT_TRUE(shell.Open("D:\\\\vnc\\remoto2.bat ", "", "D:\\\\vnc", kSwHide));
  EXPECT_TRUE(MarkAppears());
}

TEST_F(ShellTest, AMissingFileOrFolderStartsNothing) {
  Shell& shell = *CurrentPlatform().shell;
  EXPECT_FALSE(shell.Open("D:\\vnc\\remoto7.bat", "", "D:\\vnc", kSwHide));
  EXPECT_FALSE(shell.Open("D:\\vnc\\remoto2.bat", "", "D:\\no-such-folder", kSwHide));
  EXPECT_FALSE(shell.Open("Q:\\vnc\\remoto2.bat", "", "", kSwHide));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(machine_.Exists("D:\\vnc\\hecho.txt"));
}

}  // namespace
}  // namespace nx
