// The database client on a workstation: the run-time libraries next to the application and the
// engine's client library for the whole machine.

#include <exception>

#include "app/FInstall.h"
#include "system/command_runner.h"

namespace nx {

void TFInstalacion::InsFirebirdClient() {
  try {
    const std::string destino = "\"" + Path.Text() + "\\" + Aplicacion + "\\*.*\" /C/Y/I";
    const std::string dll = "cmd /c xcopy  \"" + PathActual + "\\dll\\*.*\" " + destino;
    EjecutaEspera(dll, 0);
    Log(dll);
    EjecutaEspera(dll, 0);
    Log(dll);
    const std::string bpl = "cmd /c xcopy  \"" + PathActual + "\\bpl\\*.*\" " + destino;
    EjecutaEspera(bpl, 0);
    Log(bpl);
    Log("Dll´s copiadas en system32");
    // Quoted: a medium folder with a blank would otherwise run another program.
    const std::string tool = "\"" + PathActual + FBPATH + "instclient.exe\"";
    EjecutaEspera(tool + " i -f f", 0);
    Log("Instalado fbclient.dll");
    EjecutaEspera(tool + " i -f g", 0);
    Log("Instalado gds32.dll");
  } catch (const std::exception&) {
    // The client libraries are not worth stopping the installation for.
  }
}

}  // namespace nx
