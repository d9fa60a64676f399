// The Win32 platform layer on Wine: real files, the real registry, real child processes and the
// network of the Linux host underneath.

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/program.h"
#include "platform/text.h"
#include "system/command_runner.h"
#include "system/install_log.h"
#include "system/port_probe.h"
#include "system/registry_access.h"
#include "tests/win32/scratch_folder.h"

namespace nx {
namespace {

using test::ReadWholeFile;
using test::ScratchFolder;

FileSystem& Files() { return *CurrentPlatform().files; }
Registry& Reg() { return *CurrentPlatform().registry; }

std::string ChildProgram() { return ProgramFolder() + "win32-child.exe"; }

// A registry key of the test's own under HKCU, removed at the end.
class TestKey {
 public:
  explicit TestKey(const std::string& name) : path_("\\Software\\nxSetupTests\\" + name + std::to_string(::GetTickCount())) {}
  ~TestKey() {
    try {
      Reg().DeleteKey(RegRoot::kCurrentUser, path_);
    } catch (const OsError&) {
    }
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// --- Files.

TEST(Win32Files, WriteAppendReadAndCopyKeepTheBytes) {
  ScratchFolder dir;
  const std::string a = dir.path() + "Instalación.txt";
  Files().WriteFile(a, std::string("uno\r\n\0dos", 9));
  Files().AppendFile(a, "tres");
  EXPECT_EQ(Files().ReadFile(a), std::string("uno\r\n\0dostres", 13));
  EXPECT_TRUE(Files().FileExists(a));
  EXPECT_FALSE(Files().DirectoryExists(a));

  const std::string b = dir.path() + "copia.txt";
  Files().CopyFile(a, b, true);
  EXPECT_EQ(Files().ReadFile(b), Files().ReadFile(a));
  try {
    Files().CopyFile(a, b, true);
    FAIL() << "copied over an existing file";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorFileExists);
  }
  Files().WriteFile(b, "nuevo");  // replaces a normal file whole
  EXPECT_EQ(Files().ReadFile(b), "nuevo");
}

TEST(Win32Files, AppendCreatesAMissingFileButNotItsFolder) {
  ScratchFolder dir;
  Files().AppendFile(dir.path() + "log.txt", "a");
  Files().AppendFile(dir.path() + "log.txt", "b");
  EXPECT_EQ(ReadWholeFile(dir.path() + "log.txt"), "ab");
  try {
    Files().AppendFile(dir.path() + "falta\\log.txt", "a");
    FAIL() << "wrote into a missing folder";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorPathNotFound);
    // The system's own text follows the path, not our generic one.
    EXPECT_NE(std::string(e.what()).find(dir.path() + "falta\\log.txt: "), std::string::npos);
    EXPECT_EQ(std::string(e.what()).find("no hay texto"), std::string::npos) << e.what();
  }
}

TEST(Win32Files, WriteRefusesReadOnlyAndHiddenFilesAndLeavesThem) {
  ScratchFolder dir;
  for (uint32_t attribute : {uint32_t{kAttrReadOnly}, uint32_t{kAttrHidden}}) {
    const std::string f = dir.path() + "f" + std::to_string(attribute);
    Files().WriteFile(f, "viejo");
    Files().SetAttributes(f, attribute);
    EXPECT_THROW(Files().WriteFile(f, "nuevo"), OsError);
    EXPECT_EQ(ReadWholeFile(f), "viejo");
    EXPECT_EQ(Files().GetAttributes(f) & attribute, attribute);
    Files().SetAttributes(f, kAttrNormal);
  }
}

TEST(Win32Files, FoldersAreMadeWholeAndSearchedWithWildcards) {
  ScratchFolder dir;
  const std::string deep = dir.path() + "a\\b\\c\\";
  Files().CreateDirectories(deep);
  Files().CreateDirectories(deep);  // existing: no error
  EXPECT_TRUE(Files().DirectoryExists(deep));
  Files().WriteFile(deep + "uno.fdb", "1");
  Files().WriteFile(deep + "DOS.FDB", "22");
  Files().WriteFile(deep + "tres.txt", "333");

  std::vector<std::string> names;
  for (const FoundFile& f : Files().FindFiles(deep + "*.fdb")) names.push_back(FoldCase(f.name));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{FoldCase("dos.fdb"), FoldCase("uno.fdb")}));
  const std::vector<FoundFile> one = Files().FindFiles(deep + "tres.txt");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size, 3u);
  EXPECT_TRUE(Files().FindFiles(deep + "*.zip").empty());
  EXPECT_TRUE(Files().FindFiles(dir.path() + "falta\\*.*").empty());

  // A file standing where a folder is wanted.
  EXPECT_THROW(Files().CreateDirectories(deep + "tres.txt\\d"), OsError);
  EXPECT_THROW(Files().RemoveDirectory(deep), OsError);  // not empty
  Files().DeleteFile(deep + "uno.fdb");
  EXPECT_FALSE(Files().FileExists(deep + "uno.fdb"));
  Files().MoveFile(deep + "tres.txt", dir.path() + "movido.txt");
  EXPECT_EQ(ReadWholeFile(dir.path() + "movido.txt"), "333");
}

