#include <dirent.h>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  Registry& reg() { return *CurrentPlatform().registry; }
  std::unique_ptr<RegistryKey> Write(const std::string& path) {
    return reg().OpenKey(RegRoot::kLocalMachine, path, RegAccess::kWrite, true);
  }
  std::unique_ptr<RegistryKey> Read(const std::string& path) {
    return reg().OpenKey(RegRoot::kLocalMachine, path, RegAccess::kRead, false);
  }
  std::string RegistryFile() const { return m.root() + "/registry.txt"; }
  ScratchMachine m;
};

TEST_F(RegistryTest, EveryTypeRoundTripsThroughTheFile) {
  const RegValue values[] = {
      RegValue::String("C:\\Norvexa\\ \"quoted\" ñ €"),
      {kRegExpandSz, "%SystemRoot%\\x"},
      {kRegBinary, std::string("\0\x01\xFF\n]\"\\", 7)},
      RegValue::Dword(0xFFFFFFFF),
      RegValue::Dword(733),
      {kRegMultiSz, std::string("uno\0dos\0\0", 9)},
      {kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      RegValue::String(""),
      RegValue::String("line\r\nbreak\ttab\x01"),
      {kRegNone, "raw"},
      {5, "\x01\x02"},
  };
  {
    auto key = Write("\\SOFTWARE\\Norvexa\\Types");
    for (size_t k = 0; k < std::size(values); ++k) key->SetValue("v" + std::to_string(k), values[k]);
  }
  // A second machine object on the same root reads the file afresh.
  HostedMachine other(m.root());
  auto key = other.platform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Norvexa\\Types", RegAccess::kRead,
                                                false);
  for (size_t k = 0; k < std::size(values); ++k) {
    std::optional<RegValue> v = key->QueryValue("V" + std::to_string(k));
    ASSERT_TRUE(v) << k;
    EXPECT_EQ(v->type, values[k].type) << k;
    EXPECT_EQ(v->data, values[k].data) << k;
  }
  EXPECT_EQ(key->ValueNames().size(), std::size(values));
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  Write("SOFTWARE\\Norvexa\\Firebird3")->SetValue("Puerto", RegValue::String("3050"));
  Write("software\\NORVEXA\\firebird3")->SetValue("PUERTO", RegValue::String("3051"));
  Write("SOFTWARE\\Norvexa\\Zeta");
  Write("SOFTWARE\\Norvexa\\alfa");
  auto key = Read("\\Software\\Norvexa\\FIREBIRD3");
  EXPECT_EQ(key->ValueNames(), std::vector<std::string>{"Puerto"});
  EXPECT_EQ(key->QueryValue("puerto")->data, "3051");
  EXPECT_EQ(Read("SOFTWARE\\Norvexa")->SubKeyNames(), (std::vector<std::string>{"alfa", "Firebird3", "Zeta"}));
  EXPECT_EQ(Read("SOFTWARE\\Norvexa")->QueryValue("Puerto"), std::nullopt);
}

TEST_F(RegistryTest, MissingKeysReadOnlyKeysAndDeletedKeysFailAsWindowsDoes) {
  auto expectCode = [](uint32_t code, auto&& f) {
    try {
      f();
      ADD_FAILURE() << "no error, expected " << code;
    } catch (const OsError& e) {
      EXPECT_EQ(e.code(), code) << e.what();
    }
  };
  expectCode(kErrorFileNotFound, [&] { Read("SOFTWARE\\NoSuch\\Key"); });
  EXPECT_THROW(Read("SOFTWARE\\NoSuch"), OsError);  // and reading created nothing on the way
  Write("SOFTWARE\\Norvexa\\A\\B\\C")->SetValue("x", RegValue::String("1"));
  expectCode(kErrorAccessDenied, [&] { Read("SOFTWARE\\Norvexa")->SetValue("x", RegValue::String("1")); });
  expectCode(kErrorFileNotFound, [&] { Write("SOFTWARE\\Norvexa")->DeleteValue("nothing"); });
  expectCode(kErrorInvalidParameter, [&] { Write("SOFTWARE\\Norvexa")->SetValue("d", {kRegDword, "12"}); });
  auto held = Read("SOFTWARE\\Norvexa\\A\\B");
  reg().DeleteKey(RegRoot::kLocalMachine, "SOFTWARE\\Norvexa\\a");
  expectCode(kErrorFileNotFound, [&] { Read("SOFTWARE\\Norvexa\\A\\B\\C"); });
  expectCode(kErrorKeyDeleted, [&] { held->QueryValue("x"); });
  expectCode(kErrorFileNotFound, [&] { reg().DeleteKey(RegRoot::kLocalMachine, "SOFTWARE\\Norvexa\\A"); });
  // Roots are separate trees.
  expectCode(kErrorFileNotFound, [&] {
    reg().OpenKey(RegRoot::kCurrentUser, "SOFTWARE\\Norvexa", RegAccess::kRead, false);
  });
}

