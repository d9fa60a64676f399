// A workstation-only installation of the sample medium inside the Wine prefix, against a database
// server port that a Linux process listens on (the workstation only probes it), through Wine's
// cmd and xcopy, the registry and the shell's links. The medium's engine and updater tools are
// the hosted build's Linux stand-ins: Wine starts them, they find no simulated machine and end
// with an error, which the installer, as ever, does not look at.

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "app/FInstall.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "system/registry_access.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/win32/scratch_folder.h"

namespace nx {
namespace {

using test::ReadWholeFile;
using test::ScratchFolder;

std::wstring W(const std::string& s) {
  const std::u16string u = Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

std::string U(const wchar_t* w) { return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(w))); }

// The folder's content copied into another, whole (SHFileOperation wants double-NUL lists).
void CopyTree(const std::string& from, const std::string& to) {
  std::wstring source = W(from + "\\*");
  source.push_back(L'\0');
  std::wstring target = W(to);
  target.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_COPY;
  op.pFrom = source.c_str();
  op.pTo = target.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_SILENT;
  ASSERT_EQ(::SHFileOperationW(&op), 0) << from;
}

int LinuxListenerPort() {
  const char* file = std::getenv("NX_LINUX_LISTENER");
  if (file == nullptr) return 0;
  std::istringstream in(ReadWholeFile(std::string("Z:") + file));
  int port = 0;
  in >> port;
  return port;
}

// What a shortcut file says, read back through the shell's link object.
struct LinkSeen {
  std::string target, arguments, folder;
};
LinkSeen ReadLink(const std::string& path) {
  LinkSeen seen;
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
    return seen;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(W(path).c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH * 2];
      if (SUCCEEDED(link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH))) seen.target = U(text);
      if (SUCCEEDED(link->GetArguments(text, MAX_PATH * 2))) seen.arguments = U(text);
      if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH * 2))) seen.folder = U(text);
    }
    file->Release();
  }
  link->Release();
  return seen;
}

std::vector<std::string> LogLines(const std::string& file) {
  std::vector<std::string> lines;
  std::istringstream in(FromSystemCodePage(ReadWholeFile(file)));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t cut = line.find(" : ");
    lines.push_back(cut == std::string::npos ? line : line.substr(cut + 3));
  }
  return lines;
}

bool Logged(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

TEST(Win32ShellLinks, ASavedShortcutReadsBack) {
  ::CoInitialize(nullptr);
  ScratchFolder dir;
  ShellLink link{"C:\\Norvexa\\Gestión\\Gestion.exe", "-x \"a b\"", "C:\\Norvexa"};
  CurrentPlatform().links->Save(dir.path() + "Gestión.lnk", link);
  const LinkSeen seen = ReadLink(dir.path() + "Gestión.lnk");
  EXPECT_EQ(seen.target, link.target);
  EXPECT_EQ(seen.arguments, link.arguments);
  EXPECT_EQ(seen.folder, link.workingFolder);
  try {
    CurrentPlatform().links->Save(dir.path() + "falta\\x.lnk", link);
    FAIL() << "saved into a missing folder";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorPathNotFound);
  }
  ::CoUninitialize();
}

const char kShellFolders[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUninstall[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvexa-";

class WorkstationInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitialize(nullptr);
    // The prefix outlives the test: what an earlier run recorded is taken away first.
    for (const std::string& key : {std::string("\\SOFTWARE\\Norvexa"), std::string(kUninstall) + "Gestion"}) {
      try {
        CurrentPlatform().registry->DeleteKey(RegRoot::kLocalMachine, key);
      } catch (const OsError&) {
      }
    }
  }
  void TearDown() override { ::CoUninitialize(); }

  ScratchFolder dir_;
  ScriptedOperator operador_;
};

TEST_F(WorkstationInstall, TheSampleMediumOnAWorkstation) {
  const char* medium = NX_SAMPLE_MEDIUM;  // the hosted build's, a Linux path
  const int port = LinuxListenerPort();
  ASSERT_GT(port, 0) << "no server listens on the Linux side";
  const std::string medio = dir_.path() + "medio\\";
  const std::string carpeta = dir_.path() + "Puesto\\";
  CopyTree(std::string("Z:") + medium, medio);

  TFInstalacion form(operador_);
  form.SetProgramFolder(medio);
  form.FormCreate();
  // What activation leaves on a machine without a previous installation, then the operator's
  // choices: the workstation module only, the server on the Linux side.
  form.PathActual = medio;
  form.Path.SetText(carpeta);
  form.puerto = port;
  form.LPuerto.SetText(std::to_string(port));
  form.SwnxFirebird = true;
  form.SwDbnx = false;
  form.SwServidor = false;
  form.Host.SetText("127.0.0.1");
  form.opciones.SetChecked(0, false);
  form.BComenzar.Click();

  ASSERT_FALSE(operador_.Messages().empty());
  EXPECT_EQ(operador_.Messages().back(), "Instalación Terminada.");
  EXPECT_TRUE(form.Closed());

  const std::vector<std::string> log = LogLines(carpeta + "Install.log");
  EXPECT_TRUE(Logged(log, "Instalación terminada.")) << ReadWholeFile(carpeta + "Install.log");
  EXPECT_FALSE(Logged(log, "Iniciando instalacion firebird."));

  // The registry records, in the 32-bit view.
  const std::string app = carpeta + form.Aplicacion;
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path"), carpeta);
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\" + form.Aplicacion, "Host"), "127.0.0.1");
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\" + form.Aplicacion, "Puerto"),
            std::to_string(port));
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa\\" + form.Aplicacion, "Path"), app);
  EXPECT_EQ(LeeRegistro(RegRoot::kLocalMachine, std::string(kUninstall) + form.Aplicacion, "InstallLocation"), app);

  // Files the command lines copied with Wine's cmd and xcopy, and the uninstall list.
  EXPECT_TRUE(CurrentPlatform().files->FileExists(carpeta + "UnInstall.exe"));
  EXPECT_TRUE(CurrentPlatform().files->FileExists(app + "\\actualizador.exe"));
  EXPECT_TRUE(CurrentPlatform().files->FileExists(carpeta + "UnInstall.dat"));

  // The start-menu shortcut, written by the shell's link object and read back by it.
  const std::string programs = LeeRegistro(RegRoot::kLocalMachine, kShellFolders, "Common Programs");
  ASSERT_FALSE(programs.empty());
  const LinkSeen link = ReadLink(programs + "\\Norvexa\\" + form.Aplicacion + ".lnk");
  // The installer names the program as its settings give it, with ".exe" added.
  EXPECT_EQ(FoldCase(link.target), FoldCase(app + "\\" + form.Ejecutable + ".exe"));
  EXPECT_EQ(FoldCase(link.folder), FoldCase(CurrentPlatform().environment->Get("TEMP").value_or("?")));
}

}  // namespace
}  // namespace nx
