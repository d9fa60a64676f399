// The real window on the offscreen platform: built from a settings file, shown, looked at,
// clicked and closed.

#include "app/qt/finstall_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/banner.h"
#include "app/qt/look.h"
#include "platform/files.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* a = new QApplication(argc, argv);
    ApplyLook(*a);
    return a;
  }();
  return *app;
}

template <typename W>
W* As(QWidget* w) {
  auto* typed = qobject_cast<W*>(w);
  EXPECT_NE(typed, nullptr);
  return typed;
}

class FInstallWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    const std::string medium = CurrentHostedMachine().root() + "/medio";
    std::filesystem::create_directories(medium);
    CurrentHostedMachine().MapDrive('D', medium);
    CurrentPlatform().files->WriteFile(
        "D:\\nxSetup.ini",
        "[APLICACION]\r\nAPLICACION=nxGestion\r\nEJECUTABLE=nxGestion.exe\r\n"
        "NOMBRE=Gesti\xf3n Comercial\r\nVERSION=4.2\r\nFIREBIRD=3\r\nMUESTRA=S\r\n");
  }

  void Open() {
    form_.SetProgramFolder("D:\\");
    window_ = std::make_unique<FInstallWindow>(form_);
    window_->OnClosed = [this] { ++closed_; };
    form_.FormCreate();
    window_->ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  QWidget* W(const TControl& c) { return window_->WidgetOf(c); }

  ScratchMachine machine_;
  ScriptedOperator operador_;
  TFInstalacion form_{operador_};
  std::unique_ptr<FInstallWindow> window_;
  int closed_ = 0;
};

TEST_F(FInstallWindowTest, ShowsTheWindowAsTheModelHasIt) {
  Open();
  QWidget& w = *window_;
  EXPECT_EQ(w.windowTitle(), QString("Gestión Comercial"));
  EXPECT_EQ(w.size(), QSize(form_.ClientWidth(), 392));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizable";
  EXPECT_TRUE(w.windowFlags() & Qt::Tool);
  EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  EXPECT_EQ(As<QLabel>(W(form_.Titulo))->text(), QString("Instalación de Gestión Comercial Ver. 4.2"));
  for (const TControl* c : form_.Controls()) {
    QWidget* widget = W(*c);
    ASSERT_NE(widget, nullptr) << c->Name();
    EXPECT_EQ(widget->isVisible(), c->Showing()) << c->Name();
    if (c != &form_.Label2) {
      EXPECT_EQ(widget->geometry(), QRect(c->Left(), c->Top(), c->Width(), c->Height())) << c->Name();
    }
  }
  EXPECT_EQ(W(form_.Path)->parentWidget(), W(form_.Panel1));
  EXPECT_EQ(W(form_.BCancelar)->parentWidget(), W(form_.Botones));
  EXPECT_FALSE(W(form_.PBar)->isVisible());
  EXPECT_FALSE(W(form_.Llinea)->isVisible());
  EXPECT_TRUE(W(form_.Botones)->isVisible());
  EXPECT_TRUE(W(form_.CkMuestra)->isVisible());
  EXPECT_EQ(As<QProgressBar>(W(form_.PBar))->maximum(), 44);

  // Labels sit above their edit boxes, with the accented captions.
  QLabel* label = window_->LabelOf(form_.Path);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), QString("Carpeta de Instalación"));
  EXPECT_EQ(label->geometry().bottom() + 1 + TLabeledEdit::LabelSpacing, form_.Path.Top());
  EXPECT_EQ(label->x(), form_.Path.Left());
  // Shown, the window was activated: the start-up checks put the first free port there.
  EXPECT_EQ(As<QLineEdit>(W(form_.LPuerto))->text(), QString::fromStdString(std::to_string(form_.puerto)));
  EXPECT_LE(737, form_.puerto);
  EXPECT_TRUE(As<QLineEdit>(W(form_.LPuerto))->isReadOnly());

  auto* list = As<QListWidget>(W(form_.opciones));
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(1)->text(), QString("Aplicación en puesto de trabajo."));
  EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(list->font().pixelSize(), 16);
  EXPECT_EQ(As<QComboBox>(W(form_.CSoporte))->currentText(), QString("Técnico 1"));
  EXPECT_EQ(W(form_.BComenzar)->cursor().shape(), Qt::PointingHandCursor);

  EXPECT_EQ(QFontInfo(W(form_.Path)->font()).pixelSize(), 11);
  if (std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf")) {
    EXPECT_EQ(QFontInfo(W(form_.Path)->font()).family(), QString("Tahoma"));
  }
  EXPECT_TRUE(QFontInfo(W(form_.Label2)->font()).bold());
  EXPECT_EQ(QFontInfo(W(form_.Titulo)->font()).pixelSize(), 16);

  // The window follows its model.
  form_.PBar.SetVisible(true);
  form_.Llinea.SetVisible(true);
  form_.Botones.SetVisible(false);
  form_.Llinea.SetText("10/12/2026 9:05:03 : Instalación terminada.");
  EXPECT_TRUE(W(form_.PBar)->isVisible());
  EXPECT_FALSE(W(form_.BCancelar)->isVisible());
  EXPECT_EQ(As<QLineEdit>(W(form_.Llinea))->text(),
            QString("10/12/2026 9:05:03 : Instalación terminada."));
  form_.BSoporte.SetVisible(true);
  form_.CSoporte.SetVisible(true);
  form_.PBar.SetPosition(30);
  EXPECT_TRUE(W(form_.CSoporte)->isVisible());
  EXPECT_EQ(As<QProgressBar>(W(form_.PBar))->value(), 30);
  // How the window looks while it installs, with the remote-support controls revealed.
  const std::string folder = std::string(NX_BIN_DIR) + "/../screenshots";
  std::filesystem::create_directories(folder);
  window_->grab().save(QString::fromStdString(folder + "/window-installing.png"), "PNG");
}

