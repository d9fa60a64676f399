#include "app/FInstall.h"

#include "app/banner.h"
#include "app/png_check.h"
#include "app/sockets.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/program.h"
#include "system/install_log.h"

namespace nx {

namespace {

constexpr char kSettingsSection[] = "APLICACION";

// A banner larger than this is no banner: it would only cost memory to show a corner of it.
constexpr uint64_t kMaxBannerBytes = 32u << 20;
constexpr int kMaxBannerSide = 8192;

TFont Tahoma(int pixels, bool bold = false, TColor color = clWindowText) {
  return TFont{"Tahoma", pixels, bold, color};
}

// One value of the settings file; a file that cannot be read counts as absent, as the profile
// reader of the system treats it.
std::string Setting(const std::string& file, const std::string& key) {
  try {
    return ReadProfileString(file, kSettingsSection, key, "");
  } catch (const OsError&) {
    return "";
  }
}

}  // namespace

TFInstalacion::TFInstalacion(Operator& operador)
    : Imagen(*this, "Imagen", nullptr, 0, 0, 135, kClientHeight),
      Titulo(*this, "Titulo", nullptr, 137, 3, 456, 28),
      Panel1(*this, "Panel1", nullptr, 151, 34, 433, 353),
      Label2(*this, "Label2", &Panel1, 11, 0, 120, 16),
      opciones(*this, "opciones", &Panel1, 11, 22, 414, 85),
      Path(*this, "Path", &Panel1, 11, 141, 389, 19),
      CambiaCarpeta(*this, "CambiaCarpeta", &Panel1, 406, 137, 22, 25),
      Host(*this, "Host", &Panel1, 11, 193, 148, 19),
      LPuerto(*this, "LPuerto", &Panel1, 175, 193, 45, 19),
      Escritorio(*this, "Escritorio", &Panel1, 11, 218, 253, 17),
      CheckInicio(*this, "CheckInicio", &Panel1, 11, 241, 253, 17),
      CkMuestra(*this, "CkMuestra", &Panel1, 11, 265, 253, 17),
      BSoporte(*this, "BSoporte", &Panel1, 313, 168, 93, 79),
      CSoporte(*this, "CSoporte", &Panel1, 313, 251, 99, 21),
      PBar(*this, "PBar", &Panel1, 11, 298, 414, 17),
      Llinea(*this, "Llinea", &Panel1, 11, 321, 414, 19),
      Botones(*this, "Botones", &Panel1, 87, 306, 259, 40),
      BComenzar(*this, "BComenzar", &Botones, 8, 2, 105, 36),
      BCancelar(*this, "BCancelar", &Botones, 146, 2, 105, 36),
      Copia(*this, "Copia", nullptr, kLayoutWidth - 130, 0, 130, kClientHeight),
      operador_(operador) {
  controls_ = {&Imagen,      &Titulo,     &Panel1,    &Label2,   &opciones, &Path,
               &CambiaCarpeta, &Host,     &LPuerto,   &Escritorio, &CheckInicio,
               &CkMuestra,   &BSoporte,   &CSoporte,  &PBar,     &Llinea,   &Botones,
               &BComenzar,   &BCancelar,  &Copia};

  // The white panel's controls take its colour.
  for (TControl* c : controls_)
    if (c->Parent() != nullptr) c->SetColor(clWhite);
  Panel1.SetColor(clWhite);

  Titulo.SetCaption("Instalación");
  Titulo.SetAlignment(TAlignment::taCenter);
  Titulo.SetFont(Tahoma(16, false, clHotLight));

  Label2.SetCaption("Módulos a instalar");
  Label2.SetAutoSize(true);
  Label2.SetFont(Tahoma(13, true));

  opciones.SetItems({"Base de datos (Servidor)", "Aplicación en puesto de trabajo."});
  opciones.SetItemHeight(19);
  opciones.SetFont(Tahoma(16));
  opciones.SetColor(clWindow);

  Path.SetLabelCaption("Carpeta de Instalación");
  Path.SetText("C:\\Archivos de Programa\\Norvexa\\nxGestion");
  Path.SetColor(clWindow);

  CambiaCarpeta.SetFlat(true);
  CambiaCarpeta.SetCursor(TCursor::crHandPoint);
  CambiaCarpeta.SetGlyph(TGlyph::kCarpeta);

  Host.SetLabelCaption("Servidor (Nombre/Ip)");
  Host.SetText("localhost");
  Host.SetColor(clWindow);

  LPuerto.SetLabelCaption("Puerto");
  LPuerto.SetText("733");
  LPuerto.SetReadOnly(true);
  LPuerto.SetColor(clWindow);

  Escritorio.SetCaption("Poner enlace de las aplicaciones en el Escritorio");
  Escritorio.SetChecked(true);
  CheckInicio.SetCaption("Poner enlace en inicio de windows");
  CkMuestra.SetCaption("Cargar datos de muestra");
  CkMuestra.SetVisible(false);

  BSoporte.SetCaption("Soporte Remoto");
  BSoporte.SetFlat(true);
  BSoporte.SetLayout(TButtonLayout::blGlyphTop);
  BSoporte.SetCursor(TCursor::crHandPoint);
  BSoporte.SetGlyph(TGlyph::kSoporte);
  BSoporte.SetVisible(false);

  CSoporte.SetItems({"Técnico 1", "Técnico 2", "Técnico 3", "Técnico 4", "Técnico 5", ""});
  CSoporte.SetText("Técnico 1");
  CSoporte.SetColor(clWindow);
  CSoporte.SetVisible(false);

  PBar.SetVisible(false);

  Llinea.SetReadOnly(true);
  Llinea.SetColor(clWindow);
  Llinea.SetVisible(false);

  Botones.SetBorder(TPanelBorder::kFlat);

  for (TSpeedButton* b : {&BComenzar, &BCancelar}) {
    b->SetFlat(true);
    b->SetCursor(TCursor::crHandPoint);
  }
  BComenzar.SetCaption("Instalar");
  BComenzar.SetGlyph(TGlyph::kInstalar);
  BCancelar.SetCaption("Cancelar");
  BCancelar.SetGlyph(TGlyph::kCancelar);
  BCancelar.OnClick = [this] { BCancelarClick(); };
  ConectaInstalar();

  Copia.SetPicture(BuiltInBanner());
  Copia.SetVisible(false);

  Ping.ConnectTimeout = 1500;
  Ping.IPVersion = 4;

  Action1.Caption = "Action1";
  Action1.ShortCut = TAction::kCtrl | TAction::kAlt | 'L';  // 49228

  WireChoiceHandlers();
}

void TFInstalacion::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  FormChanged();
}

