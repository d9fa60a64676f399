// msiexec: packages recorded in the machine's registry, and Windows Installer's exit codes.

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "tests/tools/tool_run.h"
#include "tools/msiexec/package_format.h"

namespace nx {
namespace {

using test::Launch;

std::optional<std::string> UninstallValue(const std::string& code, const std::string& name) {
  try {
    auto key = CurrentPlatform().registry->OpenKey(
        RegRoot::kLocalMachine, std::string(msi::kUninstallKey) + "\\" + code, RegAccess::kRead, false);
    std::optional<RegValue> v = key->QueryValue(name);
    if (!v) return std::nullopt;
    return v->data;
  } catch (const OsError&) {
    return std::nullopt;
  }
}

class MsiexecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_.MapDrive('D', m_.root() + "/medium");
    msi::Package p;
    p.productName = "Microsoft Runtime C++ 10 (x86)";
    p.productVersion = "10.0.1";
    p.manufacturer = "Microsoft Corporation";
    m_.WriteFile("D:\\Setup\\system32\\vccrt10_Win32.msi", msi::FormatPackage(p));
  }
  ScratchMachine m_;
};

TEST_F(MsiexecTest, InstallsAPackageQuietly) {
  // The installer's line, trailing blank and doubled backslash included.
  test::ToolRun run = Launch(R"(msiexec /i "D:\Setup\\system32\vccrt10_Win32.msi" /quiet )");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  const std::string code = msi::ProductCodeForName("vccrt10_Win32.msi");
  EXPECT_TRUE(msi::IsBracedGuid(code));
  EXPECT_EQ(code, msi::ProductCodeForName("VCCRT10_WIN32.MSI"));
  EXPECT_EQ(UninstallValue(code, "DisplayName"), "Microsoft Runtime C++ 10 (x86)");
  EXPECT_EQ(UninstallValue(code, "DisplayVersion"), "10.0.1");
  EXPECT_EQ(UninstallValue(code, "Publisher"), "Microsoft Corporation");
  EXPECT_EQ(UninstallValue(code, "InstallSource"), "D:\\Setup\\system32\\");
  EXPECT_EQ(UninstallValue(code, "InstallDate")->size(), 8u);

  // Installing again is no error; /x takes the record away.
  EXPECT_EQ(Launch(R"(msiexec /i D:\Setup\system32\vccrt10_Win32.msi /qn /norestart)").exitCode, 0u);
  EXPECT_EQ(Launch(R"(msiexec /x D:\Setup\system32\vccrt10_Win32.msi /quiet)").exitCode, 0u);
  EXPECT_FALSE(UninstallValue(code, "DisplayName"));
  EXPECT_EQ(Launch("msiexec /x " + code + " /quiet").exitCode, 1605u);
}

TEST_F(MsiexecTest, AProductCodeInThePackageIsUsed) {
  m_.WriteFile("D:\\p.msi", "NXMSI 1\r\nProductName=Other\r\nProductCode={6e1d2b8a-3c4f-4a5b-9d7e-0f1a2b3c4d5e}\r\n");
  ASSERT_EQ(Launch(R"(msiexec /passive /i "D:\p.msi")").exitCode, 0u);
  EXPECT_EQ(UninstallValue("{6E1D2B8A-3C4F-4A5B-9D7E-0F1A2B3C4D5E}", "DisplayName"), "Other");
}

TEST_F(MsiexecTest, Failures) {
  m_.WriteFile("D:\\bad.msi", "MZ\x90\0 not a package");
  m_.WriteFile("D:\\noname.msi", "NXMSI 1\r\nProductVersion=1\r\n");
  struct Case {
    const char* line;
    uint32_t exitCode;
    const char* message;
  } cases[] = {
      {R"(msiexec /i "D:\Setup\system32\vccrt8_Win32.msi" /quiet )", 1619, "No se pudo abrir este paquete"},
      {R"(msiexec /i "Q:\x.msi" /quiet)", 1619, "No se pudo abrir este paquete"},
      {R"(msiexec /i "D:\bad.msi" /quiet)", 1620, "NXMSI 1"},
      {R"(msiexec /i "D:\noname.msi" /quiet)", 1620, "ProductName"},
      {R"(msiexec /quiet)", 1639, "Argumento de línea de comandos no válido"},
      {R"(msiexec /i)", 1639, "Falta el paquete"},
      {R"(msiexec /i "D:\bad.msi" /frobnicate)", 1639, "/frobnicate"},
  };
  for (const Case& c : cases) {
    test::ToolRun run = Launch(c.line);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.line << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.line << "\n" << run.output;
  }
}

TEST(MsiPackage, ParsesAndRefuses) {
  std::string error;
  auto p = msi::ParsePackage("NXMSI 1\nproductname = X \n; note\n\nManufacturer=M\n", "x.msi", &error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->productName, "X");
  EXPECT_EQ(p->manufacturer, "M");
  EXPECT_EQ(p->productCode, msi::ProductCodeForName("x.msi"));
  EXPECT_FALSE(msi::ParsePackage("NXMSI 2\nProductName=X\n", "x.msi", &error));
  EXPECT_FALSE(msi::ParsePackage("NXMSI 1\nProductName=X\nProductName=Y\n", "x.msi", &error));
  EXPECT_FALSE(msi::ParsePackage("NXMSI 1\nProductName=X\nColour=blue\n", "x.msi", &error));
  EXPECT_FALSE(msi::ParsePackage("NXMSI 1\nProductName=X\nProductCode=1234\n", "x.msi", &error));
  EXPECT_NE(msi::ProductCodeForName("vccrt10_Win32.msi"), msi::ProductCodeForName("vccrt8_Win32.msi"));
}

}  // namespace
}  // namespace nx
