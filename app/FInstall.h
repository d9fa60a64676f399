#pragma once
// The setup window FInstalacion: the program's one window, with its controls, its fields and its
// handlers. It knows no toolkit: a view (FormView) shows it and hands it the operator's actions,
// and the operator's dialogs go through an Operator. Tests drive it directly.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/form_view.h"
#include "app/operator.h"
#include "dbupdate/conexion.h"
#include "dbupdate/consulta.h"

namespace nx {

class TFInstalacion : public ControlOwner {
 public:
  explicit TFInstalacion(Operator& operador);
  TFInstalacion(const TFInstalacion&) = delete;
  TFInstalacion& operator=(const TFInstalacion&) = delete;

  // --- The window itself.
  // Laid out on a client area of kLayoutWidth x kClientHeight; the outer width adds the frame.
  static constexpr int kLayoutWidth = 1022;
  static constexpr int kClientHeight = 392;
  static constexpr int kFrameWidth = 6;  // a fixed tool window's left and right borders
  static constexpr int kCreatedWidth = 605;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int Width() const { return clientWidth_ + kFrameWidth; }
  void SetWidth(int width);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return kClientHeight; }
  const TFont& Font() const { return font_; }
  TColor Color() const { return clBtnFace; }
  // The cursor over the whole application (the hourglass while the window is busy).
  TCursor ScreenCursor() const { return screenCursor_; }
  void SetScreenCursor(TCursor cursor);

  // Every control, parents before their children.
  const std::vector<TControl*>& Controls() const { return controls_; }

  // The view that shows the window; null for none. Not owned.
  void SetView(FormView* view) { view_ = view; }
  Operator& operador() { return operador_; }

  // The folder of the setup program's own file, with its trailing backslash: the one set here,
  // or else the platform's answer (which throws OsError for a program outside every drive).
  void SetProgramFolder(const std::string& folder) { programFolder_ = folder; }
  std::string ProgramFolder() const;

  // --- Window events, raised by the view (or a test).
  // The window became the active one: runs OnActivate when assigned.
  void Activate();
  std::function<void()> OnActivate;

  // Closes the window; being the main window, that ends the program once control is back in
  // the message loop. A second call does nothing.
  void Close();
  bool Closed() const { return closed_; }

  // Lets the window process its pending messages once.
  void ProcessMessages();

  // --- Handlers.
  void FormCreate();
  void FormDestroy();
  void BCancelarClick();

  // Appends linea, time-stamped, to the log file in the folder named by the text of Path, shows
  // the line in Llinea, steps PBar by one (it stops at its maximum) and lets the window process
  // pending messages. A log file that cannot be written raises EInOutError before the status line
  // or the bar change.
  void Log(const std::string& linea);
  // Hears each line Log has written (without its time stamp); for whoever records a run.
  std::function<void(const std::string& linea)> OnLog;

  // --- Start-up checks, the operator's choices and remote support (app/).
  // Runs the start-up checks on the first activation only: the window is activated again after
  // every box it shows, and checks run again would undo the operator's choices.
  void FormActivate();
  void opcionesClickCheck();
  void CambiaCarpetaClick();
  // The folder browser: the chosen folder with "\" appended, "" when cancelled.
  std::string Directorio();
  void Action1Execute();
  void BSoporteClick();

  // --- The installation (install/).
  void BComenzarClick();
  void Calculabarra();
  void InsFirebirdServer();
  void InsFirebirdClient();
  void InsProg(const std::string& Apli, const std::string& nLargo, const std::string& Ver);
  void EnlaceMenu(const std::string& Apli, const std::string& nLargo, bool Escri);
  void EnlaceInicio(const std::string& Apli);
  void CreaEnlace(const std::string& destino, const std::string& argumentos,
                  const std::string& carpetaTrabajo, const std::string& nombre,
                  const std::string& carpeta);
  void InsVnc();
  void InsFtp();
  void InsAyuda(const std::string& Apli);
  void InsFuentes();
  void UninstallDat(const std::string& Valor, const std::string& linea);
  void InsRegistro(const std::string& DName, const std::string& Ver, const std::string& Apli);

  // --- The schema synchronisation (its work lives in dbupdate/): "" on success, otherwise the
  // message for the operator.
  std::string SincronizaCambios(const std::string& Host, const std::string& puerto,
                                const std::string& database);

  // --- Controls.
  TImage Imagen;
  TLabel Titulo;
  TPanel Panel1;
  TLabel Label2;
  TCheckListBox opciones;
  TLabeledEdit Path;
  TSpeedButton CambiaCarpeta;
  TLabeledEdit Host;
  TLabeledEdit LPuerto;
  TCheckBox Escritorio;
  TCheckBox CheckInicio;
  TCheckBox CkMuestra;
  TSpeedButton BSoporte;
  TComboBox CSoporte;
  TProgressBar PBar;
  TEdit Llinea;
  TPanel Botones;
  TSpeedButton BComenzar;
  TSpeedButton BCancelar;
  TImage Copia;
  TTcpClient Ping;
  TAction Action1;
  // The main (or start-up test) and the update database, and a query on each. They live as long
  // as the window and are reused for every connection.
  TConexion con;
  TConexion ConX;
  TConsulta q{con};
  TConsulta QX{ConX};

  // --- Fields.
  std::string PathActual;
  int puerto = 0;
  bool SwnxFirebird = false;
  bool SwDbnx = false;
  std::string Aplicacion;
  std::string Ejecutable;
  std::string Version;
  std::string NombreLargo;
  bool SwServidor = false;
  std::string FIREBIRD;
  std::string FBPATH;

 private:
  // Start-up checks and choices (app/).
  void WireChoiceHandlers();
  bool ConnectionAnswers();
  void ApplyDriveRule();
  bool activated_ = false;
  // The Windows version record's major version, as the start-up checks read it; 0 when Windows
  // did not deliver it (or the checks have not run).
  uint32_t windowsMajor_ = 0;

  // --- The installation's own helpers (install/).
  void ConectaInstalar();  // BComenzar runs BComenzarClick
  // A TCP connection to Host on the port in LPuerto within Ping's time-out; false for a port
  // text that is no port.
  bool ServidorAlcanzable();
  // This system's engine is registered as a service instance on this machine.
  bool MotorInstalado();
  // Stops or starts that instance, around copies of its data files; logged.
  void ServicioMotor(bool arrancar);

  void ControlChanged(const TControl& control) override;
  void FormChanged();
  // nxsetup.png from the program's folder when it is there and a sound picture; else the
  // built-in one.
  std::string BannerPicture(const std::string& folder) const;

  Operator& operador_;
  FormView* view_ = nullptr;
  std::optional<std::string> programFolder_;
  std::vector<TControl*> controls_;
  std::string caption_;
  int clientWidth_ = kLayoutWidth;
  TFont font_;
  TCursor screenCursor_ = TCursor::crDefault;
  bool closed_ = false;
};

}  // namespace nx
