// The installation driver: what one click on "Instalar" does, from settling the operator's
// choices to closing the window.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/FInstall.h"
#include "app/producto.h"
#include "dbupdate/parametros.h"
#include "dbupdate/sincroniza_cambios.h"
#include "install/entrada.h"
#include "app/maquina.h"
#include "platform/platform.h"
#include "system/command_runner.h"
#include "system/registry_access.h"

namespace nx {

namespace {

// "yy-mm-dd-hh-nn", taken once per click: it names this run's backup folder.
std::string Sello() {
  const LocalTime t = CurrentPlatform().clock->Now();
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%02d-%02d-%02d", t.year % 100, t.month, t.day,
                t.hour, t.minute);
  return text;
}

// Blanks and control characters off both ends.
std::string Recorta(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string Xcopy(const std::string& from, const std::string& to) {
  return "cmd /c xcopy  \"" + from + "\" \"" + to + "\" /C/Y/I";
}

}  // namespace

void TFInstalacion::ConectaInstalar() {
  BComenzar.OnClick = [this] { BComenzarClick(); };
}

bool TFInstalacion::ServidorAlcanzable() {
  const std::optional<int> port = PuertoDeTexto(LPuerto.Text());
  if (!port) return false;
  return CurrentPlatform().network->CanConnect(Host.Text(), static_cast<uint16_t>(*port),
                                               Ping.ConnectTimeout);
}

bool TFInstalacion::MotorInstalado() {
  return !LeeRegistro(RegRoot::kLocalMachine,
                      "\\SYSTEM\\CurrentControlSet\\Services\\Norvexa" + FIREBIRD, "ImagePath")
              .empty();
}

void TFInstalacion::ServicioMotor(bool arrancar) {
  const std::string tool = "\"" + Path.Text() + FBPATH + "instsvc\" ";
  if (arrancar) {
    EjecutaEspera(tool + "start -n Norvexa" + FIREBIRD, 0);
    Log("Arrancado servicio firebird" + FIREBIRD + " tras copiar los ficheros de datos");
  } else {
    EjecutaEspera(tool + "stop -n Norvexa" + FIREBIRD, 0);
    Log("Parado servicio firebird" + FIREBIRD + " para copiar los ficheros de datos");
  }
}

void TFInstalacion::Calculabarra() {
  int max = 0;
  PBar.SetMax(max);
  const bool servidor = opciones.Checked(0);
  if (servidor) {
    PBar.SetMax(max += 8);
    if (!SwnxFirebird) PBar.SetMax(max += 5);
    if (!SwDbnx) PBar.SetMax(max += 1);
  }
  if (opciones.Checked(1)) {
    PBar.SetMax(max += 27);
    PBar.SetMax(max += 6);
  }
  if (CheckInicio.Checked()) PBar.SetMax(max += 1);
  PBar.SetMax(max += 1);
}

void TFInstalacion::BComenzarClick() {
  // 1. The stamp.
  const std::string stamp = Sello();

  // 2. The folder text, trimmed and ended by a backslash; then both texts that reach command
  // lines are checked before anything is created.
  std::string path = Recorta(Path.Text());
  if (path.empty() || path.back() != '\\') path += '\\';
  Path.SetText(path);
  if (std::optional<std::string> error = CarpetaNoValida(path)) {
    operador().ShowMessage(*error);
    return;
  }
  if (std::optional<std::string> error = ServidorNoValido(Host.Text())) {
    operador().ShowMessage(*error);
    return;
  }

  const bool servidor = opciones.Checked(0);
  const bool puesto = opciones.Checked(1);

  // 3. Existing data files.
  if (servidor && ExisteFichero(path + "DataBase\\" + Aplicacion + FIREBIRD + ".FDB")) {
    const Answer answer = operador().AskYesNoCancel(
        "Encontrado fichero de datos anteriores. " + Aplicacion + "\r\r" +
            " ¿ !! BORRAR || fichero anterior," + "\r" + " !! PERDIENDO !! los datos ?",
        "¿!! BORRAR DATOS ANTERIORES !!?");
    if (answer == Answer::kCancel) return;
    SwDbnx = answer == Answer::kNo;
  }

  // 4. The server must answer when this machine is not to be it.
  if (!servidor && !ServidorAlcanzable()) {
    operador().ShowMessage(
        "No puedo conectar con el servidor de datos.\r\r  Compruebe la instalación, la conexión de "
        "red y la configuración\r  del Firewall del servidor si lo tiene instalado.\r\rServidor : " +
        Host.Text() + "\r" + "Puerto    : " + LPuerto.Text());
    return;
  }

  // The port shown is the one the operator may have typed over activation's: the engine's
  // configuration takes it, so the update and the updater must talk to it too.
  if (std::optional<int> typed = PuertoDeTexto(LPuerto.Text())) puerto = *typed;

  // 5 to 8.
  Calculabarra();
  CreaCarpetas(path);
  CreaCarpetas(Entorno("ALLUSERSPROFILE") + "\\Norvexa");
  CreaCarpetas(path + "DataBase");
  PathActual = ProgramFolder();
  {
    const std::string line = Xcopy(PathActual + "\\dll\\*.*", PathActual + "\\*.*");
    Log("Preparando dll´s de instalación  " + line);
    EjecutaEspera(line, 0);
    Log("Ficheros Dll copiados");
  }

  // 9.
  if (!servidor && !puesto) {
    operador().ShowMessage("Debe de seleccionar alguna opción");
    return;
  }

  // 10. From here on every outcome closes the window.
  Llinea.SetVisible(true);
  PBar.SetVisible(true);
  Botones.SetVisible(false);
  ProcessMessages();
  SetScreenCursor(TCursor::crHourGlass);

  // 11. Backup of a previous installation.
  const std::string old = path + "\\" + Aplicacion + "\\old\\" + stamp + "\\\\";
  if (ExisteCarpeta(path + Aplicacion)) {
    Log("Realizando copia de seguridad de archivos...");
    CreaCarpetas(old + Aplicacion);
    EjecutaEspera(Xcopy(path + "\\" + Aplicacion + "\\*.*", old + Aplicacion + "\\*.*"), 0);
    if (ExisteCarpeta(path + "\\Database")) {
      CreaCarpetas(old + "database\\");
      // A database file that the engine holds open copies into no backup.
      const bool motor = MotorInstalado();
      if (motor) ServicioMotor(false);
      EjecutaEspera(Xcopy(path + "\\DATABASE\\" + Aplicacion + FIREBIRD + "*.fdb", old + "database\\*.*"), 0);
      if (motor) ServicioMotor(true);
    }
  }

  // 12. The protected block.
  bool fallo = false;
  try {
    EscribeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path", path, rdString);
    EjecutaEspera("cmd /c copy  \"" + PathActual + "UnInstall.exe\" \"" + path + "UnInstall.exe\" /Y", 0);
    Log("Microsoft Runtime C++ instalando");
    EjecutaEspera("msiexec /i \"" + PathActual + "\\system32\\" +
                      (FIREBIRD == "3" ? "vccrt10_Win32.msi" : "vccrt8_Win32.msi") + "\" /quiet ",
                  1);
    Log("Microsoft Runtime C++ instalado");
    const std::string fotos = Aplicacion + FIREBIRD + "FOTOS.FDB";
    if (ExisteFichero(PathActual + "\\DataBase\\" + fotos) && !ExisteFichero(path + "\\DataBase\\" + fotos))
      EjecutaEspera(Xcopy(PathActual + "DataBase\\" + fotos, path + "\\DataBase\\"), 0);
    if (servidor) InsFirebirdServer();
    const std::string x = Aplicacion + FIREBIRD + "X.FDB";
    if (ExisteFichero(path + "\\DataBase\\" + x)) {
      const std::string line = Xcopy(PathActual + "DataBase\\" + x, path + "\\DataBase\\");
      // The medium's copy knows nothing of the changes an interrupted update already applied.
      LlenaParametros(ConX.Params(), Host.Text(), puerto, Aplicacion + "X", kCuentaAplicacion);
      const std::vector<std::string> aplicados = CambiosAplicados(ConX, QX);
      EjecutaEspera(line, 0);
      Log("Base de datos X copiada para actualización " + line);
      MarcaAplicados(ConX, aplicados);
    } else {
      Log("Base de datos de actualización no encontrada");
    }
    if (puesto) {
      InsFirebirdClient();
      InsProg(Aplicacion, NombreLargo, Version);
      InsVnc();
      InsFtp();
      InsAyuda(Aplicacion);
      InsFuentes();
    }
  } catch (const std::exception&) {
    fallo = true;
  }

  // 13.
  if (fallo) {
    SetScreenCursor(TCursor::crDefault);
    ProcessMessages();
    operador().ShowMessage(
        std::string("Instalación Terminada con error.\r Asegurese de que tiene permisos de "
                    "administrador.\r Cierre todas las aplicaciones e instale de nuevo.\r Si el "
                    "problema persiste pongase en contacto con  soporte Norvexa.\r") +
        "  " + kWebNorvexa + " \r" + "  eMail : " + kEmailSoporte + " \r" + "  Telf  : " +
        kTelefonoSoporte + " (Solo horario de oficina 'España').");
    Close();
    return;
  }

  // 14, 15.
  std::string error;
  if (SwServidor || servidor) {
    error = SincronizaCambios(Host.Text(), std::to_string(puerto), Aplicacion);
  } else {
    Log("Sincronizacambios no aplicado.");
  }
  if (error.empty()) Log("Preparación Base de datos hecho.");

  // 16. A failed update: this run's backup comes back.
  if (!error.empty()) {
    con.Close();
    ConX.Close();
    if (ExisteCarpeta(path + Aplicacion + "\\old\\" + stamp + "\\")) {
      Log("Recuperando copia de seguridad de archivos...");
      EjecutaEspera(Xcopy(old + Aplicacion + "\\*.*", path + "\\" + Aplicacion + "\\*.*"), 0);
      const bool motor = MotorInstalado();
      if (motor) ServicioMotor(false);
      EjecutaEspera(Xcopy(path + "DATABASE\\" + Aplicacion + FIREBIRD + "X.fdb",
                          path + "\\database\\copia-" + Aplicacion + FIREBIRD + "X.*"),
                    0);
      EjecutaEspera(Xcopy(old + "database\\*.*", path + "\\database\\*.*"), 0);
      if (motor) ServicioMotor(true);
    }
    SetScreenCursor(TCursor::crDefault);
    operador().ShowMessage("No se puede hacer la instalación.\r" + error);
    Close();
    return;
  }

  // 17. Success.
  SetScreenCursor(TCursor::crDefault);
  std::string remark;
  if (servidor) {
    remark = "\rPara la instalación en el resto de puestos de la red use\r Como servidor : " +
             Host.Text() + " y puerto : " + LPuerto.Text() + "\r" + " y desmarque la opcion de servidor.";
    if (!ServidorAlcanzable()) {
      remark = "\rNo se ha podido conectar con el servidor en el puerto : " + LPuerto.Text() + "\r" +
               "Si tiene un firewall abra el puerto especificado antes de ejecutar la aplicación.";
    }
  }
  const std::string folder = path + Aplicacion;
  Log("Ejecutando actualizador");
  EjecutaEspera("cmd /c copy  \"" + folder + "\\actualizador.exe\" \"" + folder + "\\actualizador2.exe\" /Y", 0);
  Log("actualizando : actualizador.exe");
  const std::string updater = "\"" + folder + "\\actualizador2.exe\" " + Host.Text() + "/" +
                              std::to_string(puerto) + ":" + Aplicacion + "X \"" + folder + "\\NO\"";
  EjecutaEspera(updater, 1);
  Log("actualizando :  " + updater);
  Log("Instalación terminada.");
  operador().ShowMessage("Instalación Terminada." + remark);
  Close();
}

}  // namespace nx
