#include <filesystem>

#include <gtest/gtest.h>

#include "platform/command_line.h"
#include "tests/support/nxmachine_run.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

using Output = NxmachineOutput;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

TEST(NxmachineTest, RegistryCommandsWorkLikeRegExe) {
  ScratchMachine m;
  EXPECT_EQ(Nxmachine("reg add 'HKLM\\SOFTWARE\\Norvexa' /v Path /t REG_SZ /d 'C:\\Norvexa\\' /f").status, 0);
  EXPECT_EQ(Nxmachine("reg add 'HKLM\\SOFTWARE\\Norvexa' /v Puerto /t REG_DWORD /d 3050 /f").status, 0);
  const Output q = Nxmachine("reg query 'HKEY_LOCAL_MACHINE\\software\\norvexa'");
  EXPECT_EQ(q.status, 0);
  EXPECT_NE(q.text.find("    Path    REG_SZ    C:\\Norvexa\\\n"), std::string::npos) << q.text;
  EXPECT_NE(q.text.find("    Puerto    REG_DWORD    0xbea\n"), std::string::npos) << q.text;
  EXPECT_EQ(Nxmachine("reg delete 'HKLM\\SOFTWARE\\Norvexa' /v Path /f").status, 0);
  const Output missing = Nxmachine("reg query 'HKLM\\SOFTWARE\\Norvexa' /v Path");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.text.find("ERROR:"), std::string::npos);
  EXPECT_EQ(Nxmachine("reg delete 'HKLM\\SOFTWARE\\Norvexa' /f").status, 0);
  EXPECT_EQ(Nxmachine("reg query 'HKLM\\SOFTWARE\\Norvexa'").status, 1);
  EXPECT_EQ(Nxmachine("reg frobnicate HKLM").status, 2);
  EXPECT_EQ(Nxmachine("reg add 'HKLM\\X' /v n /t REG_DWORD /d nonumber").status, 2);
}

TEST(NxmachineTest, DrivesPathsAttributesRunAndFirewall) {
  ScratchMachine m;
  TempDir medium;
  medium.Write("Setup/nxSetup.ini", "");
  EXPECT_EQ(Nxmachine("drive D: " + Quoted(medium.path())).status, 0);
  EXPECT_EQ(Nxmachine("drive").text, "C: " + m.root() + "/C\nD: " + medium.path() + "\n");
  Output path = Nxmachine("path 'd:\\SETUP\\nxsetup.ini'");
  EXPECT_EQ(path.text, medium.path() + "/Setup/nxSetup.ini\n");
  EXPECT_EQ(Nxmachine("path 'Q:\\x'").status, 1);

  EXPECT_EQ(Nxmachine("attrib +H +R 'D:\\Setup\\nxSetup.ini'").status, 0);
  EXPECT_EQ(Nxmachine("attrib 'D:\\Setup\\nxSetup.ini'").text, "A     HR     D:\\Setup\\nxSetup.ini\n");
  EXPECT_EQ(Nxmachine("attrib -R 'D:\\Setup\\nxSetup.ini'").status, 0);
  EXPECT_EQ(Nxmachine("attrib 'D:\\Setup\\nxSetup.ini'").text, "A     H      D:\\Setup\\nxSetup.ini\n");

  m.InstallProgram(std::string(NX_BIN_DIR) + "/platform-probe", "C:\\Tools\\probe.exe");
  EXPECT_EQ(Nxmachine("run 'C:\\Tools\\probe.exe exitfull 1619'").text, "exit code 1619\n");
  EXPECT_EQ(Nxmachine("run 'C:\\Tools\\probe.exe crash'").text, "exit code 3221225477 (0xC0000005)\n");
  const Output none = Nxmachine("run 'C:\\Tools\\none.exe'");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.text.rfind("not started: error 2: ", 0), 0u) << none.text;

  const std::string key =
      "'HKLM\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
      "GloballyOpenPorts\\List'";
  EXPECT_EQ(Nxmachine("firewall").text, "");
  Nxmachine("reg add " + key + " /v 3050:TCP /d 3050:TCP:LocalSubNet:Enabled:Norvexa3 /f");
  EXPECT_EQ(Nxmachine("firewall").text, "3050:TCP  3050:TCP:LocalSubNet:Enabled:Norvexa3\n");
}

TEST(NxmachineTest, InitMakesAMachineWhereTold) {
  TempDir dir;
  const std::string root = dir.path() + "/nueva";
  const Output init = Nxmachine("init " + Quoted(root));
  EXPECT_EQ(init.status, 0) << init.text;
  EXPECT_TRUE(std::filesystem::exists(root + "/C/Windows/System32"));
  EXPECT_EQ(Nxmachine("").status, 2);
  EXPECT_EQ(Nxmachine("nonsense").status, 2);
}

}  // namespace
}  // namespace nx