TEST_F(FInstallWindowTest, TheOperatorsClicksAndTypingReachTheModel) {
  Open();
  int clickChecks = 0;
  form_.opciones.OnClickCheck = [&] { ++clickChecks; };
  auto* list = As<QListWidget>(W(form_.opciones));

  // A click on the first item's tick box.
  const QRect item = list->visualItemRect(list->item(0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(item.left() + 9, item.center().y()));
  EXPECT_FALSE(form_.opciones.Checked(0));
  EXPECT_EQ(clickChecks, 1);
  // A tick set by the window reaches the screen and raises nothing.
  form_.opciones.SetChecked(0, true);
  EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(clickChecks, 1);

  auto* host = As<QLineEdit>(W(form_.Host));
  host->selectAll();
  QTest::keyClicks(host, "servidor-");
  QTest::sendKeyEvent(QTest::Click, host, Qt::Key_Ntilde, QString("ñ"), Qt::NoModifier);
  EXPECT_EQ(form_.Host.Text(), "servidor-ñ");

  QTest::mouseClick(W(form_.CheckInicio), Qt::LeftButton);
  EXPECT_TRUE(form_.CheckInicio.Checked());

  int executed = 0;
  form_.Action1.OnExecute = [&] { ++executed; };
  window_->activateWindow();
  QTest::keyClick(window_.get(), Qt::Key_L, Qt::ControlModifier);
  QTest::keyClick(window_.get(), Qt::Key_L, Qt::AltModifier);
  EXPECT_EQ(executed, 0);
  QTest::keyClick(window_.get(), Qt::Key_L, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(executed, 1);
}

TEST_F(FInstallWindowTest, CancelarClosesTheWindowAndAScreenshotIsKept) {
  Open();
  const std::string folder = std::string(NX_BIN_DIR) + "/../screenshots";
  std::filesystem::create_directories(folder);
  const std::string shot = std::filesystem::weakly_canonical(folder + "/window.png").string();
  ASSERT_TRUE(window_->grab().save(QString::fromStdString(shot), "PNG"));
  std::printf("screenshot: %s\n", shot.c_str());

  QTest::mouseClick(W(form_.BCancelar), Qt::LeftButton);
  EXPECT_TRUE(form_.Closed());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(closed_, 1);
}

TEST_F(FInstallWindowTest, EveryLogLineReachesTheScreenWithinTheCall) {
  Open();
  CurrentPlatform().files->CreateDirectories("C:\\Norvexa");
  form_.Path.SetText("C:\\Norvexa\\");
  form_.PBar.SetVisible(true);
  form_.Llinea.SetVisible(true);
  bool loopRan = false;
  QTimer::singleShot(0, [&] { loopRan = true; });
  form_.Log("Microsoft Runtime C++ instalando");
  EXPECT_TRUE(loopRan) << "the window processed its pending messages";
  EXPECT_TRUE(As<QLineEdit>(W(form_.Llinea))->text().endsWith(" : Microsoft Runtime C++ instalando"));
  EXPECT_EQ(As<QProgressBar>(W(form_.PBar))->value(), 1);
}

TEST_F(FInstallWindowTest, TheCloseBoxClosesAsCancelarDoes) {
  Open();
  window_->close();
  EXPECT_TRUE(form_.Closed());
  EXPECT_EQ(closed_, 1);
}

TEST_F(FInstallWindowTest, APictureTheDecoderRefusesGivesWayToTheBuiltInOne) {
  // Chunks whose CRCs are right around a compressed stream that is not one.
  auto chunk = [](const std::string& type, const std::string& data) {
    std::string out;
    for (int k = 0; k < 4; ++k) out += static_cast<char>(data.size() >> (24 - 8 * k));
    const std::string body = type + data;
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char ch : body) {
      c ^= ch;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    c ^= 0xFFFFFFFFu;
    out += body;
    for (int k = 0; k < 4; ++k) out += static_cast<char>(c >> (24 - 8 * k));
    return out;
  };
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) +
                          chunk("IHDR", std::string("\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 13)) +
                          chunk("IDAT", "esto no es deflate") + chunk("IEND", "");
  CurrentPlatform().files->WriteFile("D:\\nxsetup.png", png);
  Open();
  EXPECT_EQ(form_.Imagen.Picture(), BuiltInBanner());
  EXPECT_FALSE(As<QLabel>(W(form_.Imagen))->pixmap().isNull());
}

}  // namespace
}  // namespace nx