// --- Registry.

TEST(Win32Registry, ValuesOfEveryTypeGoRoundTrip) {
  TestKey key("RoundTrip");
  {
    auto k = Reg().OpenKey(RegRoot::kCurrentUser, key.path() + "\\a\\b", RegAccess::kWrite, true);
    k->SetValue("Texto", RegValue::String("Instalación ñ"));
    k->SetValue("Numero", RegValue::Dword(733));
    k->SetValue("Lista", {kRegMultiSz, std::string("uno\0dos\0", 8)});
    k->SetValue("Vacio", RegValue::String(""));
  }
  auto k = Reg().OpenKey(RegRoot::kCurrentUser, key.path() + "\\A\\B", RegAccess::kRead, false);
  EXPECT_EQ(k->QueryValue("texto")->data, "Instalación ñ");
  EXPECT_EQ(k->QueryValue("Numero")->data, RegValue::Dword(733).data);
  const std::optional<RegValue> lista = k->QueryValue("Lista");
  ASSERT_TRUE(lista);
  EXPECT_EQ(lista->type, kRegMultiSz);
  EXPECT_EQ(lista->data, std::string("uno\0dos\0", 8));
  EXPECT_EQ(k->QueryValue("Vacio")->data, "");
  EXPECT_FALSE(k->QueryValue("Falta"));
  std::vector<std::string> names = k->ValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Lista", "Numero", "Texto", "Vacio"}));
  EXPECT_THROW(k->SetValue("Texto", RegValue::String("x")), OsError);  // opened to read
}

TEST(Win32Registry, ReadingAMissingKeyGivesNothingAndCreatesNothing) {
  TestKey key("Missing");
  EXPECT_EQ(LeeRegistro(RegRoot::kCurrentUser, key.path() + "\\Falta", "Path"), "");
  try {
    Reg().OpenKey(RegRoot::kCurrentUser, key.path(), RegAccess::kRead, false);
    FAIL() << "the key was made by a read";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorFileNotFound);
  }
}

