// Remote support: the connection script of the chosen technician, started with the operator's
// consent.

#include <exception>

#include "app/FInstall.h"
#include "app/producto.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace nx {

void TFInstalacion::BSoporteClick() {
  try {
    const std::string folder = ProgramFolder();
    if (!CurrentPlatform().files->FileExists(folder + "\\vnc\\winvnc.exe")) return;
    const std::string n = std::to_string(CSoporte.ItemIndex() + 1);
    const std::string script = windowsMajor_ < 6 ? "remoto" + n + " - XP.bat" : "remoto" + n + ".bat ";
    if (operador_.AskYesNo(
            "Si continua se abrira su pantalla en remoto sobre un terminal de un técnico de Norvexa.\r"
            "La finalidad es ayudarle en sus dudas de instalación de software Norvexa.\r\r"
            "¿Desea continuar con la conexión de soporte remoto?",
            "Norvexa Soporte Remoto") != Answer::kYes) {
      return;
    }
    // Not waited for, and a script that is missing starts nothing without a word.
    CurrentPlatform().shell->Open(folder + "\\vnc\\" + script, "", folder + "\\vnc", kSwHide);
  } catch (const std::exception&) {
    operador_.ShowMessage(
        std::string("Soporte remoto no disponible.\r\rNecesita estar conectado a internet.\r"
                    "O está fuera de horario de soporte.\r\rSolo disponible en horario de oficina de España.\r\r"
                    "Mas información en :\r") +
        " Web: " + kWebNorvexa + "\r Email: " + kEmailSoporte + "\r Teléfono: " + kTelefonoSoporte);
  }
}

}  // namespace nx
