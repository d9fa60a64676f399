// The installation folder chosen through the folder browser, and Ctrl+Alt+L.

#include "app/FInstall.h"
#include "platform/platform.h"

namespace nx {

std::string TFInstalacion::Directorio() {
  const std::optional<std::string> chosen = operador_.BrowseForFolder("Carpeta de Instalación");
  // The system's answer for a drive's root already ends in "\": the result then has two.
  return chosen ? *chosen + "\\" : "";
}

void TFInstalacion::CambiaCarpetaClick() {
  Path.SetText(Directorio());
  if (Path.Text().empty()) {
    Path.SetText(CurrentPlatform().environment->Get("ProgramFiles").value_or("") + "\\Norvexa\\");
  }
  if (opciones.Checked(0)) ApplyDriveRule();
}

void TFInstalacion::Action1Execute() {
  BSoporte.SetVisible(true);
  CSoporte.SetVisible(true);
}

}  // namespace nx
