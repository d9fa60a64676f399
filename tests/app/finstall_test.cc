// The setup window driven directly, as the operator would, on a scratch machine whose
// installation medium is a folder mapped as D:.

#include "app/FInstall.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <optional>
#include <algorithm>

#include "app/banner.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "system/errors.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

// Counts what the window asks of its view.
class RecordingView : public FormView {
 public:
  void ControlChanged(const TControl&) override { ++changes; }
  void FormChanged() override { ++formChanges; }
  void ProcessMessages() override { ++processed; }
  void FormClosed() override { ++closed; }
  int changes = 0, formChanges = 0, processed = 0, closed = 0;
};

std::string Png(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(10, 120, 200));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

class FInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    medium_ = CurrentHostedMachine().root() + "/medio";
    std::filesystem::create_directories(medium_);
    CurrentHostedMachine().MapDrive('D', medium_);
    form_.SetView(&view_);
  }

  FileSystem& files() { return *CurrentPlatform().files; }

  // The program lies in the medium's root, as nxSetup.exe does.
  void Create() {
    form_.SetProgramFolder("D:\\");
    form_.FormCreate();
  }
  void WriteSettings(const std::string& bytes) { files().WriteFile("D:\\nxSetup.ini", bytes); }

  ScratchMachine machine_;
  std::string medium_;
  ScriptedOperator operador_;
  RecordingView view_;
  TFInstalacion form_{operador_};
};

TEST_F(FInstallTest, WithoutSettingsFileEveryValueIsEmptyAndTheWindowOpens) {
  Create();
  EXPECT_EQ(form_.Aplicacion, "");
  EXPECT_EQ(form_.Ejecutable, "");
  EXPECT_EQ(form_.NombreLargo, "");
  EXPECT_EQ(form_.Version, "");
  EXPECT_EQ(form_.FIREBIRD, "");
  EXPECT_EQ(form_.FBPATH, "firebird\\bin\\");
  EXPECT_EQ(form_.Caption(), "");
  EXPECT_EQ(form_.Titulo.Caption(), "Instalación de  Ver. ");
  EXPECT_FALSE(form_.CkMuestra.Visible());
  EXPECT_EQ(form_.Imagen.Picture(), BuiltInBanner());
  EXPECT_TRUE(operador_.interactions().empty());
}

TEST_F(FInstallTest, ReadsTheApplicationSectionIntoTheFields) {
  // ANSI, as such files are written; the display name carries accents in code page 1252.
  WriteSettings(
      "; Norvexa\r\n[Otra]\r\nNOMBRE=No es esta\r\n"
      "[aplicacion]\r\n"
      "  Aplicacion =  nxGestion  \r\nEJECUTABLE=nxGestion.exe\r\n"
      "NOMBRE=Gesti\xf3n Comercial\r\nVERSION=4.2.1\r\nFIREBIRD=3\r\nMUESTRA=S\r\n"
      "NOMBRE=El primero vale\r\n");
  Create();
  EXPECT_EQ(form_.Aplicacion, "nxGestion");
  EXPECT_EQ(form_.Ejecutable, "nxGestion.exe");
  EXPECT_EQ(form_.NombreLargo, "Gestión Comercial");
  EXPECT_EQ(form_.Version, "4.2.1");
  EXPECT_EQ(form_.FIREBIRD, "3");
  EXPECT_EQ(form_.FBPATH, "firebird3\\");
  EXPECT_EQ(form_.Caption(), "Gestión Comercial");
  EXPECT_EQ(form_.Titulo.Caption(), "Instalación de Gestión Comercial Ver. 4.2.1");
  EXPECT_TRUE(form_.CkMuestra.Visible());
}

