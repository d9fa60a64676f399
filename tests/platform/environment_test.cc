#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

class EnvironmentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* name : {"NXSETUP_ENV_TEMP", "NXSETUP_ENV_SystemRoot", "NXSETUP_ENV_NXNUEVA"}) ::unsetenv(name);
  }
  std::optional<std::string> Get(const std::string& name) { return CurrentPlatform().environment->Get(name); }
  ScratchMachine m;
};

TEST_F(EnvironmentTest, HoldsWhatWindowsGivesAProcess) {
  struct Case {
    const char* name;
    const char* value;
  } cases[] = {
      {"SystemRoot", "C:\\Windows"},
      {"SYSTEMROOT", "C:\\Windows"},
      {"systemdrive", "C:"},
      {"HOMEDRIVE", "C:"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"TEMP", "C:\\Users\\Administrador\\AppData\\Local\\Temp"},
      {"USERPROFILE", "C:\\Users\\Administrador"},
      {"USERNAME", "Administrador"},
      {"COMPUTERNAME", "NXPC"},
      {"ComSpec", "C:\\Windows\\system32\\cmd.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(Get(c.name), std::optional<std::string>(c.value)) << c.name;
  EXPECT_EQ(Get("PATH")->rfind("C:\\Windows\\system32;C:\\Windows", 0), 0u);
  EXPECT_EQ(Get("NXNOSUCH"), std::nullopt);
  EXPECT_EQ(Get(""), std::nullopt);
  // The folders the variables name are there.
  for (const char* name : {"SystemRoot", "ProgramFiles", "ALLUSERSPROFILE", "TEMP", "USERPROFILE"}) {
    EXPECT_TRUE(CurrentPlatform().files->DirectoryExists(*Get(name))) << name;
  }
}

TEST_F(EnvironmentTest, TheRealEnvironmentOverridesAndRemoves) {
  ::setenv("NXSETUP_ENV_TEMP", "D:\\Temporal", 1);
  ::setenv("NXSETUP_ENV_SystemRoot", "", 1);
  ::setenv("NXSETUP_ENV_NXNUEVA", "valor", 1);
  EXPECT_EQ(Get("temp"), std::optional<std::string>("D:\\Temporal"));
  EXPECT_EQ(Get("SystemRoot"), std::nullopt);
  EXPECT_EQ(Get("NxNueva"), std::optional<std::string>("valor"));
  ::unsetenv("NXSETUP_ENV_TEMP");
  EXPECT_EQ(Get("TEMP"), std::optional<std::string>("C:\\Users\\Administrador\\AppData\\Local\\Temp"));
}

}  // namespace
}  // namespace nx
