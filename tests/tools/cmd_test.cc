// cmd: programs, batch files, quotes, operators and redirections, run as real processes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/tools/tool_run.h"

namespace nx {
namespace {

using test::Launch;

class CmdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::InstallProbe(m_, "C:\\bin\\probe.exe");
    test::InstallProbe(m_, "C:\\Program Files\\Tool Dir\\probe.exe");
  }
  ScratchMachine m_;
};

TEST_F(CmdTest, RunsAProgramWithItsArgumentsAndExitCode) {
  test::ToolRun run = Launch(R"(cmd /c C:\bin\probe.exe one  "two three" exit=3)");
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_NE(run.output.find(R"(probe.exe" one  "two three" exit=3)"), std::string::npos) << run.output;
  // Codes beyond 8 bits come through whole.
  EXPECT_EQ(Launch(R"(cmd /c C:\bin\probe.exe exit=1619)").exitCode, 1619u);
}

TEST_F(CmdTest, FindsProgramsAlongPath) {
  ::setenv("NXSETUP_ENV_PATH", "C:\\Windows\\system32;C:\\bin", 1);
  test::ToolRun run = Launch("cmd /c probe exit=5");
  ::unsetenv("NXSETUP_ENV_PATH");
  EXPECT_EQ(run.exitCode, 5u) << run.output;
}

TEST_F(CmdTest, UnknownProgramGives9009) {
  test::ToolRun run = Launch("cmd /c nothere.exe /x");
  EXPECT_EQ(run.exitCode, 9009u);
  EXPECT_NE(run.output.find("'nothere.exe' no se reconoce como un comando interno o externo,\r\n"
                            "programa o archivo por lotes ejecutable."),
            std::string::npos)
      << run.output;
}

TEST_F(CmdTest, QuoteRuleOfSlashC) {
  // Two quotes around an existing program whose name has a blank: kept.
  EXPECT_EQ(Launch(R"(cmd /c "C:\Program Files\Tool Dir\probe.exe")").exitCode, 0u);
  // Otherwise the first and the last quote of the line go.
  test::ToolRun run = Launch(R"(cmd /c ""C:\Program Files\Tool Dir\probe.exe" "an arg" exit=4")");
  EXPECT_EQ(run.exitCode, 4u) << run.output;
  EXPECT_NE(run.output.find(R"(probe.exe" "an arg" exit=4)"), std::string::npos) << run.output;
}

TEST_F(CmdTest, RunsBatchFilesLineByLine) {
  m_.WriteFile("C:\\job\\run.bat",
               "@echo off\r\n"
               "rem nothing to see\r\n"
               "\r\n"
               ":: nor here\r\n"
               "echo first=%1 second=%~2 all=%*\r\n"
               "missing.exe\r\n"
               "C:\\bin\\probe.exe %1 exit=%3\r\n");
  test::ToolRun run = Launch(R"(cmd /c C:\job\run.bat alpha "beta gamma" 7)");
  EXPECT_EQ(run.exitCode, 7u) << run.output;  // the errorlevel of the last command
  EXPECT_NE(run.output.find("first=alpha second=beta gamma all=alpha \"beta gamma\" 7\r\n"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("'missing.exe' no se reconoce"), std::string::npos);
  EXPECT_NE(run.output.find("probe.exe\" alpha exit=7"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("nothing to see"), std::string::npos);

  // Started directly, a batch file runs in cmd all the same.
  EXPECT_EQ(Launch(R"(C:\job\run.bat a b 8)").exitCode, 8u);
}

TEST_F(CmdTest, BatchExitGotoAndEcho) {
  m_.WriteFile("C:\\job\\flow.bat",
               "echo shown\r\n"
               "@goto skip\r\n"
               "echo never\r\n"
               ":skip\r\n"
               "@exit /b 6\r\n"
               "echo never either\r\n");
  test::ToolRun run = Launch(R"(cmd /c C:\job\flow.bat)");
  EXPECT_EQ(run.exitCode, 6u);
  EXPECT_EQ(run.output.find("never"), std::string::npos) << run.output;
  // Echo is on: the command is shown after the prompt before it runs.
  EXPECT_NE(run.output.find(">echo shown\r\nshown\r\n"), std::string::npos) << run.output;
}

TEST_F(CmdTest, OperatorsRedirectionsAndVariables) {
  ASSERT_EQ(Launch(R"(cmd /c echo uno> C:\out.txt & echo dos>>C:\out.txt)").exitCode, 0u);
  EXPECT_EQ(m_.ReadFile("C:\\out.txt"), "uno \r\ndos\r\n");  // the blank before & is echoed, as on Windows

  test::ToolRun run = Launch(R"(cmd /c copy C:\missing.txt C:\x.txt 2> C:\err.txt || echo fallo)");
  EXPECT_NE(run.output.find("fallo"), std::string::npos) << run.output;
  EXPECT_NE(m_.ReadFile("C:\\err.txt").find("El sistema no puede encontrar el archivo especificado."),
            std::string::npos);
  EXPECT_EQ(Launch(R"(cmd /c C:\bin\probe.exe exit=2 && echo no)").output.find("\r\nno"), std::string::npos);

  // A program's output follows the redirection too; 2>&1 joins the error stream.
  ASSERT_EQ(Launch(R"(cmd /c C:\bin\probe.exe hello > C:\probe.txt 2>&1)").exitCode, 0u);
  EXPECT_NE(m_.ReadFile("C:\\probe.txt").find("hello"), std::string::npos);

  EXPECT_EQ(Launch("cmd /c echo %SystemRoot%|x").exitCode, 1u);  // pipes are refused
  EXPECT_NE(Launch("cmd /c echo %SystemRoot% %NoSuchVariable%").output.find("C:\\Windows %NoSuchVariable%"),
            std::string::npos);
}

TEST_F(CmdTest, RefusesWhatItDoesNotDo) {
  test::ToolRun dir = Launch(R"(cmd /c dir C:\)");
  EXPECT_EQ(dir.exitCode, 1u);
  EXPECT_NE(dir.output.find("no está disponible"), std::string::npos) << dir.output;
  test::ToolRun bare = Launch("cmd");
  EXPECT_EQ(bare.exitCode, 1u);
  EXPECT_NE(bare.output.find("/C"), std::string::npos) << bare.output;
}

}  // namespace
}  // namespace nx
