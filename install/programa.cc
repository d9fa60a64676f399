// The application on a workstation: its folder with the updater, its registry record, its
// uninstall records and its shortcuts.

#include "app/FInstall.h"
#include "app/maquina.h"
#include "system/command_runner.h"
#include "system/registry_access.h"

namespace nx {

void TFInstalacion::InsProg(const std::string& Apli, const std::string& nLargo, const std::string& Ver) {
  const std::string carpeta = Path.Text() + Aplicacion;
  Log("Instalando " + nLargo);
  if (!ExisteCarpeta(carpeta)) CreaCarpetas(carpeta);
  EjecutaEspera("cmd /c xcopy  \"" + PathActual + "actualizador\\*.*\" \"" + carpeta + "\\\" /C/Y/I", 0);
  Log("Copiado actualizador " + Apli);
  const std::string key = "\\SOFTWARE\\Norvexa\\" + Aplicacion;
  EscribeRegistro(RegRoot::kLocalMachine, key, "Path", carpeta, rdString);
  EscribeRegistro(RegRoot::kLocalMachine, key, "Puerto", LPuerto.Text(), rdString);
  EscribeRegistro(RegRoot::kLocalMachine, key, "Host", Host.Text(), rdString);
  Log("Registro Software Norvexa " + Apli + " hecho.");
  InsRegistro(nLargo, Ver, Apli);
  Log("Registro UnInstall " + Apli + " hecho.");
  UninstallDat(Apli, nLargo + "," + carpeta);
  Log("Log UnInstall.dat de " + Apli + " hecho.");
  EnlaceMenu(Apli, nLargo, Escritorio.Checked());
  Log("Enlace de Menú inicio y escritorio de " + Apli + " hecho.");
  if (CheckInicio.Checked()) EnlaceInicio(Apli);
}

}  // namespace nx
