// The window's schema synchronisation: its connections, its log and the engine's service start
// command handed to the operation in dbupdate/.

#include "app/FInstall.h"
#include "dbupdate/sincroniza_cambios.h"
#include "system/command_runner.h"

namespace nx {

std::string TFInstalacion::SincronizaCambios(const std::string& Host, const std::string& puerto,
                                             const std::string& database) {
  const SincronizaEntorno entorno{
      con,
      ConX,
      q,
      QX,
      [this](const std::string& linea) { Log(linea); },
      "\"" + Path.Text() + FBPATH + "instsvc\" start -n Norvexa" + FIREBIRD,
      [](const std::string& linea) { EjecutaEspera(linea, 0); },
  };
  return nx::SincronizaCambios(entorno, Host, puerto, database);
}

}  // namespace nx