TEST_F(RegistryTest, ACorruptFileIsAClearErrorNamingTheFile) {
  Write("SOFTWARE\\Norvexa")->SetValue("Path", RegValue::String("C:\\Norvexa\\"));
  const std::string good = ReadHostFile(RegistryFile());
  const std::string cases[] = {
      "garbage\n",
      good.substr(0, good.size() / 2),                 // cut short
      good.substr(0, good.size() - 6),                 // the closing line lost
      "NXREGISTRY 1\n\"x\"=sz:\"1\"\n; end\n",          // a value outside every key
      "NXREGISTRY 1\n[HKEY_LOCAL_MACHINE\\S]\n\"x\"=dword:12\n; end\n",
      "NXREGISTRY 1\n[HKEY_LOCAL_MACHINE\\S]\n\"x\"=hex:1g\n; end\n",
      "NXREGISTRY 1\n[HKEY_NOWHERE\\S]\n; end\n",
      "NXREGISTRY 1\n[HKEY_LOCAL_MACHINE\\S]\n\"x\"=sz:\"unclosed\n; end\n",
      "NXREGISTRY 1\n[HKEY_LOCAL_MACHINE\\S]\n\"x\"=sz:\"1\"\n\"X\"=sz:\"2\"\n; end\n",  // one name twice
      "",
  };
  for (const std::string& text : cases) {
    WriteHostFile(RegistryFile(), text);
    try {
      Read("SOFTWARE\\Norvexa")->QueryValue("Path");
      ADD_FAILURE() << "read a corrupt file: " << text;
    } catch (const OsError& e) {
      EXPECT_EQ(e.code(), kErrorBadDb) << text;
      EXPECT_NE(std::string(e.what()).find(RegistryFile()), std::string::npos) << e.what();
    }
    // A writer refuses too, rather than replacing what it could not read.
    EXPECT_THROW(Write("SOFTWARE\\Other")->SetValue("x", RegValue::String("1")), OsError);
    EXPECT_EQ(ReadHostFile(RegistryFile()), text);
  }
  WriteHostFile(RegistryFile(), good);
  EXPECT_EQ(Read("SOFTWARE\\Norvexa")->QueryValue("Path")->data, "C:\\Norvexa\\");
}

TEST_F(RegistryTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFiles) {
  for (int k = 0; k < 20; ++k) Write("SOFTWARE\\Norvexa")->SetValue("v" + std::to_string(k), RegValue::Dword(k));
  DIR* dir = opendir(m.root().c_str());
  while (dirent* e = readdir(dir)) EXPECT_EQ(std::string(e->d_name).find(":tmp"), std::string::npos) << e->d_name;
  closedir(dir);
  const std::string text = ReadHostFile(RegistryFile());
  EXPECT_EQ(text.rfind("NXREGISTRY 1\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvexa]\n\"v0\"=dword:00000000\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 6), "; end\n");
}

TEST_F(RegistryTest, TheNewMachineHasTheShellFoldersAndWindowsVersion) {
  auto shell = Read("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  for (const char* name : {"Common Desktop", "Common Programs", "Common Start Menu", "Common Startup"}) {
    std::optional<RegValue> v = shell->QueryValue(name);
    ASSERT_TRUE(v) << name;
    EXPECT_TRUE(CurrentPlatform().files->DirectoryExists(v->data)) << v->data;
  }
  auto user = reg().OpenKey(RegRoot::kCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            RegAccess::kRead, false);
  for (const char* name : {"Startup", "Desktop", "Programs"}) {
    std::optional<RegValue> v = user->QueryValue(name);
    ASSERT_TRUE(v) << name;
    EXPECT_TRUE(CurrentPlatform().files->DirectoryExists(v->data)) << v->data;
  }
  auto nt = Read("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  EXPECT_EQ(nt->QueryValue("CurrentVersion")->data, "6.1");
  EXPECT_TRUE(nt->QueryValue("ProductName"));
}

}  // namespace
}  // namespace nx
