// What lets the installed items be removed later: the installer's own list UnInstall.dat and
// Windows' list of installed programs.

#include "app/FInstall.h"
#include "app/producto.h"
#include "app/maquina.h"
#include "platform/platform.h"
#include "system/install_log.h"
#include "system/line_list.h"
#include "system/registry_access.h"

namespace nx {

void TFInstalacion::UninstallDat(const std::string& Valor, const std::string& linea) {
  const std::string fichero = Path.Text() + "UnInstall.dat";
  // Loaded even when it seems missing: a save cut short is finished by the load.
  LineList lista = LineList::Load(fichero, LineList::IfMissing::kEmpty);
  if (lista.lines().empty()) lista.Add("[Norvexa UnInstall]");
  lista.Replace(Valor, Valor + "=" + linea + "," + LogTimestamp(CurrentPlatform().clock->Now()));
  lista.Save(fichero);
}

void TFInstalacion::InsRegistro(const std::string& DName, const std::string& Ver, const std::string& Apli) {
  const bool motor = Apli == "Firebird";
  const std::string carpeta = motor ? Apli : Aplicacion;
  const std::string key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Norvexa-" + Apli;
  auto escribe = [&key](const std::string& name, const std::string& value) {
    EscribeRegistro(RegRoot::kLocalMachine, key, name, value, rdString);
  };
  escribe("DisplayName", motor ? "Firebird Database (Norvexa Instalation)" : "Norvexa " + DName);
  escribe("DisplayVersion", Ver);
  escribe("Publisher", motor ? "Firebird Project" : "Corvalen (Norvexa)");
  escribe("UninstallString", Path.Text() + "UnInstall.exe -" + Apli);
  escribe("URLInfoAbout", motor ? std::string(kWebFirebird) : kWebNorvexa + Aplicacion);
  escribe("DisplayIcon", Path.Text() + carpeta + "\\" + Apli + ".ico");
  escribe("InstallLocation", Path.Text() + carpeta);
}

}  // namespace nx
