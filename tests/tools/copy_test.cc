// cmd's copy, run as the installer runs it ("cmd /c copy  ...").

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/platform.h"
#include "tests/tools/tool_run.h"

namespace nx {
namespace {

using test::Launch;

class CopyTest : public ::testing::Test {
 protected:
  FileSystem& files() { return *CurrentPlatform().files; }
  ScratchMachine m_;
};

const char kCopied1[] = "        1 archivo(s) copiado(s).\r\n";

TEST_F(CopyTest, OverwritesWithY) {
  m_.WriteFile("C:\\Setup\\UnInstall.exe", "new program");
  m_.WriteFile("C:\\Norvexa\\UnInstall.exe", "old");
  test::ToolRun run = Launch(R"(cmd /c copy  "C:\Setup\UnInstall.exe" "C:\Norvexa\UnInstall.exe" /Y)");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.output, kCopied1);
  EXPECT_EQ(m_.ReadFile("C:\\Norvexa\\UnInstall.exe"), "new program");
}

TEST_F(CopyTest, WithoutYAClosedInputKeepsTheTarget) {
  m_.WriteFile("C:\\a.txt", "new");
  m_.WriteFile("C:\\b.txt", "old");
  test::ToolRun run = Launch(R"(cmd /c copy "C:\a.txt" "C:\b.txt")");
  EXPECT_NE(run.output.find("¿Sobrescribir C:\\b.txt? (Sí/No/Todos):"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("        0 archivo(s) copiado(s)."), std::string::npos) << run.output;
  EXPECT_EQ(m_.ReadFile("C:\\b.txt"), "old");
}

TEST_F(CopyTest, JoinsBinaryDataByteForByte) {
  const std::string first("line one\r\n\x1A\0tail\0", 17);
  const std::string second("\0\x1A\xFF second\r\n", 13);
  m_.WriteFile("C:\\Setup\\system32\\hosts", first);
  m_.WriteFile("C:\\Windows\\System32\\drivers\\etc\\hosts.old", second);
  test::ToolRun run = Launch(
      R"(cmd /c copy  "C:\Setup\\system32\hosts"+"C:\Windows\system32\drivers\etc\hosts.old" "C:\Windows\system32\drivers\etc\hosts" /Y)");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(m_.ReadFile("C:\\Windows\\System32\\drivers\\etc\\hosts"), first + second);
  EXPECT_NE(run.output.find(kCopied1), std::string::npos);

  // /A asks for Windows' text-mode join: each part ends at its Ctrl+Z, one is added at the end.
  ASSERT_EQ(Launch(R"(cmd /c copy /A "C:\Setup\system32\hosts"+"C:\Windows\system32\drivers\etc\hosts.old" "C:\joined.txt" /Y)")
                .exitCode,
            0u);
  EXPECT_EQ(m_.ReadFile("C:\\joined.txt"), std::string("line one\r\n\0\x1A", 12));
}

TEST_F(CopyTest, TheInstallersHostsSequence) {
  // Keep the list, then write it anew as the medium's list followed by the kept one.
  m_.WriteFile("C:\\Setup\\system32\\hosts", "10.0.0.5 servidor\r\n");
  m_.WriteFile("C:\\Windows\\System32\\drivers\\etc\\hosts", "127.0.0.1 localhost\r\n");
  ASSERT_EQ(Launch(R"(cmd /c copy  "C:\Windows\system32\drivers\etc\hosts" "C:\Windows\system32\drivers\etc\hosts.old" /Y)")
                .exitCode,
            0u);
  ASSERT_EQ(Launch(R"(cmd /c copy  "C:\Setup\\system32\hosts"+"C:\Windows\system32\drivers\etc\hosts.old" "C:\Windows\system32\drivers\etc\hosts" /Y)")
                .exitCode,
            0u);
  EXPECT_EQ(m_.ReadFile("C:\\Windows\\System32\\drivers\\etc\\hosts"),
            "10.0.0.5 servidor\r\n127.0.0.1 localhost\r\n");
  EXPECT_EQ(m_.ReadFile("C:\\Windows\\System32\\drivers\\etc\\hosts.old"), "127.0.0.1 localhost\r\n");
}

TEST_F(CopyTest, JoinIntoOneOfItsSources) {
  m_.WriteFile("C:\\a.txt", "A");
  m_.WriteFile("C:\\b.txt", "B");
  // Into the first source: the others are appended to it.
  ASSERT_EQ(Launch(R"(cmd /c copy "C:\a.txt"+"C:\b.txt" "C:\a.txt" /Y)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\a.txt"), "AB");
  // Into a later source: Windows has emptied it before reading it, and says so.
  test::ToolRun run = Launch(R"(cmd /c copy "C:\a.txt"+"C:\b.txt" "C:\b.txt" /Y)");
  EXPECT_NE(run.output.find("El contenido del archivo de destino se perdió antes de la copia."),
            std::string::npos)
      << run.output;
  EXPECT_EQ(m_.ReadFile("C:\\b.txt"), "AB");
}

TEST_F(CopyTest, WildcardsAndFolders) {
  m_.WriteFile("C:\\src\\a.txt", "a");
  m_.WriteFile("C:\\src\\b.txt", "b");
  m_.WriteFile("C:\\src\\h.txt", "h");
  files().SetAttributes("C:\\src\\h.txt", kAttrHidden);
  files().CreateDirectories("C:\\dst");
  test::ToolRun run = Launch(R"(cmd /c copy "C:\src\*.txt" "C:\dst" /Y)");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.output, "C:\\src\\a.txt\r\nC:\\src\\b.txt\r\n        2 archivo(s) copiado(s).\r\n");
  EXPECT_EQ(test::Tree(m_, "C:\\dst"), (std::set<std::string>{"a.txt", "b.txt"}));
  // A wildcard source and a file target: the matches are joined into it.
  ASSERT_EQ(Launch(R"(cmd /c copy "C:\src\*.txt" "C:\all.txt" /Y)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\all.txt"), "ab");
}

TEST_F(CopyTest, Failures) {
  m_.WriteFile("C:\\a.txt", "a");
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {R"(copy  "C:\missing.txt" "C:\b.txt" /Y)", "El sistema no puede encontrar el archivo especificado."},
      {R"(copy  "C:\a.txt"+"C:\missing.txt" "C:\b.txt" /Y)", "El sistema no puede encontrar el archivo especificado."},
      {R"(copy  "C:\a.txt" "C:\nofolder\b.txt" /Y)", "El sistema no puede encontrar la ruta especificada."},
      {R"(copy  "C:\a.txt" "C:\A.TXT" /Y)", "El archivo no se puede copiar sobre sí mismo."},
      {R"(copy /Y)", "La sintaxis del comando no es correcta."},
      {R"(copy "C:\a.txt" "C:\b.txt" "C:\c.txt")", "La sintaxis del comando no es correcta."},
      {R"(copy "C:\a.txt" "C:\b.txt" /Q)", "Modificador no válido - /Q"},
  };
  for (const Case& c : cases) {
    test::ToolRun run = Launch(std::string("cmd /c ") + c.line);
    EXPECT_EQ(run.exitCode, 1u) << c.line;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.line << "\n" << run.output;
  }
  EXPECT_FALSE(m_.Exists("C:\\b.txt"));  // a failed join writes nothing
}

}  // namespace
}  // namespace nx
