// nxsetup: the setup program. One window; the message loop runs until it closes.

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/FInstall.h"
#include "app/application.h"
#include "app/qt/finstall_window.h"
#include "app/qt/look.h"
#include "app/qt/qt_operator.h"
#include "platform/error.h"
#include "platform/program.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

int DemoCloseMs() {
#ifdef NX_HOSTED
  const char* ms = std::getenv("NXSETUP_DEMO_CLOSE_MS");
  if (ms != nullptr && *ms != '\0') return std::max(0, std::atoi(ms));
#endif
  return -1;
}

// Shown in a box and written to stderr: the operator may not see the one, a script the other.
void Refuse(const std::string& text) {
  std::fprintf(stderr, "nxsetup: %s\n", text.c_str());
  QMessageBox box(QMessageBox::Critical, nx::kApplicationTitle, Q(nx::ToDisplayLines(text)),
                  QMessageBox::Ok);
  if (DemoCloseMs() >= 0) QTimer::singleShot(DemoCloseMs(), &box, &QMessageBox::accept);
  box.exec();
}

#ifdef NX_HOSTED
// Demonstrations on the hosted machine: NXSETUP_DEMO_CLOSE_MS closes the window after that many
// milliseconds, saving its picture first to NXSETUP_DEMO_SCREENSHOT (a host path) when set.
void ArmDemoClose(nx::FInstallWindow& window, nx::TFInstalacion& form) {
  if (DemoCloseMs() < 0) return;
  const std::string shot = std::getenv("NXSETUP_DEMO_SCREENSHOT") ? std::getenv("NXSETUP_DEMO_SCREENSHOT") : "";
  QTimer::singleShot(DemoCloseMs(), &window, [&window, &form, shot] {
    if (!shot.empty()) {
      if (window.grab().save(Q(shot), "PNG"))
        std::fprintf(stderr, "nxsetup: screenshot %s\n", shot.c_str());
      else
        std::fprintf(stderr, "nxsetup: cannot write the screenshot %s\n", shot.c_str());
    }
    form.Close();
  });
}
#endif

}  // namespace

int main(int, char** argv) {
  // The program reads no arguments, and the toolkit gets none of them either (it would take
  // options such as -style from the command line).
  int toolkitArgc = 1;
  char* toolkitArgv[] = {argv[0], nullptr};
  QApplication app(toolkitArgc, toolkitArgv);
  // The title is the message boxes' caption; given to the toolkit as the display name it would
  // also be appended to the window's caption, which is the display name of what is installed.
  QApplication::setApplicationName("nxSetup");
  nx::ApplyLook(app);

  // Everything the program installs comes from its own folder: it has to be one of the machine's.
  std::string folder;
  try {
    folder = nx::ProgramFolder();
  } catch (const nx::OsError& e) {
    Refuse(std::string("El programa de instalación tiene que ejecutarse desde una unidad de este "
                       "equipo (el medio de instalación).\r\r") + e.what());
    return 2;
  }

  nx::QtOperator operador;
  nx::TFInstalacion form(operador);
  form.SetProgramFolder(folder);
  nx::FInstallWindow window(form);
  operador.SetParent(&window);
  bool closed = false;
  window.OnClosed = [&closed] {
    closed = true;
    QCoreApplication::exit(0);
  };

  try {
    form.FormCreate();
  } catch (const std::exception& e) {
    // As a creation handler's error always was: reported, and the window opens all the same.
    QMessageBox::critical(&window, nx::kApplicationTitle, Q(nx::ToDisplayLines(e.what())));
  }
#ifdef NX_HOSTED
  ArmDemoClose(window, form);
#endif
  window.ShowCentred();
  if (!closed) app.exec();
  form.FormDestroy();
  return 0;
}
