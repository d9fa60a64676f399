// xcopy run the way the installer runs it ("cmd /c xcopy  ..."), on a small tree with hidden and
// system files, subfolders and empty folders.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/platform.h"
#include "tests/tools/tool_run.h"

namespace nx {
namespace {

using test::Launch;
using test::Tree;
using Names = std::set<std::string>;

class XcopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FileSystem& f = files();
    m_.WriteFile("C:\\src\\a.txt", "a");
    m_.WriteFile("C:\\src\\b.dat", "b");
    m_.WriteFile("C:\\src\\c.txt", "c");
    m_.WriteFile("C:\\src\\hid.txt", "h");
    m_.WriteFile("C:\\src\\sys.dll", "s");
    m_.WriteFile("C:\\src\\sub\\s.txt", "s");
    m_.WriteFile("C:\\src\\sub\\deep\\d.txt", "d");
    m_.WriteFile("C:\\src\\onlyhidden\\h.txt", "h");
    m_.WriteFile("C:\\src\\hidfolder\\x.txt", "x");
    f.CreateDirectories("C:\\src\\empty");
    f.SetAttributes("C:\\src\\hid.txt", kAttrHidden);
    f.SetAttributes("C:\\src\\sys.dll", kAttrSystem);
    f.SetAttributes("C:\\src\\onlyhidden\\h.txt", kAttrHidden);
    f.SetAttributes("C:\\src\\hidfolder", kAttrHidden | kAttrDirectory);
  }

  FileSystem& files() { return *CurrentPlatform().files; }

  ScratchMachine m_;
};

struct SwitchCase {
  const char* line;  // after "cmd /c xcopy  "
  Names expected;    // below C:\dst
};

TEST_F(XcopyTest, SwitchesSelectWhatIsCopied) {
  const Names visibleTop = {"a.txt", "b.dat", "c.txt"};
  const Names subtree = {"sub/", "sub/s.txt", "sub/deep/", "sub/deep/d.txt"};
  auto join = [](std::initializer_list<Names> parts) {
    Names all;
    for (const Names& p : parts) all.insert(p.begin(), p.end());
    return all;
  };
  const SwitchCase cases[] = {
      // The installer's flat copy: matching files only, no subfolders, no hidden files.
      {R"("C:\src\*.*" "C:\dst\*.*" /C/Y/I)", visibleTop},
      // Its tree copy: everything, empty and hidden folders included.
      {R"("C:\src" "C:\dst" /S/E/C/I/H/Y)",
       join({visibleTop, subtree,
             {"hid.txt", "sys.dll", "empty/", "onlyhidden/", "onlyhidden/h.txt", "hidfolder/",
              "hidfolder/x.txt"}})},
      {R"("C:\src" "C:\dst" /s/e/c/i/h/y)",
       join({visibleTop, subtree,
             {"hid.txt", "sys.dll", "empty/", "onlyhidden/", "onlyhidden/h.txt", "hidfolder/",
              "hidfolder/x.txt"}})},
      // /S: only folders that receive a file.
      {R"("C:\src" "C:\dst" /S /I /Y)", join({visibleTop, subtree})},
      // /E alone implies /S and adds the folders left empty (one only holds a hidden file).
      {R"("C:\src" "C:\dst" /E /I /Y)", join({visibleTop, subtree, {"empty/", "onlyhidden/"}})},
      // /H brings hidden and system files and hidden folders.
      {R"("C:\src" "C:\dst" /S/H/I/Y)",
       join({visibleTop, subtree,
             {"hid.txt", "sys.dll", "onlyhidden/", "onlyhidden/h.txt", "hidfolder/", "hidfolder/x.txt"}})},
      {R"("C:\src\*.txt" "C:\dst\" /S/Y)", {"a.txt", "c.txt", "sub/", "sub/s.txt", "sub/deep/", "sub/deep/d.txt"}},
      {R"("C:\src\a.txt" "C:\dst\" /C/Y/I)", {"a.txt"}},
      // A wildcard target name renames by the copy rules: the installer's "copia-" copy.
      {R"("C:\src\b.dat" "C:\dst\copia-b.*" /C/Y/I)", {"copia-b.dat"}},
      // Doubled backslashes, as the installer's joined paths have them.
      {R"("C:\\src\\*.*" "C:\\dst\\\*.*" /C/Y/I)", visibleTop},
  };
  for (const SwitchCase& c : cases) {
    test::ToolRun run = Launch(std::string("cmd /c xcopy  ") + c.line);
    EXPECT_EQ(run.exitCode, 0u) << c.line << "\n" << run.output;
    EXPECT_EQ(Tree(m_, "C:\\dst"), c.expected) << c.line;
    std::filesystem::remove_all(m_.HostPath("C:\\dst"));
  }
}

