// The auxiliary folders: remote support, fonts, the FTP backup tool and the help.

#include <exception>

#include "app/FInstall.h"
#include "app/maquina.h"
#include "system/command_runner.h"

namespace nx {

namespace {

std::string Arbol(const std::string& from, const std::string& to) {
  return "cmd /c xcopy  \"" + from + "\" \"" + to + "\" /S/E/C/I/H/Y";
}

}  // namespace

void TFInstalacion::InsVnc() {
  EjecutaEspera(Arbol(PathActual + "Remoto", Path.Text() + "Remoto"), 0);
  EjecutaEspera(Arbol(PathActual + "fuentes", Path.Text() + "fuentes"), 0);
  Log("Carpeta Remoto y fuentes Copiada");
}

void TFInstalacion::InsFtp() {
  EjecutaEspera(Arbol(PathActual + "Ftp", Path.Text() + "Ftp"), 0);
  Log("Ftp Backup Instalado");
}

void TFInstalacion::InsAyuda(const std::string& Apli) {
  const std::string ayuda = Path.Text() + Apli + "\\Ayuda";
  if (!ExisteCarpeta(ayuda)) CreaCarpetas(ayuda);
  EjecutaEspera(Arbol(PathActual + "\\Ayuda", ayuda), 0);
  Log("Ayuda Instalada");
}

void TFInstalacion::InsFuentes() {
  try {
    Log("Iniciando copia de fuentes.");
    const std::string systemRoot = Entorno("SystemRoot");
    EjecutaEspera("cmd /c xcopy  \"" + PathActual + "fuentes\\*.*\" \"" + systemRoot + "\\fonts\\\" /C/Y/I", 0);
    Log("Fin copia de fuentes");
  } catch (const std::exception&) {
    // Fonts are a nicety: nothing here may fail the installation.
  }
}

}  // namespace nx
