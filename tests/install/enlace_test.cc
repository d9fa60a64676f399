// Shortcut files in the shell-link format, read back by lnkinfo.

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "tests/install/lnkinfo.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

TEST(EnlaceTest, TargetWorkingFolderAndEmptyArgumentsAsAnotherReaderSeesThem) {
  ScratchMachine machine;
  ShellLinks& links = *machine.platform().links;
  links.Save("C:\\Users\\Public\\Desktop\\Gestión.lnk",
             {"C:\\Programas Contables\\Gestión\\Gestion\\nxGestion.exe", "", "C:\\Users\\Administrador\\AppData\\Local\\Temp"});
  Lnk lnk = ReadLnk(machine.HostPath("C:\\Users\\Public\\Desktop\\Gestión.lnk"));
  EXPECT_EQ("C:\\Programas Contables\\Gestión\\Gestion\\nxGestion.exe", lnk.target) << lnk.all;
  EXPECT_EQ("C:\\Users\\Administrador\\AppData\\Local\\Temp", lnk.workingFolder) << lnk.all;
  EXPECT_EQ(std::string::npos, lnk.all.find("Contains a command line arguments string")) << lnk.all;
  EXPECT_EQ(std::string::npos, lnk.all.find("Unable")) << lnk.all;

  // No working folder (TEMP unset) is stored as an empty one.
  links.Save("C:\\sin.lnk", {"C:\\a.exe", "", ""});
  lnk = ReadLnk(machine.HostPath("C:\\sin.lnk"));
  EXPECT_EQ("C:\\a.exe", lnk.target) << lnk.all;
  EXPECT_EQ(std::string::npos, lnk.all.find("Contains a working directory string")) << lnk.all;

  // A folder that is not there: the machine's error, nothing written.
  EXPECT_THROW(links.Save("C:\\no existe\\x.lnk", {"C:\\a.exe", "", ""}), OsError);
  EXPECT_FALSE(machine.Exists("C:\\no existe"));
}

}  // namespace
}  // namespace nx