TEST_F(XcopyTest, ReportsCopiedFilesInSpanish) {
  test::ToolRun run = Launch(R"(cmd /c xcopy  "C:\src\*.txt" "C:\dst\" /C/Y/I)");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.output, "C:\\src\\a.txt\r\nC:\\src\\c.txt\r\n2 Archivo(s) copiado(s)\r\n");
}

TEST_F(XcopyTest, AttributesTravelAndReadOnlyNeedsK) {
  files().SetAttributes("C:\\src\\a.txt", kAttrReadOnly);
  ASSERT_EQ(Launch(R"(cmd /c xcopy  "C:\src\*.*" "C:\dst\" /H/Y)").exitCode, 0u);
  EXPECT_EQ(files().GetAttributes("C:\\dst\\hid.txt") & (kAttrHidden | kAttrSystem), kAttrHidden);
  EXPECT_EQ(files().GetAttributes("C:\\dst\\sys.dll") & (kAttrHidden | kAttrSystem), kAttrSystem);
  EXPECT_EQ(files().GetAttributes("C:\\dst\\a.txt") & kAttrReadOnly, 0u);  // xcopy drops it

  ASSERT_EQ(Launch(R"(cmd /c xcopy  "C:\src\a.txt" "C:\dst2\" /K/Y)").exitCode, 0u);
  EXPECT_NE(files().GetAttributes("C:\\dst2\\a.txt") & kAttrReadOnly, 0u);
  // A read-only target is refused without /R and replaced with it.
  m_.WriteFile("C:\\src\\a.txt", "new");
  EXPECT_EQ(Launch(R"(cmd /c xcopy  "C:\src\a.txt" "C:\dst2\" /Y)").exitCode, 4u);
  EXPECT_EQ(m_.ReadFile("C:\\dst2\\a.txt"), "a");
  EXPECT_EQ(Launch(R"(cmd /c xcopy  "C:\src\a.txt" "C:\dst2\" /R/Y)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\dst2\\a.txt"), "new");

  // The tree copy run again over its own result (an update): the hidden copy is refused like a
  // read-only one, the rest is copied again (/C).
  ASSERT_EQ(Launch(R"(cmd /c xcopy  "C:\src" "C:\tree" /S/E/C/I/H/Y)").exitCode, 0u);
  m_.WriteFile("C:\\src\\hid.txt", "h2");
  m_.WriteFile("C:\\src\\b.dat", "b2");
  test::ToolRun again = Launch(R"(cmd /c xcopy  "C:\src" "C:\tree" /S/E/C/I/H/Y)");
  EXPECT_EQ(again.exitCode, 4u);
  EXPECT_NE(again.output.find("C:\\src\\hid.txt: Acceso denegado"), std::string::npos) << again.output;
  EXPECT_EQ(m_.ReadFile("C:\\tree\\b.dat"), "b2");
  EXPECT_EQ(m_.ReadFile("C:\\tree\\hid.txt"), "h");
  EXPECT_EQ(Launch(R"(cmd /c xcopy  "C:\src" "C:\tree" /S/E/C/I/H/R/Y)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\tree\\hid.txt"), "h2");
  EXPECT_NE(files().GetAttributes("C:\\tree\\hid.txt") & kAttrHidden, 0u);
}

