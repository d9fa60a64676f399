#include "system/registry_access.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

constexpr RegRoot kHklm = RegRoot::kLocalMachine;

class RegistryAccessTest : public ::testing::Test {
 protected:
  Registry& registry() { return *CurrentPlatform().registry; }
  bool KeyExists(const std::string& path) {
    try {
      registry().OpenKey(kHklm, path, RegAccess::kRead, false);
      return true;
    } catch (const OsError& e) {
      EXPECT_EQ(e.code(), kErrorFileNotFound);
      return false;
    }
  }
  void Store(const std::string& path, const std::string& name, RegValue value) {
    registry().OpenKey(kHklm, path, RegAccess::kWrite, true)->SetValue(name, value);
  }
  std::optional<RegValue> Stored(const std::string& path, const std::string& name) {
    return registry().OpenKey(kHklm, path, RegAccess::kRead, false)->QueryValue(name);
  }

  ScratchMachine machine_;
};

TEST_F(RegistryAccessTest, ReadsEachTypeAsText) {
  const std::string key = "\\SOFTWARE\\Norvexa\\Prueba";
  struct Case {
    const char* name;
    RegValue stored;
    std::string expected;
  } cases[] = {
      {"texto", RegValue::String("C:\\Norvexa\\"), "C:\\Norvexa\\"},
      {"vacio", RegValue::String(""), ""},
      {"expandible", {kRegExpandSz, "%SystemRoot%\\x"}, "%SystemRoot%\\x"},
      {"numero", RegValue::Dword(733), "733"},
      {"todos", RegValue::Dword(0xFFFFFFFFu), "-1"},
      {"minimo", RegValue::Dword(0x80000000u), "-2147483648"},
      {"binario", {kRegBinary, std::string("A\0\xFF\x80", 4)}, std::string("A\0\xC3\xBF\xC2\x80", 6)},
      {"multi", {kRegMultiSz, std::string("uno\0dos\0", 8)}, ""},
      {"qword", {kRegQword, std::string(8, '\1')}, ""},
      {"ninguno", {kRegNone, "x"}, ""},
  };
  for (const Case& c : cases) Store(key, c.name, c.stored);
  for (const Case& c : cases) {
    EXPECT_EQ(LeeRegistro(kHklm, key, c.name), c.expected) << c.name;
  }
  EXPECT_EQ(LeeRegistro(kHklm, key, "ausente"), "");
  EXPECT_EQ(LeeRegistro(kHklm, "software\\NORVEXA\\prueba", "TEXTO"), "C:\\Norvexa\\");
}

TEST_F(RegistryAccessTest, ReadingAMissingKeyGivesEmptyAndCreatesNothing) {
  EXPECT_EQ(LeeRegistro(kHklm, "\\Software\\Norvexa\\Firebird3", "Puerto"), "");
  EXPECT_FALSE(KeyExists("\\Software\\Norvexa"));
}

TEST_F(RegistryAccessTest, WriteCreatesEveryMissingLevelAndASecondWriteReplaces) {
  const std::string key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvexa-CONTA";
  EscribeRegistro(kHklm, key, "DisplayName", "primero", rdString);
  EscribeRegistro(kHklm, key, "displayname", "segundo", rdString);
  EXPECT_EQ(LeeRegistro(kHklm, key, "DisplayName"), "segundo");
  auto names = registry().OpenKey(kHklm, key, RegAccess::kRead, false)->ValueNames();
  EXPECT_EQ(names.size(), 1u);
  EXPECT_EQ(Stored(key, "DisplayName")->type, kRegSz);
}

TEST_F(RegistryAccessTest, WritesEachTypeAndReadsItBack) {
  const std::string key = "\\SOFTWARE\\Norvexa";
  struct Case {
    TRegDataType type;
    std::string value;
    RegValue expected;
    std::string readBack;
  } cases[] = {
      {rdString, "3050", RegValue::String("3050"), "3050"},
      {rdExpandString, "%TEMP%", {kRegExpandSz, "%TEMP%"}, "%TEMP%"},
      {rdInteger, "733", RegValue::Dword(733), "733"},
      {rdInteger, " -1 ", RegValue::Dword(0xFFFFFFFFu), "-1"},
      {rdInteger, "2147483647", RegValue::Dword(0x7FFFFFFFu), "2147483647"},
      {rdBinary, std::string("A\0\xC3\xBF", 4), {kRegBinary, std::string("A\0\xFF", 3)},
       std::string("A\0\xC3\xBF", 4)},
  };
  for (const Case& c : cases) {
    EscribeRegistro(kHklm, key, "v", c.value, c.type);
    std::optional<RegValue> stored = Stored(key, "v");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, c.expected.type) << c.value;
    EXPECT_EQ(stored->data, c.expected.data) << c.value;
    EXPECT_EQ(LeeRegistro(kHklm, key, "v"), c.readBack);
  }
}

TEST_F(RegistryAccessTest, BadTypeOrValueIsRefusedAndTouchesNothing) {
  const std::string key = "\\SOFTWARE\\Norvexa\\Nuevo";
  try {
    EscribeRegistro(kHklm, key, "v", "x", static_cast<TRegDataType>(5));
    FAIL() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.code(), kErrorCantWrite);
    EXPECT_EQ(std::string(e.what()), SystemMessage(kErrorCantWrite));
  }
  EXPECT_THROW(EscribeRegistro(kHklm, key, "v", "x", rdUnknown), ERegistryException);
  for (const char* bad : {"", "abc", "12a", "2147483648", "-2147483649", "99999999999999999999"}) {
    EXPECT_THROW(EscribeRegistro(kHklm, key, "v", bad, rdInteger), EConvertError) << bad;
  }
  EXPECT_THROW(EscribeRegistro(kHklm, key, "v", "\xE2\x82\xAC", rdBinary), EConvertError);
  EXPECT_FALSE(KeyExists(key));
}

// A registry that refuses every key, as one without the rights would.
class RefusingRegistry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKey(RegRoot, const std::string&, RegAccess, bool) override {
    throw OsError(kErrorAccessDenied, "HKLM\\SOFTWARE\\Norvexa");
  }
  void DeleteKey(RegRoot, const std::string&) override { throw OsError(kErrorAccessDenied); }
};

TEST_F(RegistryAccessTest, AKeyThatCannotBeOpenedGivesTheSystemTextOrAnEmptyRead) {
  RefusingRegistry refusing;
  ScopedPlatform scoped(Platform{.registry = &refusing});
  try {
    EscribeRegistro(kHklm, "\\SOFTWARE\\Norvexa", "Path", "C:\\", rdString);
    FAIL() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.code(), kErrorAccessDenied);
    EXPECT_EQ(std::string(e.what()), SystemMessage(kErrorAccessDenied));
  }
  EXPECT_EQ(LeeRegistro(kHklm, "\\SOFTWARE\\Norvexa", "Path"), "");
}

}  // namespace
}  // namespace nx
