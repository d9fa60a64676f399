// The operator's choices: modules, the installation folder, Ctrl+Alt+L and remote support.

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "app/producto.h"
#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "tests/app/window_fixture.h"

namespace nx::windowtest {
namespace {

class ModulesTest : public WindowTest {
 protected:
  // ProgramFiles as the machine has it unless overridden; restored at the end.
  void SetProgramFiles(const char* value) {
    if (value == nullptr) {
      ::setenv("NXSETUP_ENV_ProgramFiles", "", 1);
    } else {
      ::setenv("NXSETUP_ENV_ProgramFiles", value, 1);
    }
  }
  ~ModulesTest() override { ::unsetenv("NXSETUP_ENV_ProgramFiles"); }
};

const char kReinstall[] = "Servidor de datos ya instalado. \r ¿Desea reinstalar el Servidor de Datos?.";
const char kReinstallCaption[] = "¿Actualizar servidor de base de datos Firebird?.";
const char kErase[] = "Encontrada base de datos Gestion anterior.\r\r ¿ Desea !!!! BORRAR estos datos !!!! ?";

TEST_F(ModulesTest, UntickingTheServerFreesHostAndPortAndKeepsEverything) {
  Create();
  form_.Activate();
  form_.opciones.ClickCheck(0);
  EXPECT_FALSE(form_.opciones.Checked(0));
  EXPECT_TRUE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  EXPECT_FALSE(form_.Host.ReadOnly());
  EXPECT_FALSE(form_.LPuerto.ReadOnly());
  // Ticking it again on a machine where nothing listens on the port chooses the server again,
  // and a typed port gives way to the chosen one.
  form_.LPuerto.SetText("999");
  form_.opciones.ClickCheck(0);
  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_EQ(std::to_string(form_.puerto), form_.LPuerto.Text());
  EXPECT_TRUE(form_.Host.ReadOnly());
  EXPECT_TRUE(form_.LPuerto.ReadOnly());
  EXPECT_TRUE(operador_.interactions().empty());
}

TEST_F(ModulesTest, TheDriveRuleComparesTheDriveAsTyped) {
  struct Case {
    const char* programFiles;  // nullptr: unset
    const char* folder;
    bool message;
    const char* after;
  } cases[] = {
      {"C:\\Program Files", "C:\\Norvexa\\", false, "C:\\Norvexa\\"},
      {"C:\\Program Files", "D:\\Apps\\", true, "C:\\Program Files\\Norvexa\\"},
      {"C:\\Program Files", "c:\\Norvexa\\", true, "C:\\Program Files\\Norvexa\\"},
      {nullptr, "C:\\Norvexa\\", true, "\\Norvexa\\"},
  };
  for (const Case& c : cases) {
    ScriptedOperator operador;
    TFInstalacion form(operador);
    SetProgramFiles(c.programFiles);
    form.SetProgramFolder("D:\\");
    form.FormCreate();
    form.Path.SetText(c.folder);
    form.opciones.ClickCheck(1);  // the workstation item, the server item ticked: the rule applies
    EXPECT_EQ(c.after, form.Path.Text()) << c.folder;
    EXPECT_EQ(c.message ? std::vector<std::string>{"La base de datos solo se puede instalar en el Disco C:"}
                        : std::vector<std::string>{},
              operador.Messages())
        << c.folder;
  }
}

TEST_F(ModulesTest, AListeningServerIsReplacedOnlyOnYes) {
  Listener engine;
  machine_.WriteFile("C:\\Norvexa\\DataBase\\Gestion.FDB", "datos");
  RecordInstallation("C:\\Norvexa\\", std::to_string(engine.port()));
  SetProgramFiles("C:\\Program Files");
  Create();
  form_.Activate();
  ASSERT_TRUE(form_.SwServidor);
  ASSERT_FALSE(form_.opciones.Checked(0));

  // No: the item unticks at once and the title is the installation's.
  operador_.Answers(Answer::kNo);
  form_.opciones.ClickCheck(0);
  EXPECT_FALSE(form_.opciones.Checked(0));
  EXPECT_TRUE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  EXPECT_EQ("Instalación de Norvexa Gestión Ver. 1.2.3", form_.Titulo.Caption());
  ASSERT_EQ(1u, operador_.interactions().size());
  EXPECT_EQ(kReinstall, operador_.interactions()[0].text);
  EXPECT_EQ(kReinstallCaption, operador_.interactions()[0].caption);

  // Yes, and No to erasing the data: the engine is reinstalled, the data kept.
  operador_.Answers(Answer::kYes).Answers(Answer::kNo);
  form_.opciones.ClickCheck(0);
  EXPECT_TRUE(form_.opciones.Checked(0));
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_TRUE(form_.SwDbnx);
  ASSERT_EQ(3u, operador_.interactions().size());
  EXPECT_EQ(kErase, operador_.interactions()[2].text);
  EXPECT_EQ("¿!! BORRAR DATOS ANTERIORES !!?", operador_.interactions()[2].caption);

  // Untick, then tick again with Yes twice: the old data will be overwritten.
  form_.opciones.ClickCheck(0);
  operador_.Answers(Answer::kYes).Answers(Answer::kYes);
  form_.opciones.ClickCheck(0);
  EXPECT_FALSE(form_.SwnxFirebird);
  EXPECT_FALSE(form_.SwDbnx);
  EXPECT_TRUE(form_.opciones.Checked(0));
}

class FolderTest : public ModulesTest {};

TEST_F(FolderTest, TheChosenFolderGetsItsBackslashAndARootGetsTwo) {
  SetProgramFiles("C:\\Program Files");
  Create();
  form_.opciones.ClickCheck(0);  // the server item off: no drive rule
  operador_.Chooses("D:\\Apps").Chooses("C:\\");
  form_.CambiaCarpeta.Click();
  EXPECT_EQ("D:\\Apps\\", form_.Path.Text());
  form_.CambiaCarpeta.Click();
  EXPECT_EQ("C:\\\\", form_.Path.Text());
  ASSERT_EQ(2u, operador_.interactions().size());
  EXPECT_EQ("Carpeta de Instalación", operador_.interactions()[0].caption);
}

TEST_F(FolderTest, CancellingFallsBackAndTheServerItemAppliesTheDriveRule) {
  SetProgramFiles("C:\\Program Files");
  Create();
  form_.Path.SetText("C:\\Elegida\\");
  operador_.CancelsBrowse();
  form_.CambiaCarpeta.Click();
  EXPECT_EQ("C:\\Program Files\\Norvexa\\", form_.Path.Text());

  operador_.Chooses("D:\\Apps");
  form_.CambiaCarpeta.Click();
  EXPECT_EQ("C:\\Program Files\\Norvexa\\", form_.Path.Text());
  EXPECT_EQ(std::vector<std::string>{"La base de datos solo se puede instalar en el Disco C:"}, operador_.Messages());

  // Without ProgramFiles the fallback is "\Norvexa\", and the rule fires on it as well.
  SetProgramFiles(nullptr);
  operador_.CancelsBrowse();
  form_.CambiaCarpeta.Click();
  EXPECT_EQ("\\Norvexa\\", form_.Path.Text());
  EXPECT_EQ(2u, operador_.Messages().size());
}

TEST_F(FolderTest, CtrlAltLRevealsRemoteSupportForGood) {
  Create();
  EXPECT_FALSE(form_.BSoporte.Visible());
  EXPECT_FALSE(form_.CSoporte.Visible());
  EXPECT_EQ(0xC04C, form_.Action1.ShortCut);
  form_.Action1.Execute();
  form_.Action1.Execute();
  EXPECT_TRUE(form_.BSoporte.Visible());
  EXPECT_TRUE(form_.CSoporte.Visible());
}

// The sample medium's remote-support folder: winvnc.exe and the technicians' scripts, each
// script leaving its name in a record when it runs.
class SupportTest : public WindowTest {
 protected:
  void PutTools(bool withTool = true) {
    if (withTool) machine_.WriteFile("D:\\vnc\\winvnc.exe", "herramienta");
    for (const std::string name : {"remoto0.bat ", "remoto2 - XP.bat", "remoto2.bat", "remoto6.bat"}) {
      std::string file = name;
      while (file.back() == ' ') file.pop_back();
      machine_.WriteFile("D:\\vnc\\" + file, "@echo off\r\necho %~nx0>> \"C:\\arrancados.txt\"\r\n");
    }
  }
  // The scripts started so far, waited for a while: nobody waits for them.
  std::string Started(const std::string& expected) {
    for (int i = 0; i < 200; ++i) {
      const std::string now = machine_.Exists("C:\\arrancados.txt") ? machine_.ReadFile("C:\\arrancados.txt") : "";
      if (now == expected) return now;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return machine_.Exists("C:\\arrancados.txt") ? machine_.ReadFile("C:\\arrancados.txt") : "";
  }
  void Click(const char* winver, int item) {
    machine_.machine().SetSetting("winver", winver);
    ScriptedOperator operador;
    TFInstalacion form(operador);
    form.SetProgramFolder("D:\\");
    form.FormCreate();
    form.Activate();
    form.Action1.Execute();
    if (item != -2) form.CSoporte.SetItemIndex(item);
    operador.Answers(Answer::kYes);
    form.BSoporte.Click();
    ASSERT_EQ(1u, operador.interactions().size());
    EXPECT_EQ("Norvexa Soporte Remoto", operador.interactions()[0].caption);
  }
};

TEST_F(SupportTest, TheScriptNameFollowsTheTechnicianAndTheWindowsVersion) {
  PutTools();
  Create();
  Click("5.1", 1);
  EXPECT_EQ("remoto2 - XP.bat\r\n", Started("remoto2 - XP.bat\r\n"));
  Click("6.1", 1);  // "remoto2.bat " names remoto2.bat
  Click("6.1", -2);  // the list only shows its initial text: no item selected
  Click("6.1", 5);   // the empty sixth item
  EXPECT_EQ("remoto2 - XP.bat\r\nremoto2.bat\r\nremoto0.bat\r\nremoto6.bat\r\n",
            Started("remoto2 - XP.bat\r\nremoto2.bat\r\nremoto0.bat\r\nremoto6.bat\r\n"));
}

TEST_F(SupportTest, NoStartsNothingAndWithoutTheToolNothingHappensAtAll) {
  PutTools();
  Create();
  form_.Activate();
  form_.Action1.Execute();
  operador_.Answers(Answer::kNo);
  form_.BSoporte.Click();
  EXPECT_EQ(1u, operador_.interactions().size());

  machine_.platform().files->DeleteFile("D:\\vnc\\winvnc.exe");
  form_.CSoporte.SetItemIndex(2);
  form_.BSoporte.Click();
  EXPECT_EQ(1u, operador_.interactions().size());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(machine_.Exists("C:\\arrancados.txt"));
}

TEST_F(SupportTest, AFailureShowsWhereToFindTheMaker) {
  PutTools();
  Create();
  form_.Action1.Execute();
  // The start fails with an error of the system.
  struct FailingShell final : Shell {
    bool Open(const std::string& file, const std::string&, const std::string&, uint16_t) override {
      throw OsError(kErrorAccessDenied, file);
    }
  } failing;
  ScopedPlatform broken(Platform{.shell = &failing});
  operador_.Answers(Answer::kYes);
  form_.BSoporte.Click();
  ASSERT_EQ(1u, operador_.Messages().size());
  const std::string text = operador_.Messages()[0];
  EXPECT_EQ(0u, text.find("Soporte remoto no disponible.\r\rNecesita estar conectado a internet.\r"));
  EXPECT_NE(std::string::npos, text.find("Mas información en :\r Web: " + std::string(kWebNorvexa) + "\r"));
  EXPECT_NE(std::string::npos, text.find(kEmailSoporte));
  EXPECT_EQ(text.size() - std::string(kTelefonoSoporte).size(), text.rfind(kTelefonoSoporte));
}

}  // namespace
}  // namespace nx::windowtest
