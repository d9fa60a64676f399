// The start-up checks: the window's activation decides whether this machine can be installed
// and what it already holds (new installation, engine present, or an update).

#include "app/activacion.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>

#include "app/FInstall.h"
#include "app/maquina.h"
#include "dbupdate/parametros.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "system/errors.h"
#include "system/port_probe.h"
#include "system/registry_access.h"

namespace nx {

namespace {

// StrToInt: optional blanks before, a sign, decimal digits, within 32 bits.
int ToInteger(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  size_t digits = pos;
  if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) ++digits;
  bool sound = digits < text.size();
  for (size_t k = digits; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') sound = false;
  if (sound) {
    errno = 0;
    const long long value = std::strtoll(text.c_str() + pos, nullptr, 10);
    if (errno == 0 && value >= INT_MIN && value <= INT_MAX) return static_cast<int>(value);
  }
  throw EConvertError("'" + text + "' no es un valor entero válido");
}

// The cursor of a busy window for as long as the object lives.
class HourGlass {
 public:
  explicit HourGlass(TFInstalacion& form) : form_(form) { form_.SetScreenCursor(TCursor::crHourGlass); }
  ~HourGlass() { form_.SetScreenCursor(TCursor::crDefault); }

 private:
  TFInstalacion& form_;
};

}  // namespace

bool EsAdministrador() { return CurrentPlatform().system->IsAdministrator(); }

void TFInstalacion::WireChoiceHandlers() {
  OnActivate = [this] { FormActivate(); };
  opciones.OnClickCheck = [this] { opcionesClickCheck(); };
  CambiaCarpeta.OnClick = [this] { CambiaCarpetaClick(); };
  BSoporte.OnClick = [this] { BSoporteClick(); };
  Action1.OnExecute = [this] { Action1Execute(); };
}

void TFInstalacion::FormActivate() {
  if (activated_) return;
  activated_ = true;

  // A refusal ends the program: nothing more is looked at, nobody connects or probes.
  const std::optional<WindowsVersion> version = CurrentPlatform().system->Version();
  if (!version) {
    windowsMajor_ = 0;
    operador_.ShowMessage(
        "Problema al obtener la versión de Windows.\rPara garantizar el exito de la instalación\r"
        "Asegurese de tener Windows Xp Service Pack 2 o superior");
  } else {
    windowsMajor_ = version->major;
    if (version->major < 5) {
      operador_.ShowMessage(
          "Versión de Windows inferior a Windows 2000\r                    No es posible la instalación.");
      Close();
      return;
    }
  }

  if (!EsAdministrador()) {
    operador_.ShowMessage("La instalación solo es posible con permisos de Administrador");
    Close();
    return;
  }

  PathActual = ProgramFolder();

  const std::string systemRoot = Entorno("SystemRoot");
  const std::string xcopy = systemRoot + "\\system32\\xcopy.exe";
  if (ExisteFichero(xcopy)) {
    try {
      CurrentPlatform().files->CopyFile(xcopy, PathActual + "xcopy.exe", false);
    } catch (const OsError&) {
      // A read-only medium keeps its own copy, or none: the system's is found all the same.
    }
  } else {
    operador_.ShowMessage("No se puede instalar falta xcopy.exe en " + systemRoot + "\\system32");
    Close();
    return;
  }

  SwServidor = false;
  Path.SetText(Entorno("HOMEDRIVE") + "\\Norvexa\\");
  SwnxFirebird = false;
  SwDbnx = false;

  const std::string recorded = LeeRegistro(RegRoot::kLocalMachine, "\\Software\\Norvexa", "Path");
  if (!recorded.empty()) {
    Path.SetText(recorded);
    try {
      Log(" ");
      Log(" ");
      Log("  ----- Nueva instalación ----- " + Aplicacion);
    } catch (const std::exception&) {
      // The header is a courtesy: a folder that has gone leaves no trace and stops nothing.
    }
  }

  const std::string engineKey = "\\Software\\Norvexa\\Firebird" + FIREBIRD;
  const std::string recordedPort = LeeRegistro(RegRoot::kLocalMachine, engineKey, "Puerto");
  if (!recordedPort.empty()) {
    try {
      puerto = ToInteger(recordedPort);
    } catch (const EConvertError& e) {
      // The rest of the checks are skipped; the window stays with what it has and goes on.
      operador_.ShowMessage(e.what());
      return;
    }
    Host.SetText(LeeRegistro(RegRoot::kLocalMachine, engineKey, "Host"));
    if (Host.Text().empty()) Host.SetText("Localhost");
    const bool answers = FIREBIRD == "3" && puerto > 0 ? ConnectionAnswers() : PuertoEnUso(puerto);
    if (answers) {
      SwnxFirebird = true;
      LPuerto.SetText(std::to_string(puerto));
      LPuerto.SetReadOnly(true);
      Path.SetReadOnly(true);
      Host.SetReadOnly(true);
      CambiaCarpeta.SetVisible(false);
      Path.SetWidth(opciones.Width());
    }
  }

  if (ExisteFichero(Path.Text() + "\\DataBase\\" + Aplicacion + FIREBIRD + ".FDB")) SwDbnx = true;

  if (SwDbnx && SwnxFirebird) {
    SwServidor = true;
    opciones.SetChecked(0, false);
    Titulo.SetCaption("Actualización de " + NombreLargo + " Ver. " + Version);
    LPuerto.SetReadOnly(false);
    Host.SetReadOnly(false);
  }

  if (!SwnxFirebird) {
    {
      HourGlass busy(*this);
      puerto = FIREBIRD == "3" ? 737 : 733;
      while (puerto < 65535 && PuertoEnUso(puerto)) ++puerto;
    }
    LPuerto.SetText(std::to_string(puerto));
  }
}

// Whether the recorded engine answers: the test database opened as the engine's administrator,
// twice at most, half a second apart.
bool TFInstalacion::ConnectionAnswers() {
  const std::string connection = Host.Text() + "/" + std::to_string(puerto) + ":" + Path.Text();
  for (int attempt = 1; attempt <= 2; ++attempt) {
    try {
      if (attempt == 2) CurrentPlatform().clock->Sleep(500);
      Log("Intento de conexión " + std::to_string(attempt) + " al db " + connection + "database\\NXDUMMY.FDB");
      LlenaParametros(con.Params(), Host.Text(), puerto, Path.Text() + "DataBase\\NXDUMMY.FDB", kCuentaAdministrador);
      con.Open();
      con.Close();
      return true;
    } catch (const std::exception&) {
      con.Close();
    }
  }
  return false;
}

}  // namespace nx