TEST(Win32Registry, TheInstallersReadsAndWrites) {
  TestKey key("Access");
  EscribeRegistro(RegRoot::kCurrentUser, key.path() + "\\Firebird3", "Puerto", "733", rdString);
  EscribeRegistro(RegRoot::kCurrentUser, key.path() + "\\Firebird3", "Puerto", "3050", rdString);
  EscribeRegistro(RegRoot::kCurrentUser, key.path(), "N", "-1", rdInteger);
  EXPECT_EQ(LeeRegistro(RegRoot::kCurrentUser, key.path() + "\\Firebird3", "Puerto"), "3050");
  EXPECT_EQ(LeeRegistro(RegRoot::kCurrentUser, key.path(), "N"), "-1");
  {
    auto k = Reg().OpenKey(RegRoot::kCurrentUser, key.path(), RegAccess::kWrite, false);
    k->SetValue("Lista", {kRegMultiSz, std::string("a\0b\0", 4)});
  }
  EXPECT_EQ(LeeRegistro(RegRoot::kCurrentUser, key.path(), "Lista"), "");  // a multi-line text
  try {
    EscribeRegistro(RegRoot::kCurrentUser, key.path(), "X", "1", static_cast<TRegDataType>(5));
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.code(), kErrorCantWrite);
    EXPECT_EQ(e.what(), SystemMessage(kErrorCantWrite));
  }
  EXPECT_EQ(LeeRegistro(RegRoot::kCurrentUser, key.path(), "X"), "");
}

// A 32-bit program's HKLM\SOFTWARE is the 32-bit view: on 64-bit Windows it lies in Wow6432Node.
TEST(Win32Registry, LocalMachineWritesLandInTheThirtyTwoBitView) {
  const std::string path = "\\SOFTWARE\\Norvexa\\nxSetupTests" + std::to_string(::GetTickCount());
  EscribeRegistro(RegRoot::kLocalMachine, path, "Path", "C:\\Norvexa\\", rdString);
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, path, "Path"), "C:\\Norvexa\\");
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  if (wow64) {
    HKEY k = nullptr;
    const std::u16string native = Utf8ToUtf16("SOFTWARE\\Wow6432Node" + path.substr(9));
    EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<const wchar_t*>(native.c_str()), 0,
                              KEY_READ | KEY_WOW64_64KEY, &k),
              ERROR_SUCCESS);
    if (k) ::RegCloseKey(k);
  }
  Reg().DeleteKey(RegRoot::kLocalMachine, path);
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, path, "Path"), "");
}

// --- Processes.

TEST(Win32Processes, ExitCodesComeBackWhole) {
  const std::string child = "\"" + ChildProgram() + "\"";
  EXPECT_EQ(EjecutaEspera(child + " exit 0", 0), 0);
  EXPECT_EQ(EjecutaEspera(child + " exit 3", 0), 3);
  EXPECT_EQ(EjecutaEspera(child + " exit 9009", 0), 9009);  // wine's own status keeps 8 bits only
  EXPECT_EQ(EjecutaEspera(child + " exit 0xC0000005", 0), static_cast<int32_t>(0xC0000005));
  EXPECT_EQ(EjecutaEspera("cmd /c exit 7", 0), 7);
}

TEST(Win32Processes, AProgramThatCannotStartGivesMinusOne) {
  EXPECT_EQ(EjecutaEspera("nxsetup-no-existe-este-programa.exe", 0), -1);
  EXPECT_EQ(EjecutaEspera("\"C:\\no\\existe\\programa.exe\" /x", 1), -1);
  const ProcessResult r = CurrentPlatform().processes->RunAndWait("nxsetup-no-existe.exe", 0);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, kErrorFileNotFound);
}

TEST(Win32Processes, TheStartUpRecordCarriesTheShowModeAndANewConsole) {
  ScratchFolder dir;
  for (uint16_t show : {kSwHide, kSwShowNormal}) {
    const std::string record = dir.path() + "record" + std::to_string(show) + ".txt";
    ASSERT_EQ(EjecutaEspera("\"" + ChildProgram() + "\" record \"" + record + "\"", show), 0);
    EXPECT_EQ(ReadWholeFile(record),
              "flags=" + std::to_string(STARTF_USESHOWWINDOW) + " show=" + std::to_string(show) + " console=1\n");
  }
}