TEST_F(XcopyTest, GoesOnAfterAFailingFileOnlyWithC) {
  // b.dat cannot be written: a folder of that name is in the way.
  files().CreateDirectories("C:\\dst\\b.dat");
  test::ToolRun stop = Launch(R"(cmd /c xcopy  "C:\src\*.*" "C:\dst\" /Y)");
  EXPECT_EQ(stop.exitCode, 4u) << stop.output;
  EXPECT_EQ(Tree(m_, "C:\\dst"), (Names{"a.txt", "b.dat/"}));
  EXPECT_NE(stop.output.find("C:\\src\\b.dat"), std::string::npos) << stop.output;

  test::ToolRun go = Launch(R"(cmd /c xcopy  "C:\src\*.*" "C:\dst\" /C/Y)");
  EXPECT_EQ(go.exitCode, 4u) << go.output;  // the failure still shows in the exit code
  EXPECT_EQ(Tree(m_, "C:\\dst"), (Names{"a.txt", "b.dat/", "c.txt"}));
  EXPECT_NE(go.output.find("2 Archivo(s) copiado(s)"), std::string::npos) << go.output;
}

TEST_F(XcopyTest, OverwritesOnlyWithY) {
  m_.WriteFile("C:\\dst\\a.txt", "old");
  // Without /Y the question meets a closed input: the answer is no and the target stays.
  test::ToolRun asked = Launch(R"(cmd /c xcopy  "C:\src\a.txt" "C:\dst\")");
  EXPECT_NE(asked.output.find("¿Sobrescribir C:\\dst\\a.txt (Sí/No/Todos)?"), std::string::npos)
      << asked.output;
  EXPECT_EQ(asked.exitCode, 1u);
  EXPECT_EQ(m_.ReadFile("C:\\dst\\a.txt"), "old");
  EXPECT_EQ(Launch(R"(cmd /c xcopy  "C:\src\a.txt" "C:\dst\" /Y)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\dst\\a.txt"), "a");
}

TEST_F(XcopyTest, ExitCodes) {
  struct Case {
    const char* line;
    uint32_t exitCode;
    const char* message;
  } cases[] = {
      {R"("C:\src\*.txt" "C:\dst\" /C/Y/I)", 0, "2 Archivo(s) copiado(s)"},
      {R"("C:\src\missing.fdb" "C:\dst\" /C/Y/I)", 4, "Archivo no encontrado - missing.fdb"},
      {R"("C:\nofolder\*.*" "C:\dst\" /C/Y/I)", 4, "Archivo no encontrado"},
      {R"("C:\src\empty\*.*" "C:\dst\" /C/Y/I)", 1, "0 Archivo(s) copiado(s)"},
      {R"("C:\src\*.xyz" "C:\dst\" /C/Y/I)", 1, "Archivo no encontrado - *.xyz"},
      {R"("C:\src\*.*" "C:\dst\" /Q/9)", 4, "Modificador no válido - /9"},
      {R"("C:\src\*.*" "C:\dst\" /D)", 4, "/D"},
      {R"("C:\src\*.*" "C:\dst\" "C:\third")", 4, "Número de parámetros no válido"},
      {R"(/Y)", 4, "Número de parámetros no válido"},
      {R"("Q:\src\*.*" "C:\dst\" /Y)", 4, "Unidad especificada no válida"},
      {R"("C:\src" "C:\src\sub\copy" /S/E/I/Y)", 4, "No se puede realizar una copia cíclica"},
      // One file to a name that may be a file or a folder: the question gets no answer.
      {R"("C:\src\a.txt" "C:\dst\new" /Y)", 4, "(F = archivo, D = directorio)?"},
  };
  for (const Case& c : cases) {
    test::ToolRun run = Launch(std::string("cmd /c xcopy  ") + c.line);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.line << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.line << "\n" << run.output;
  }
  EXPECT_FALSE(m_.Exists("C:\\dst\\new"));
  EXPECT_FALSE(m_.Exists("C:\\src\\sub\\copy"));
}

TEST_F(XcopyTest, StarDotStarTargetIsTheFolder) {
  // Unlike Wine's xcopy, a "*.*" target names the folder to copy into, created with /I.
  ASSERT_EQ(Launch(R"(cmd /c xcopy  "C:\src\sub\*.*" "C:\App\old\2026\\App\*.*" /C/Y/I)").exitCode, 0u);
  EXPECT_EQ(Tree(m_, "C:\\App"), (Names{"old/", "old/2026/", "old/2026/App/", "old/2026/App/s.txt"}));
}

}  // namespace
}  // namespace nx
