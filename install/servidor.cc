// The database server: the engine as a service instance of its own, its firewall openings, the
// data files, the host names, the aliases, the port, and its records.

#include <string>

#include "app/FInstall.h"
#include "install/entrada.h"
#include "app/maquina.h"
#include "platform/text.h"
#include "system/command_runner.h"
#include "system/errors.h"
#include "system/file_list.h"
#include "system/line_list.h"
#include "system/registry_access.h"

namespace nx {

namespace {

int PuertoONumero(const std::string& texto) {
  if (std::optional<int> port = PuertoDeTexto(texto)) return *port;
  throw EConvertError("'" + texto + "' no es un número de puerto válido");
}

}  // namespace

void TFInstalacion::InsFirebirdServer() {
  const std::string path = Path.Text();
  const std::string port = LPuerto.Text();
  const std::string service = "Norvexa" + FIREBIRD;
  const std::string tool = path + FBPATH + "instsvc";
  const std::string systemRoot = Entorno("SystemRoot");

  Log("Iniciando instalacion firebird.");

  // A port text that is no number would reach the firewall's command line; it stops the step
  // before any command runs with it.
  const int numero = PuertoONumero(port);
  const std::string siguiente = std::to_string(numero + 1);

  if (!SwnxFirebird) {
    EjecutaEspera("\"" + tool + "\" stop  -n " + service, 0);
    Log("Servicio Firebird Parado");
    EjecutaEspera("\"" + tool + "\" r -n " + service, 0);
    Log("Servicio Firebird Eliminado");
    EjecutaEspera("cmd /c xcopy  \"" + PathActual + "firebird" + FIREBIRD + "\" \"" + path + "firebird" +
                      FIREBIRD + "\" /S/E/C/I/H/Y",
                  0);
    Log("Carpeta firebird copiada.");
    // Quoted: the default folder holds a blank, and Windows would run "C:\Program.exe" first.
    EjecutaEspera("\"" + tool + "\" install -g -n " + service, 0);
    Log("Servicio Firebird Instalado");
    EjecutaEspera("netsh.exe firewall set portopening TCP " + port + " \"Norvexa Firebird DataBase\" enable subnet", 0);
    EjecutaEspera("netsh.exe firewall set portopening TCP " + siguiente + " \"Norvexa Firebird Eventos\" enable subnet", 0);
    Log("Reglas de firewall windows agregadas");
  }

  if (!SwDbnx) {
    CreaCarpetas(path + "DataBase");
    Log("Copiando DataBase\\*.FDB");
    EjecutaEspera("cmd /c xcopy  \"" + PathActual + "DataBase\\*.FDB\" \"" + path + "DataBase\\\" /C/Y/I", 0);
    Log("Base de datos copiada");
    const std::string hosts = systemRoot + "\\system32\\drivers\\etc\\hosts";
    Log("cmd /c copy  \"" + PathActual + "\\system32\\hosts\"+\"" + hosts + "\" \"" + hosts + "\" /Y");
    EjecutaEspera("cmd /c copy  \"" + hosts + "\" \"" + hosts + ".old\" /Y", 0);
    EjecutaEspera("cmd /c copy  \"" + PathActual + "\\system32\\hosts\"+\"" + hosts + ".old\" \"" + hosts + "\" /Y", 0);
  }

  // Aliases for every data file in place.
  const std::string aliasFile = path + (FIREBIRD == "3" ? "firebird3\\databases.conf" : "firebird\\aliases.conf");
  LineList aliases = LineList::Load(aliasFile, LineList::IfMissing::kEmpty);
  for (const std::string& file : ListaFicheros(path + "DataBase\\", "*.fdb", false, false)) {
    std::string alias = file.size() >= 4 ? file.substr(0, file.size() - 4) : "";
    if (!FIREBIRD.empty()) {
      for (size_t at; (at = alias.find(FIREBIRD)) != std::string::npos;) alias.erase(at, FIREBIRD.size());
    }
    std::string database = file;
    if (EqualsIgnoreCase(alias, Aplicacion) && CkMuestra.Checked()) database = alias + FIREBIRD + "Muestra.fdb";
    Log("Buscandao alias a agregar : " + alias + "=" + database);
    aliases.Replace(alias, alias + "=" + path + "Database\\" + database);
    Log("Alias base de datos agregado : " + alias + "=" + database);
  }
  aliases.Save(aliasFile);
  Log("Alias base de datos agregado a " + aliasFile);

  const std::string conf = path + "firebird" + FIREBIRD + "\\firebird.conf";
  LineList config = LineList::Load(conf, LineList::IfMissing::kEmpty);
  config.Replace("RemoteServicePort", "RemoteServicePort=" + port);
  config.Replace("RemoteAuxPort", "RemoteAuxPort=" + siguiente);
  config.Save(conf);
  Log("Puerto Modificado firebird.conf");

  EjecutaEspera("\"" + tool + "\" stop -n " + service, 0);
  Log("Parado servicio firebird");
  EjecutaEspera("\"" + tool + "\" start -n " + service, 0);
  Log("Arrancado Servicio Firebird" + FIREBIRD);

  const std::string key = "\\SOFTWARE\\Norvexa\\Firebird" + FIREBIRD;
  EscribeRegistro(RegRoot::kLocalMachine, key, "Puerto", port, rdString);
  EscribeRegistro(RegRoot::kLocalMachine, key, "Host", Host.Text(), rdString);
  EscribeRegistro(RegRoot::kLocalMachine, key, "Path", path + "Firebird", rdString);
  Log("Registro SoftWare Norvexa hecho");

  InsRegistro("Firebird Database", FIREBIRD == "3" ? "3.0" : "2.5", "Firebird" + FIREBIRD);
  UninstallDat("Firebird" + FIREBIRD,
               "Firebird" + FIREBIRD + " Norvexa Puerto: " + port + "," + path + "firebird" + FIREBIRD);
  Log("UnInstall.dat firebird" + FIREBIRD + " Hecho.");
}

}  // namespace nx
