// What the installer does to the machine is visible to the operator through nxmachine: a value
// written by EscribeRegistro, and an xcopy line of the installer's own shape run on the machine.

#include <gtest/gtest.h>

#include "system/registry_access.h"
#include "tests/support/nxmachine_run.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

TEST(MachineToolTest, ShowsWhatTheInstallerWroteAndRunsItsCopyLines) {
  ScratchMachine m;
  EscribeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path", "C:\\Norvexa\\", rdString);
  const NxmachineOutput query = Nxmachine("reg query 'HKLM\\Software\\Norvexa' /v Path");
  EXPECT_EQ(query.status, 0) << query.text;
  EXPECT_NE(query.text.find("Path    REG_SZ    C:\\Norvexa\\"), std::string::npos) << query.text;

  TempDir medium;
  medium.Write("dll/fbclient.dll", "cliente");
  medium.Write("dll/msvcr100.dll", "runtime");
  medium.Write("dll/sub/no-subfolders.dll", "no");
  m.MapDrive('D', medium.path());
  const NxmachineOutput run =
      Nxmachine("run 'cmd /c xcopy  \"D:\\dll\\*.*\" \"C:\\Norvexa\\*.*\" /C/Y/I'");
  EXPECT_NE(run.text.find("2 Archivo(s) copiado(s)\r\nexit code 0\n"), std::string::npos) << run.text;
  EXPECT_EQ(m.ReadFile("C:\\Norvexa\\fbclient.dll"), "cliente");
  EXPECT_EQ(m.ReadFile("C:\\Norvexa\\msvcr100.dll"), "runtime");
  EXPECT_FALSE(m.Exists("C:\\Norvexa\\sub"));
}

}  // namespace
}  // namespace nx