TEST(Win32Processes, StartReturnsAtOnceInTheGivenFolder) {
  ScratchFolder dir;
  ASSERT_TRUE(CurrentPlatform().processes->Start("\"" + ChildProgram() + "\" record aqui.txt", kSwHide, dir.path()));
  for (int i = 0; i < 100 && ReadWholeFile(dir.path() + "aqui.txt").empty(); ++i) ::Sleep(100);
  EXPECT_NE(ReadWholeFile(dir.path() + "aqui.txt"), "");
  EXPECT_FALSE(CurrentPlatform().processes->Start("nxsetup-no-existe.exe", kSwHide, ""));
}

// --- Network.

// Port of the listener a Linux process holds for this test (see CMakeLists.txt).
int LinuxListenerPort() {
  const char* file = std::getenv("NX_LINUX_LISTENER");
  if (file == nullptr) return 0;
  std::istringstream in(ReadWholeFile(std::string("Z:") + file));
  int port = 0;
  in >> port;
  return port;
}

TEST(Win32Network, TheProbeSeesAListenerOfTheLinuxHost) {
  const int port = LinuxListenerPort();
  ASSERT_GT(port, 0) << "no Linux listener was started for this test";
  EXPECT_TRUE(PuertoEnUso(port));
  EXPECT_TRUE(CurrentPlatform().network->CanConnect("127.0.0.1", static_cast<uint16_t>(port), 1500));
  EXPECT_TRUE(CurrentPlatform().network->CanConnect("localhost", static_cast<uint16_t>(port), 1500));
}

// A listener of our own, and the same port once it is closed again.
TEST(Win32Network, OnlyListeningPortsCount) {
  WSADATA data;
  ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int length = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  const int port = ntohs(a.sin_port);
  EXPECT_FALSE(PuertoEnUso(port));  // bound, not listening
  ASSERT_EQ(::listen(s, 5), 0);
  EXPECT_TRUE(PuertoEnUso(port));
  ::closesocket(s);
  EXPECT_FALSE(PuertoEnUso(port));
  EXPECT_FALSE(CurrentPlatform().network->CanConnect("127.0.0.1", static_cast<uint16_t>(port), 1500));
  ::WSACleanup();
}

TEST(Win32Network, AnUnknownHostIsNotReachable) {
  EXPECT_FALSE(CurrentPlatform().network->CanConnect("nxsetup-no-existe.invalid", 733, 1500));
}

// --- Environment, clock, program facts, text.

TEST(Win32Machine, EnvironmentVariablesAsTheInstallerReadsThem) {
  Environment& env = *CurrentPlatform().environment;
  for (const char* name : {"SystemRoot", "SystemDrive", "ProgramFiles", "TEMP", "systemroot"}) {
    EXPECT_TRUE(env.Get(name).has_value()) << name;
  }
  EXPECT_EQ(env.Get("SystemDrive").value_or(""), "C:");
  EXPECT_FALSE(env.Get("NXSETUP_NO_EXISTE").has_value());
  ::SetEnvironmentVariableW(L"NXSETUP_VACIA", L"");
  EXPECT_EQ(env.Get("NXSETUP_VACIA"), std::optional<std::string>(""));
}

TEST(Win32Machine, TheLogUsesTheLocalesFormats) {
  Clock& clock = *CurrentPlatform().clock;
  const LocalTime t{2026, 12, 10, 9, 5, 3, 0};
  EXPECT_NE(clock.FormatShortDate(t).find("10"), std::string::npos) << clock.FormatShortDate(t);
  EXPECT_NE(clock.FormatLongTime(t).find("05"), std::string::npos) << clock.FormatLongTime(t);
  EXPECT_EQ(LogTimestamp({2026, 12, 10, 0, 0, 0, 0}), clock.FormatShortDate(t));

  ScratchFolder dir;
  AppendInstallLog(dir.path(), "Instalación");
  AppendInstallLog(dir.path(), "");
  const std::string log = ReadWholeFile(dir.path() + "Install.log");
  const std::string first = log.substr(0, log.find("\r\n"));
  EXPECT_EQ(FromSystemCodePage(first.substr(first.size() - 14)), " : Instalación");
  EXPECT_EQ(log.substr(log.size() - 5), " : \r\n");
}