TEST_F(FInstallTest, OnlyGenerationThreeIsKeptAndOnlyAnUpperCaseSShowsTheSampleBox) {
  struct Case {
    std::string firebird, muestra;
    std::string expectFirebird, expectPath;
    bool expectSample;
  } cases[] = {
      {"3", "S", "3", "firebird3\\", true},
      {" 3 ", " S ", "3", "firebird3\\", true},  // the profile reader drops the blanks
      {"2", "s", "", "firebird\\bin\\", false},
      {"30", "SI", "", "firebird\\bin\\", false},
      {"03", "N", "", "firebird\\bin\\", false},
      {"", "", "", "firebird\\bin\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("FIREBIRD=" + c.firebird + " MUESTRA=" + c.muestra);
    WriteSettings("[APLICACION]\r\nAPLICACION=nxGestion\r\nFIREBIRD=" + c.firebird +
                  "\r\nMUESTRA=" + c.muestra + "\r\n");
    TFInstalacion form(operador_);
    form.SetProgramFolder("D:\\");
    form.FormCreate();
    EXPECT_EQ(form.FIREBIRD, c.expectFirebird);
    EXPECT_EQ(form.FBPATH, c.expectPath);
    EXPECT_EQ(form.CkMuestra.Visible(), c.expectSample);
  }
}

TEST_F(FInstallTest, CreationLeavesTheControlsAsTheOperatorFirstSeesThem) {
  int clickChecks = 0;
  form_.opciones.OnClickCheck = [&] { ++clickChecks; };
  Create();

  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_TRUE(form_.opciones.Checked(1));
  EXPECT_EQ(clickChecks, 0) << "ticks set by the window itself raise no click event";
  EXPECT_EQ(form_.opciones.Items(),
            (std::vector<std::string>{"Base de datos (Servidor)", "Aplicación en puesto de trabajo."}));
  EXPECT_EQ(form_.LPuerto.Text(), "733");
  EXPECT_TRUE(form_.LPuerto.ReadOnly());
  EXPECT_EQ(form_.Host.Text(), "localhost");
  EXPECT_EQ(form_.Path.Text(), "C:\\Archivos de Programa\\Norvexa\\nxGestion");
  EXPECT_EQ(form_.PBar.Max(), 44);
  EXPECT_EQ(form_.PBar.Position(), 0);
  EXPECT_FALSE(form_.PBar.Visible());
  EXPECT_FALSE(form_.Llinea.Visible());
  EXPECT_TRUE(form_.Llinea.ReadOnly());
  EXPECT_TRUE(form_.Botones.Showing());
  EXPECT_TRUE(form_.BComenzar.Showing());
  EXPECT_TRUE(form_.BCancelar.Showing());
  EXPECT_FALSE(form_.BSoporte.Visible());
  EXPECT_FALSE(form_.CSoporte.Visible());
  EXPECT_EQ(form_.CSoporte.Text(), "Técnico 1");
  EXPECT_EQ(form_.CSoporte.ItemIndex(), -1) << "the initial text selects no item";
  EXPECT_EQ(form_.CSoporte.Items().size(), 6u);
  EXPECT_EQ(form_.CSoporte.Items().back(), "");
  EXPECT_TRUE(form_.Escritorio.Checked());
  EXPECT_FALSE(form_.CheckInicio.Checked());
  EXPECT_FALSE(form_.CkMuestra.Checked());
  EXPECT_EQ(form_.Action1.ShortCut, 49228);
  EXPECT_EQ(form_.Ping.ConnectTimeout, 1500);
  EXPECT_EQ(form_.puerto, 0);
  EXPECT_FALSE(form_.SwnxFirebird || form_.SwDbnx || form_.SwServidor);
  EXPECT_EQ(form_.PathActual, "");
}

int AbsoluteRight(const TControl& c) {
  int right = c.Left() + c.Width();
  for (const TControl* p = c.Parent(); p != nullptr; p = p->Parent()) right += p->Left();
  return right;
}

TEST_F(FInstallTest, TheCreatedWidthShowsEveryControlButThePictureHolder) {
  Create();
  EXPECT_EQ(form_.Width(), 605);
  EXPECT_EQ(form_.ClientWidth(), 605 - TFInstalacion::kFrameWidth);
  EXPECT_EQ(form_.ClientHeight(), 392);
  EXPECT_GT(view_.formChanges, 0);
  for (const TControl* c : form_.Controls()) {
    if (c == &form_.Copia) {
      EXPECT_GE(c->Left(), form_.ClientWidth()) << "the picture holder stays out of sight";
      EXPECT_FALSE(c->Visible());
    } else {
      // Hidden ones included: the installation and Ctrl+Alt+L show them later.
      EXPECT_LE(AbsoluteRight(*c), form_.ClientWidth()) << c->Name();
      EXPECT_LE(c->Top() + c->Height(), form_.ClientHeight()) << c->Name();
    }
  }
}

TEST_F(FInstallTest, BadSettingsFilesStillOpenTheWindowWithEmptyOrReadableValues) {
  std::string huge(6u << 20, 'x');
  for (size_t i = 79; i < huge.size(); i += 80) huge[i] = '\n';
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  const std::string utf16le =
      std::string("\xff\xfe", 2) +
      [] {
        std::string out;
        for (char16_t ch : std::u16string(u"[APLICACION]\r\nNOMBRE=Gestión\r\nFIREBIRD=3\r\n")) {
          out += static_cast<char>(ch & 0xFF);
          out += static_cast<char>(ch >> 8);
        }
        return out;
      }();

  struct Case {
    const char* what;
    std::optional<std::string> bytes;  // std::nullopt: a folder stands where the file should be
    std::string nombre, firebird;
  } cases[] = {
      {"empty", std::string(), "", ""},
      {"binary", binary, "", ""},
      {"several MB without the section", huge, "", ""},
      {"several MB, then the section", huge + "\r\n[APLICACION]\r\nNOMBRE=Al final\r\n", "Al final", ""},
      {"UTF-16 with its BOM", utf16le, "Gestión", "3"},
      {"no line ends", std::string("[APLICACION] NOMBRE=x FIREBIRD=3"), "", ""},
      {"a folder of that name", std::nullopt, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (files().DirectoryExists("D:\\nxSetup.ini")) files().RemoveDirectory("D:\\nxSetup.ini");
    if (files().FileExists("D:\\nxSetup.ini")) files().DeleteFile("D:\\nxSetup.ini");
    if (c.bytes)
      WriteSettings(*c.bytes);
    else
      files().CreateDirectories("D:\\nxSetup.ini");
    TFInstalacion form(operador_);
    form.SetProgramFolder("D:\\");
    ASSERT_NO_THROW(form.FormCreate());
    EXPECT_EQ(form.NombreLargo, c.nombre);
    EXPECT_EQ(form.FIREBIRD, c.firebird);
    EXPECT_EQ(form.FBPATH, c.firebird == "3" ? "firebird3\\" : "firebird\\bin\\");
    EXPECT_EQ(form.Titulo.Caption(), "Instalación de " + c.nombre + " Ver. ");
    EXPECT_EQ(form.PBar.Max(), 44) << "creation went to its end";
  }
}

TEST_F(FInstallTest, TheMediumsBannerIsShownWhenSoundOtherwiseTheBuiltInOne) {
  const std::string good = Png(135, 392);
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x40;
  std::string giant = Png(8, 8);
  // IHDR of 100000 x 100000 with its CRC made right: sound on the surface, a memory bomb inside.
  giant.replace(16, 8, std::string("\x00\x01\x86\xa0\x00\x01\x86\xa0", 8));
  {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 12; i < 12 + 17; ++i) {
      c ^= static_cast<unsigned char>(giant[i]);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    c ^= 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) giant[29 + k] = static_cast<char>(c >> (24 - 8 * k));
  }

  struct Case {
    const char* what;
    std::optional<std::string> bytes;  // std::nullopt: no file
    bool shown;
  } cases[] = {
      {"a sound picture", good, true},
      {"a sound picture with bytes after its end", good + "trailer", true},
      {"missing", std::nullopt, false},
      {"empty", std::string(), false},
      {"a text file", std::string("no soy una imagen\r\n"), false},
      {"cut short", good.substr(0, good.size() - 20), false},
      {"one bit flipped", flipped, false},
      {"too large to show", giant, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (files().FileExists("D:\\nxsetup.png")) files().DeleteFile("D:\\nxsetup.png");
    if (c.bytes) files().WriteFile("D:\\NXSETUP.PNG", *c.bytes);
    TFInstalacion form(operador_);
    form.SetProgramFolder("D:\\");
    ASSERT_NO_THROW(form.FormCreate());
    EXPECT_EQ(form.Imagen.Picture(), c.shown ? *c.bytes : BuiltInBanner());
    EXPECT_EQ(form.Copia.Picture(), BuiltInBanner());
  }
}

TEST_F(FInstallTest, TheBuiltInBannerIsASoundPicture) {
  const std::string& banner = BuiltInBanner();
  QImage image;
  ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(banner.data()),
                                 static_cast<int>(banner.size()), "PNG"));
  EXPECT_EQ(image.width(), 135);
  EXPECT_EQ(image.height(), 392);
}