void TFInstalacion::SetWidth(int width) {
  const int clientWidth = width > kFrameWidth ? width - kFrameWidth : 0;
  if (clientWidth == clientWidth_) return;
  clientWidth_ = clientWidth;
  FormChanged();
}

void TFInstalacion::SetScreenCursor(TCursor cursor) {
  if (cursor == screenCursor_) return;
  screenCursor_ = cursor;
  FormChanged();
}

std::string TFInstalacion::ProgramFolder() const {
  return programFolder_ ? *programFolder_ : nx::ProgramFolder();
}

void TFInstalacion::Activate() {
  if (OnActivate) OnActivate();
}

void TFInstalacion::Close() {
  if (closed_) return;
  closed_ = true;
  if (view_ != nullptr) view_->FormClosed();
}

void TFInstalacion::ProcessMessages() {
  if (view_ != nullptr) view_->ProcessMessages();
}

void TFInstalacion::ControlChanged(const TControl& control) {
  if (view_ != nullptr) view_->ControlChanged(control);
}

void TFInstalacion::FormChanged() {
  if (view_ != nullptr) view_->FormChanged();
}

void TFInstalacion::FormCreate() {
  SetWidth(kCreatedWidth);

  const std::string folder = ProgramFolder();
  // The folder ends in a backslash already; the doubled one is how the name has always been
  // built, and the file system takes it.
  const std::string settings = folder + "\\nxSetup.ini";
  Aplicacion = Setting(settings, "APLICACION");
  Ejecutable = Setting(settings, "EJECUTABLE");
  NombreLargo = Setting(settings, "NOMBRE");
  Version = Setting(settings, "VERSION");
  FIREBIRD = Setting(settings, "FIREBIRD");
  const std::string muestra = Setting(settings, "MUESTRA");

  CkMuestra.SetVisible(muestra == "S");
  if (FIREBIRD == "3") {
    FBPATH = "firebird3\\";
  } else {
    FBPATH = "firebird\\bin\\";
    FIREBIRD = "";
  }

  StartSocketLibrary();
  SetCaption(NombreLargo);
  opciones.SetChecked(0, true);
  opciones.SetChecked(1, true);
  Titulo.SetCaption("Instalación de " + NombreLargo + " Ver. " + Version);
  PBar.SetMax(44);
  Imagen.SetPicture(BannerPicture(folder));
}

std::string TFInstalacion::BannerPicture(const std::string& folder) const {
  const std::string file = folder + "\\nxsetup.png";
  try {
    FileSystem& files = *CurrentPlatform().files;
    if (files.FileExists(file)) {
      const auto found = files.FindFiles(file);
      if (found.size() == 1 && found[0].size <= kMaxBannerBytes) {
        std::string bytes = files.ReadFile(file);
        if (IsSoundPng(bytes, kMaxBannerSide)) return bytes;
      }
    }
  } catch (const OsError&) {
    // An unreadable picture is no picture.
  }
  return Copia.Picture();
}

void TFInstalacion::FormDestroy() { StopSocketLibrary(); }

void TFInstalacion::BCancelarClick() { Close(); }

void TFInstalacion::Log(const std::string& linea) {
  const std::string escrita = AppendInstallLog(Path.Text(), linea);
  Llinea.SetText(escrita);
  PBar.SetPosition(PBar.Position() + 1);
  if (OnLog) OnLog(linea);
  ProcessMessages();
}

}  // namespace nx
