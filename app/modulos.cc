// The module choice: ticking or unticking the server item sets what the installation will do
// to the engine and the data, and asks before either is replaced.

#include "app/FInstall.h"
#include "app/maquina.h"
#include "system/port_probe.h"

namespace nx {

// A database server can only go on the drive of the program-files folder; compared as typed,
// letter case included.
void TFInstalacion::ApplyDriveRule() {
  const std::string programFiles = Entorno("ProgramFiles");
  if (programFiles.substr(0, 2) != Path.Text().substr(0, 2)) {
    operador_.ShowMessage("La base de datos solo se puede instalar en el Disco " + Entorno("SystemDrive"));
    Path.SetText(programFiles + "\\Norvexa\\");
  }
}

void TFInstalacion::opcionesClickCheck() {
  if (!opciones.Checked(0)) {
    SwnxFirebird = true;
    SwDbnx = true;
    Host.SetReadOnly(false);
    LPuerto.SetReadOnly(false);
    return;
  }

  ApplyDriveRule();
  LPuerto.SetText(std::to_string(puerto));
  Host.SetReadOnly(true);
  LPuerto.SetReadOnly(true);

  if (PuertoEnUso(puerto)) {
    if (SwnxFirebird) {
      SwnxFirebird = operador_.AskYesNo("Servidor de datos ya instalado. \r ¿Desea reinstalar el Servidor de Datos?.",
                                        "¿Actualizar servidor de base de datos Firebird?.") != Answer::kYes;
    }
  } else {
    // Nothing listens: there is no engine to keep, so the server item means installing one.
    // Left as it was, a switch set by an earlier untick would untick the item at once, for good.
    SwnxFirebird = false;
  }

  if (!SwnxFirebird) {
    if (ExisteFichero(Path.Text() + "DataBase\\" + Aplicacion + FIREBIRD + ".FDB") && SwDbnx) {
      if (operador_.AskYesNo("Encontrada base de datos " + Aplicacion + " anterior.\r\r ¿ Desea !!!! BORRAR estos datos !!!! ?",
                             "¿!! BORRAR DATOS ANTERIORES !!?") == Answer::kYes) {
        SwDbnx = false;
      }
    }
  } else {
    opciones.SetChecked(0, false);
    Titulo.SetCaption("Instalación de " + NombreLargo + " Ver. " + Version);
  }
}

}  // namespace nx