class FInstallLogTest : public FInstallTest {
 protected:
  void SetUp() override {
    FInstallTest::SetUp();
    Create();
    files().CreateDirectories("C:\\Norvexa");
    form_.Path.SetText("C:\\Norvexa\\");
    view_ = RecordingView();
  }
};

TEST_F(FInstallLogTest, TheLineGoesToTheFileTheStatusLineAndTheBar) {
  form_.Log("Ficheros Dll copiados");
  const std::string shown = form_.Llinea.Text();
  ASSERT_GE(shown.size(), std::string(" : Ficheros Dll copiados").size());
  EXPECT_EQ(shown.substr(shown.size() - 24), " : Ficheros Dll copiados");
  EXPECT_EQ(files().ReadFile("C:\\Norvexa\\Install.log"), shown + "\r\n");
  EXPECT_EQ(form_.PBar.Position(), 1);
  EXPECT_EQ(view_.processed, 1) << "the window catches up at every line";
  // The driver decides what shows; the log does not.
  EXPECT_FALSE(form_.Llinea.Visible());
  EXPECT_FALSE(form_.PBar.Visible());
}

TEST_F(FInstallLogTest, TheBarStopsAtItsMaximumWhileLinesGoOn) {
  form_.PBar.SetMax(2);
  for (const char* line : {"uno", "dos", "tres"}) form_.Log(line);
  EXPECT_EQ(form_.PBar.Position(), 2);
  EXPECT_EQ(form_.Llinea.Text().substr(form_.Llinea.Text().size() - 7), " : tres");
  const std::string log = files().ReadFile("C:\\Norvexa\\Install.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_EQ(view_.processed, 3);
}

TEST_F(FInstallLogTest, LinesLoggedBeforeTheBarIsSizedKeepCounting) {
  form_.Log("antes");
  form_.PBar.SetMax(0);  // the driver sizes the bar from 0 upwards
  form_.PBar.SetMax(8);
  EXPECT_EQ(form_.PBar.Position(), 1);
  form_.Log("después");
  EXPECT_EQ(form_.PBar.Position(), 2);
}

TEST_F(FInstallLogTest, AnUnwritableLogRaisesBeforeTheWindowChanges) {
  form_.Log("antes");
  const std::string before = form_.Llinea.Text();
  form_.Path.SetText("C:\\NoExiste\\");
  view_ = RecordingView();
  EXPECT_THROW(form_.Log("después"), EInOutError);
  EXPECT_EQ(form_.Llinea.Text(), before);
  EXPECT_EQ(form_.PBar.Position(), 1);
  EXPECT_EQ(view_.processed, 0);
  EXPECT_EQ(view_.changes, 0);
}

TEST_F(FInstallTest, CancelarClosesTheWindowOnce) {
  Create();
  form_.BCancelar.Click();
  EXPECT_TRUE(form_.Closed());
  EXPECT_EQ(view_.closed, 1);
  form_.BCancelarClick();
  EXPECT_EQ(view_.closed, 1) << "a closed window closes no further";
}

TEST_F(FInstallTest, OperatorTicksRunTheClickHandlerTicksFromCodeDoNot) {
  Create();
  std::vector<bool> seen;
  form_.opciones.OnClickCheck = [&] { seen.push_back(form_.opciones.Checked(0)); };
  form_.opciones.SetChecked(0, false);
  EXPECT_TRUE(seen.empty());
  form_.opciones.ClickCheck(0);
  form_.opciones.ClickCheck(1);
  // The handler sees the item's new state.
  EXPECT_EQ(seen, (std::vector<bool>{true, true}));
  EXPECT_FALSE(form_.opciones.Checked(1));
  EXPECT_THROW(form_.opciones.ClickCheck(2), std::out_of_range);
}

TEST_F(FInstallTest, WithoutAFolderGivenTheProgramsOwnIsUsed) {
  // This test program lies on no drive of the scratch machine.
  try {
    form_.FormCreate();
    FAIL() << "a program outside every drive has no folder on the machine";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorPathNotFound);
  }
}

}  // namespace
}  // namespace nx
