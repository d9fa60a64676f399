// A few runs of the built nxdrive: script in, transcript out.

#include <sys/wait.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/app/window_fixture.h"
#include "tests/support/temp_dir.h"

namespace nx::windowtest {
namespace {

struct DriveRun {
  int status = -1;
  std::string out, err;
};

class NxdriveTest : public WindowTest {
 protected:
  NxdriveTest() {
    machine_.WriteFile("D:\\nxSetup.ini",
                       ToSystemCodePage("[APLICACION]\nAPLICACION=Gestion\nNOMBRE=Norvexa Gestión\nVERSION=1.2.3\nFIREBIRD=\n"));
  }
  DriveRun Drive(const std::string& script, const std::string& arguments = "") {
    const std::string file = dir_.Write("script.txt", script);
    const std::string command = "QT_QPA_PLATFORM=offscreen " + std::string(NX_BIN_DIR) + "/nxdrive " + arguments + " '" + file + "' >'" +
                                dir_.path() + "/out' 2>'" + dir_.path() + "/err'";
    const int raw = std::system(command.c_str());
    DriveRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadHostFile(dir_.path() + "/out");
    run.err = ReadHostFile(dir_.path() + "/err");
    return run;
  }
  static bool Has(const DriveRun& run, const std::string& line) {
    return run.out.find(line + "\n") != std::string::npos;
  }
  TempDir dir_;
};

TEST_F(NxdriveTest, AFreshMachineShowsTheNewInstallationState) {
  const DriveRun run = Drive("# one activation\nactivate\n\nshow\n");
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run, "Titulo.Caption = Instalación de Norvexa Gestión Ver. 1.2.3")) << run.out;
  EXPECT_TRUE(Has(run, "puerto = " + std::to_string(FirstFree(733)))) << run.out;
  EXPECT_TRUE(Has(run, "LPuerto.Text = " + std::to_string(FirstFree(733))));
  EXPECT_TRUE(Has(run, "opciones.Checked[0] = true"));
  EXPECT_TRUE(Has(run, "Path.Text = C:\\Norvexa\\"));
  EXPECT_TRUE(Has(run, "Path.ReadOnly = false"));
  EXPECT_TRUE(Has(run, "CambiaCarpeta.Visible = true"));
  EXPECT_TRUE(Has(run, "PathActual = D:\\"));
  EXPECT_TRUE(Has(run, "PBar.Max = 44"));
  EXPECT_TRUE(run.out.ends_with("closed = false\n"));
}

TEST_F(NxdriveTest, AnInstalledServerWithItsDataShowsTheUpdateState) {
  Listener engine;
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()));
  const DriveRun run = Drive("activate\nshow\ntype Path D:\\Otra\\\nclick Cancelar\nclick Cancelar\n", "--program 'D:\\'");
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run, "log:  "));
  EXPECT_TRUE(Has(run, "log:   ----- Nueva instalación ----- Gestion"));
  EXPECT_TRUE(Has(run, "Titulo.Caption = Actualización de Norvexa Gestión Ver. 1.2.3")) << run.out;
  EXPECT_TRUE(Has(run, "opciones.Checked[0] = false"));
  EXPECT_TRUE(Has(run, "Path.ReadOnly = true"));
  EXPECT_TRUE(Has(run, "CambiaCarpeta.Visible = false"));
  EXPECT_TRUE(Has(run, "SwServidor = true"));
  EXPECT_TRUE(Has(run, "refused: type Path D:\\Otra\\ (Path is read-only)"));
  EXPECT_TRUE(Has(run, "refused: click Cancelar (the window is closed)"));
  EXPECT_TRUE(run.out.ends_with("closed = true\n"));
}

TEST_F(NxdriveTest, QuestionsTakeTheQueuedAnswersAndAMissingOneEndsTheRun) {
  Listener engine;
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()));
  ::setenv("NXSETUP_ENV_ProgramFiles", "C:\\Program Files", 1);
  const DriveRun answered = Drive("activate\nanswer No\ntick server on\nshow\n");
  EXPECT_EQ(0, answered.status) << answered.err;
  EXPECT_NE(std::string::npos,
            answered.out.find("question: [¿Actualizar servidor de base de datos Firebird?.] Servidor de datos ya "
                              "instalado. \\r ¿Desea reinstalar el Servidor de Datos?.\nanswer: No\n"))
      << answered.out;
  EXPECT_TRUE(Has(answered, "opciones.Checked[0] = false"));

  const DriveRun unanswered = Drive("activate\nanswer Sí\ntick server on\nshow\n");
  ::unsetenv("NXSETUP_ENV_ProgramFiles");
  EXPECT_EQ(3, unanswered.status);
  EXPECT_NE(std::string::npos, unanswered.err.find("line 3 (tick server on): no answer queued for the question "
                                                   "[¿!! BORRAR DATOS ANTERIORES !!?]"))
      << unanswered.err;
  EXPECT_EQ(std::string::npos, unanswered.out.find("closed ="));
}