TEST(Win32Machine, ProgramFolderAndCommandLine) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(CurrentPlatform().files->FileExists(folder + "win32-child.exe"));
  EXPECT_NE(FoldCase(ProgramCommandLine()).find(FoldCase("win32_platform_test")), std::string::npos);
  EXPECT_TRUE(SystemCodePage() > 0);
  EXPECT_EQ(FromSystemCodePage(ToSystemCodePage("Año")), "Año");
}

// --- Profile files, read by GetPrivateProfileStringW.

TEST(Win32Profile, AnAnsiAndAUtf16File) {
  ScratchFolder dir;
  const std::string ansi = dir.path() + "ansi.ini";
  Files().WriteFile(ansi, ToSystemCodePage("[aplicacion]\r\nNOMBRE =  Gestión Norvexa  \r\nFIREBIRD=3\r\n"));
  EXPECT_EQ(ReadProfileString(ansi, "APLICACION", "nombre", ""), "Gestión Norvexa");
  EXPECT_EQ(ReadProfileString(ansi, "APLICACION", "FIREBIRD", ""), "3");
  EXPECT_EQ(ReadProfileString(ansi, "APLICACION", "MUESTRA", ""), "");
  EXPECT_EQ(ReadProfileString(ansi, "OTRA", "NOMBRE", "def"), "def");
  EXPECT_EQ(ReadProfileString(dir.path() + "falta.ini", "APLICACION", "NOMBRE", ""), "");

  const std::u16string text = u"\uFEFF[APLICACION]\r\nNOMBRE=Gestión € Norvexa\r\nVERSION=2.1\r\n";
  const std::string utf16 = dir.path() + "utf16.ini";
  Files().WriteFile(utf16, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  EXPECT_EQ(ReadProfileString(utf16, "Aplicacion", "NOMBRE", ""), "Gestión € Norvexa");
  EXPECT_EQ(ReadProfileString(utf16, "APLICACION", "VERSION", ""), "2.1");

  // A value longer than the first buffer the reader tries.
  const std::string longValue(3000, 'x');
  Files().WriteFile(ansi, "[A]\r\nK=" + longValue + "\r\n");
  EXPECT_EQ(ReadProfileString(ansi, "A", "K", ""), longValue);
}

}  // namespace
}  // namespace nx

namespace nx {
namespace {

// --- System facts and the shell.

TEST(Win32System, VersionAndAdministrators) {
  const std::optional<WindowsVersion> version = CurrentPlatform().system->Version();
  ASSERT_TRUE(version);
  EXPECT_GE(version->major, 5u);
  EXPECT_GT(version->build, 0u);
  // Wine's token always lists the Administrators group, so only this side can be seen here.
  EXPECT_TRUE(CurrentPlatform().system->IsAdministrator());
}

TEST(Win32Shell, OpenStartsAProgramInItsFolderWithoutWaiting) {
  ScratchFolder dir;
  ASSERT_TRUE(CurrentPlatform().shell->Open(ChildProgram(), "record abierto.txt", dir.path(), kSwHide));
  for (int i = 0; i < 100 && ReadWholeFile(dir.path() + "abierto.txt").empty(); ++i) ::Sleep(100);
  EXPECT_NE(ReadWholeFile(dir.path() + "abierto.txt").find("show=0"), std::string::npos);
  EXPECT_FALSE(CurrentPlatform().shell->Open(dir.path() + "no-existe.exe", "", "", kSwHide));
  EXPECT_FALSE(CurrentPlatform().shell->Open(ChildProgram(), "", dir.path() + "no-existe\\", kSwHide));
}

}  // namespace
}  // namespace nx
