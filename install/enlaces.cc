// The application's shortcuts: start menu, desktop and start-up folder.

#include "app/FInstall.h"
#include "app/maquina.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "system/registry_access.h"

namespace nx {

namespace {

constexpr char kShellFolders[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The old link goes first; one that is not there, or cannot go, is no matter.
void Borra(const std::string& fichero) {
  try {
    CurrentPlatform().files->DeleteFile(fichero);
  } catch (const OsError&) {
  }
}

}  // namespace

void TFInstalacion::CreaEnlace(const std::string& destino, const std::string& argumentos,
                               const std::string& carpetaTrabajo, const std::string& nombre,
                               const std::string& carpeta) {
  ShellLinks* links = CurrentPlatform().links;
  if (links == nullptr) throw OsError(kErrorInvalidFunction, "CLSID_ShellLink {00021401-0000-0000-C000-000000000046}");
  try {
    links->Save(carpeta + "\\" + nombre, ShellLink{destino, argumentos, carpetaTrabajo});
  } catch (const OsError&) {
    // A shortcut that cannot be saved is left out silently.
  }
}

void TFInstalacion::EnlaceMenu(const std::string& Apli, const std::string& /*nLargo*/, bool Escri) {
  const std::string escritorio = LeeRegistro(RegRoot::kLocalMachine, kShellFolders, "Common Desktop");
  const std::string programas = LeeRegistro(RegRoot::kLocalMachine, kShellFolders, "Common Programs");
  const std::string grupo = programas + "\\Norvexa";
  if (!ExisteCarpeta(grupo)) CreaCarpetas(grupo);
  const std::string destino = Path.Text() + Aplicacion + "\\" + Ejecutable + ".exe";
  Borra(grupo + "\\" + Apli + ".lnk");
  CreaEnlace(destino, "", Entorno("TEMP"), Apli + ".lnk", grupo);
  if (!Escri) return;
  Borra(escritorio + "\\" + Apli + ".lnk");
  CreaEnlace(destino, "", Entorno("TEMP"), Apli + ".lnk", escritorio);
}

void TFInstalacion::EnlaceInicio(const std::string& Apli) {
  const std::string inicio = LeeRegistro(RegRoot::kCurrentUser, kShellFolders, "Startup");
  Borra(inicio + "\\" + Apli + ".lnk");
  CreaEnlace(Path.Text() + Aplicacion + "\\" + Apli + ".exe", "", Entorno("TEMP"), Apli + ".lnk", inicio);
  Log("Creando enlace de inicio de windows.");
}

}  // namespace nx