TEST_F(NxdriveTest, RemoteSupportAndTheFolderDialogFromAScript) {
  machine_.WriteFile("D:\\vnc\\winvnc.exe", "herramienta");
  const DriveRun run = Drive(
      "activate\nkeys Ctrl+L\nshow\nkeys ctrl+alt+l\nselect CSoporte 4\nanswer No\nclick BSoporte\n"
      "tick server off\nfolder D:\\Apps\nclick CambiaCarpeta\nfolder cancel\nclick CambiaCarpeta\nshow\n");
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_TRUE(Has(run, "BSoporte.Visible = false"));
  EXPECT_TRUE(Has(run, "BSoporte.Visible = true"));
  EXPECT_TRUE(Has(run, "question: [Norvexa Soporte Remoto] Si continua se abrira su pantalla en remoto sobre un "
                       "terminal de un técnico de Norvexa.\\rLa finalidad es ayudarle en sus dudas de instalación "
                       "de software Norvexa.\\r\\r¿Desea continuar con la conexión de soporte remoto?"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("folder: D:\\Apps\n"));
  EXPECT_NE(std::string::npos, run.out.find("folder: cancel\n"));
  EXPECT_TRUE(Has(run, "Path.Text = C:\\Program Files\\Norvexa\\")) << run.out;
  EXPECT_TRUE(Has(run, "CSoporte.Text = Técnico 5"));
}

// The real window, offscreen, driven through its widgets: the same run as on the model alone.
TEST_F(NxdriveTest, TheRealWindowRunsAScriptAsTheModelDoes) {
  machine_.WriteFile("D:\\vnc\\winvnc.exe", "herramienta");
  const std::string script =
      "activate\ntick server off\ntype Host servidor2\ntype LPuerto 3055\ncheck CheckInicio on\n"
      "keys Ctrl+L\nkeys Alt+L\nshow\nkeys Ctrl+Alt+L\nselect CSoporte 2\nanswer No\nclick BSoporte\n"
      "folder D:\\Apps\ntick workstation off\nclick CambiaCarpeta\nshow\nclick Cancelar\n";
  const DriveRun model = Drive(script);
  const DriveRun window = Drive(script, "--window");
  ASSERT_EQ(0, model.status) << model.err;
  ASSERT_EQ(0, window.status) << window.err;
  EXPECT_EQ(model.out, window.out);
  EXPECT_TRUE(Has(window, "BSoporte.Visible = false"));
  EXPECT_TRUE(Has(window, "BSoporte.Visible = true"));
  EXPECT_TRUE(Has(window, "Host.Text = servidor2"));
  EXPECT_TRUE(Has(window, "LPuerto.Text = 3055"));
  EXPECT_TRUE(Has(window, "CheckInicio.Checked = true"));
  EXPECT_TRUE(Has(window, "CSoporte.ItemIndex = 2"));
  EXPECT_TRUE(Has(window, "Path.Text = D:\\Apps\\"));
  EXPECT_TRUE(Has(window, "opciones.Checked[1] = false"));
  EXPECT_TRUE(window.out.ends_with("closed = true\n"));
}

TEST_F(NxdriveTest, ALineThatIsNoActionIsNamedAndNothingRuns) {
  const DriveRun run = Drive("activate\n\nclick Aceptar\n");
  EXPECT_EQ(2, run.status);
  EXPECT_NE(std::string::npos, run.err.find("line 3")) << run.err;
  EXPECT_NE(std::string::npos, run.err.find("click Aceptar")) << run.err;
  EXPECT_EQ("", run.out);
  EXPECT_FALSE(machine_.Exists("D:\\xcopy.exe"));
}

}  // namespace
}  // namespace nx::windowtest
