// msiexec for the hosted machine: /i PACKAGE installs (records) a package, /x PACKAGE or
// /x {ProductCode} removes the record. /quiet, /passive, /q[n|b|r|f][+|-|!], /norestart,
// /promptrestart, /forcerestart and /l[options] LOGFILE are accepted (there is no interface to
// hide and nothing to restart); PROPERTY=Value words are accepted and have no effect.
// Exit codes as Windows Installer's: 0, 1603 install failure, 1605 unknown product (/x),
// 1619 package cannot be opened, 1620 not a valid package, 1639 invalid command line.

#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_console.h"
#include "tools/cmd/tool_main.h"
#include "tools/cmd/tool_paths.h"
#include "tools/msiexec/package_format.h"

namespace nx::msi {
namespace {

constexpr int kInstallFailure = 1603;
constexpr int kUnknownProduct = 1605;
constexpr int kPackageOpenFailed = 1619;
constexpr int kPackageInvalid = 1620;
constexpr int kInvalidCommandLine = 1639;

int Usage(const std::string& why) {
  tools::ErrLine(why);
  tools::ErrLine(
      "Argumento de línea de comandos no válido. Consulte el SDK de Windows Installer para "
      "obtener ayuda detallada sobre la línea de comandos.");
  tools::ErrLine("Uso: msiexec /i <paquete> [/quiet | /passive | /qn] [/norestart]");
  tools::ErrLine("     msiexec /x <paquete | código de producto> [/quiet]");
  return kInvalidCommandLine;
}

bool IsOption(const tools::ToolArgument& a) {
  return !a.quoted && !a.text.empty() && (a.text[0] == '/' || a.text[0] == '-');
}

bool IsUiOption(const std::string& o) {
  if (o == "quiet" || o == "passive" || o == "norestart" || o == "promptrestart" ||
      o == "forcerestart")
    return true;
  // /q, /qn, /qb, /qr, /qf with an optional + - or !
  if (o.empty() || o[0] != 'q' || o.size() > 3) return false;
  std::string level = o.substr(1);
  if (!level.empty() && std::string("+-!").find(level.back()) != std::string::npos) level.pop_back();
  return level.empty() || level == "n" || level == "b" || level == "r" || level == "f";
}

std::string Today() {
  LocalTime t = CurrentPlatform().clock->Now();
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", t.year, t.month, t.day);
  return buffer;
}

int Install(const std::string& typed) {
  std::string path;
  FileSystem& files = *CurrentPlatform().files;
  try {
    path = tools::AbsolutePath(typed);
  } catch (const OsError&) {
  }
  std::string bytes;
  bool opened = false;
  try {
    if (!path.empty() && files.FileExists(path)) {
      bytes = files.ReadFile(path);
      opened = true;
    }
  } catch (const OsError&) {
  }
  if (!opened) {
    tools::ErrLine(typed);
    tools::ErrLine(
        "No se pudo abrir este paquete de instalación. Compruebe que el paquete existe y que "
        "puede tener acceso a él, o póngase en contacto con el proveedor de la aplicación para "
        "comprobar que es un paquete válido de Windows Installer.");
    return kPackageOpenFailed;
  }
  std::string error;
  std::optional<Package> package = ParsePackage(bytes, tools::LastComponent(path), &error);
  if (!package) {
    tools::ErrLine(path + ": " + error);
    tools::ErrLine(
        "No se pudo abrir este paquete de instalación. Póngase en contacto con el proveedor de "
        "la aplicación para comprobar que es un paquete válido de Windows Installer.");
    return kPackageInvalid;
  }
  try {
    auto key = CurrentPlatform().registry->OpenKey(
        RegRoot::kLocalMachine, std::string(kUninstallKey) + "\\" + package->productCode,
        RegAccess::kWrite, true);
    key->SetValue("DisplayName", RegValue::String(package->productName));
    if (!package->productVersion.empty())
      key->SetValue("DisplayVersion", RegValue::String(package->productVersion));
    if (!package->manufacturer.empty())
      key->SetValue("Publisher", RegValue::String(package->manufacturer));
    std::string folder = tools::ParentFolder(path);
    if (folder.back() != '\\') folder += '\\';
    key->SetValue("InstallSource", RegValue::String(folder));
    key->SetValue("LocalPackage", RegValue::String(path));
    key->SetValue("InstallDate", RegValue::String(Today()));
    key->SetValue("WindowsInstaller", RegValue::Dword(1));
    key->SetValue("UninstallString", RegValue::String("MsiExec.exe /X" + package->productCode));
  } catch (const OsError& e) {
    tools::ErrLine(std::string(e.what()));
    tools::ErrLine("Error grave durante la instalación.");
    return kInstallFailure;
  }
  return 0;
}

int Uninstall(const std::string& typed) {
  std::string code;
  if (IsBracedGuid(typed)) {
    code = typed;
    for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  } else {
    FileSystem& files = *CurrentPlatform().files;
    std::string path;
    std::optional<Package> package;
    try {
      path = tools::AbsolutePath(typed);
      if (files.FileExists(path)) package = ParsePackage(files.ReadFile(path), tools::LastComponent(path), nullptr);
    } catch (const OsError&) {
    }
    if (!package) {
      tools::ErrLine(typed);
      tools::ErrLine("No se pudo abrir este paquete de instalación.");
      return kPackageOpenFailed;
    }
    code = package->productCode;
  }
  try {
    CurrentPlatform().registry->DeleteKey(RegRoot::kLocalMachine, std::string(kUninstallKey) + "\\" + code);
  } catch (const OsError& e) {
    if (e.code() != kErrorFileNotFound) throw;
    tools::ErrLine("Esta acción solo es válida para productos que están instalados actualmente.");
    return kUnknownProduct;
  }
  return 0;
}

int Run(const std::string& argumentsText) {
  std::vector<tools::ToolArgument> args = tools::SplitArguments(argumentsText, false);
  enum { kNone, kInstall, kUninstall } action = kNone;
  std::string package;
  for (size_t i = 0; i < args.size(); ++i) {
    const tools::ToolArgument& a = args[i];
    if (!IsOption(a)) {
      if (a.text.find('=') != std::string::npos && a.text[0] != '=') continue;  // PROPERTY=Value
      return Usage("Argumento inesperado: " + a.text);
    }
    std::string o = tools::Lower(a.text.substr(1));
    if (o == "i" || o == "package" || o == "x" || o == "uninstall") {
      if (action != kNone) return Usage("Solo se admite una acción: " + a.text);
      if (i + 1 >= args.size() || IsOption(args[i + 1]))
        return Usage("Falta el paquete después de " + a.text);
      action = (o == "i" || o == "package") ? kInstall : kUninstall;
      package = args[++i].text;
    } else if (IsUiOption(o)) {
    } else if (!o.empty() && o[0] == 'l') {
      if (i + 1 >= args.size() || IsOption(args[i + 1]))
        return Usage("Falta el archivo de registro después de " + a.text);
      ++i;  // the log file: nothing worth logging happens here
    } else {
      return Usage("Opción desconocida: " + a.text);
    }
  }
  if (action == kNone) return Usage("Falta la acción (/i o /x).");
  return action == kInstall ? Install(package) : Uninstall(package);
}

}  // namespace
}  // namespace nx::msi

int main() {
  nx::ExitProgram(nx::tools::RunTool(
      [] { return nx::msi::Run(nx::tools::ArgumentsText(nx::ProgramCommandLine())); }, 1603));
}
