#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

const std::string kProbe = std::string(NX_BIN_DIR) + "/platform-probe";
// Where the probe reports when its arguments ask for nothing it knows.
const char* kUnknownReport = "C:\\probe-unknown.txt";

// Runs with the working folder inside the machine for the life of the object.
class InFolder {
 public:
  explicit InFolder(const std::string& host) {
    char buffer[4096];
    saved_ = ::getcwd(buffer, sizeof buffer) ? buffer : "/";
    EXPECT_EQ(::chdir(host.c_str()), 0) << host;
  }
  ~InFolder() { EXPECT_EQ(::chdir(saved_.c_str()), 0); }

 private:
  std::string saved_;
};

// key=value lines of a probe report; repeated keys (argv) joined with '|'.
std::map<std::string, std::string> Report(const ScratchMachine& m, const std::string& file) {
  std::map<std::string, std::string> values;
  const std::string text = m.ReadFile(file);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    std::string& slot = values[line.substr(0, eq)];
    slot += (slot.empty() ? "" : "|") + line.substr(eq + 1);
  }
  return values;
}

class ProcessTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::string& line, uint16_t show = kSwHide) {
    return CurrentPlatform().processes->RunAndWait(line, show);
  }
  ScratchMachine m;
};

TEST_F(ProcessTest, ExitCodesAndCrashesComeBackAsWindowsReportsThem) {
  m.InstallProgram(kProbe, "C:\\Tools\\probe.exe");
  struct Case {
    const char* args;
    uint32_t code;
  } cases[] = {
      {"exit 0", 0},          {"exit 3", 3},         {"exit 255", 255},   {"exit 9009", 9009 & 0xFF},
      {"exitfull 9009", 9009}, {"exitfull 1619", 1619}, {"exitfull 3", 3},     {"exitfull 4294967295", 4294967295u},
      {"crash", 0xC0000005},  {"abort", 0xC0000409}, {"term", 1},
      // A whole code passes through a program that passes it on.
      {"run \"C:\\Tools\\probe.exe exitfull 1603\"", 1603},
  };
  for (const Case& c : cases) {
    const ProcessResult r = Run(std::string("C:\\Tools\\probe.exe ") + c.args);
    EXPECT_TRUE(r.started) << c.args;
    EXPECT_EQ(r.exitCode, c.code) << c.args;
  }
}

TEST_F(ProcessTest, ProgramsThatCannotStartAreReportedNotStarted) {
  m.WriteFile("C:\\Tools\\text.exe", "no program here\n");
  struct Case {
    const char* line;
    uint32_t error;
  } cases[] = {
      {"C:\\Tools\\missing.exe 1 2", kErrorFileNotFound},
      {"missing", kErrorFileNotFound},
      {"\"C:\\No Such\\x.exe\"", kErrorPathNotFound},
      {"Q:\\x.exe", kErrorPathNotFound},
      {"\\\\server\\share\\x.exe", kErrorPathNotFound},
      {"", kErrorFileNotFound},
      {"C:\\Tools\\text.exe", kErrorAccessDenied},  // not executable on the host
  };
  for (const Case& c : cases) {
    const ProcessResult r = Run(c.line);
    EXPECT_FALSE(r.started) << c.line;
    EXPECT_EQ(r.error, c.error) << c.line;
  }
  ::chmod(m.HostPath("C:\\Tools\\text.exe").c_str(), 0755);
  EXPECT_EQ(Run("C:\\Tools\\text.exe").error, kErrorBadExeFormat);
  EXPECT_EQ(Run(std::string(kMaxCommandLine + 1, 'x')).error, kErrorFilenameExcedRange);
  // The limit is in UTF-16 units: 20,000 "ñ" are 40,000 bytes but within it.
  std::string accented = "missing.exe ";
  for (int i = 0; i < 20000; ++i) accented += "ñ";
  EXPECT_EQ(Run(accented).error, kErrorFileNotFound);
}

TEST_F(ProcessTest, TheChildGetsTheWholeLineItsArgumentsAndTheShowMode) {
  m.InstallProgram(kProbe, "C:\\Program Files\\Probe\\probe.exe");
  const std::string line =
      "\"C:\\Program Files\\Probe\\PROBE.EXE\" record C:\\out.txt \"two words\" a\\\\\\\"b \"\" tail\\";
  const ProcessResult r = Run(line, kSwShowNormal);
  ASSERT_TRUE(r.started);
  ASSERT_EQ(r.exitCode, 0u);
  auto report = Report(m, "C:\\out.txt");
  EXPECT_EQ(report["cmdline"], line);
  EXPECT_EQ(report["show"], "1");
  // The variable is the child's alone: it took it and removed it from its environment.
  EXPECT_EQ(report["env-cmdline"], "(unset)");
  EXPECT_EQ(report["folder"], "C:\\Program Files\\Probe\\");
  std::string expected;
  for (const std::string& a : SplitCommandLine(line)) expected += (expected.empty() ? "" : "|") + a;
  EXPECT_EQ(report["argv"], expected);
  EXPECT_EQ(report["argv"],
            "C:\\Program Files\\Probe\\PROBE.EXE|record|C:\\out.txt|two words|a\\\"b||tail\\");
}

TEST_F(ProcessTest, UnquotedNamesWithBlanksAreTriedAtEachBlank) {
  m.InstallProgram(kProbe, "C:\\Program Files\\Probe\\probe.exe");
  const ProcessResult r = Run("C:\\Program Files\\Probe\\probe record");
  ASSERT_TRUE(r.started);
  // The child splits the line itself, as a Windows program would: the blank still separates.
  auto report = Report(m, kUnknownReport);
  EXPECT_EQ(report["folder"], "C:\\Program Files\\Probe\\");
  EXPECT_EQ(report["argv"], "C:\\Program|Files\\Probe\\probe|record");
}

TEST_F(ProcessTest, SearchOrderIsOwnFolderCurrentFolderSystemWindowsThenPath) {
  // The caller is a probe in C:\Caller; "prog" exists in every place of the search.
  m.InstallProgram(kProbe, "C:\\Caller\\caller.exe");
  const char* places[] = {"C:\\Caller", "C:\\Work", "C:\\Windows\\System32", "C:\\Windows", "C:\\Bin"};
  for (const char* place : places) m.InstallProgram(kProbe, std::string(place) + "\\PROG.exe");
  ::setenv("NXSETUP_ENV_PATH", "C:\\Windows\\system32;C:\\Windows;C:\\Bin", 1);
  m.WriteFile("C:\\Work\\keep", "");
  InFolder cwd(m.HostPath("C:\\Work"));
  for (const char* place : places) {
    const ProcessResult r = Run("C:\\Caller\\caller.exe run \"prog record C:\\where.txt\"");
    ASSERT_TRUE(r.started);
    ASSERT_EQ(r.exitCode, 0u) << place;
    EXPECT_EQ(Report(m, "C:\\where.txt")["folder"], std::string(place) + "\\");
    if (std::string(place) == "C:\\Caller") {
      std::rename(m.HostPath("C:\\Caller\\PROG.exe").c_str(), m.HostPath("C:\\Caller\\other.bin").c_str());
    } else {
      std::remove(m.HostPath(std::string(place) + "\\PROG.exe").c_str());
    }
  }
  EXPECT_EQ(Run("C:\\Caller\\caller.exe run \"prog exit 0\"").exitCode, 200u + kErrorFileNotFound);
  ::unsetenv("NXSETUP_ENV_PATH");
}

TEST_F(ProcessTest, ExeIsAddedOnlyWhenTheNameHasNoExtension) {
  m.InstallProgram(kProbe, "C:\\Tools\\tool.exe");
  m.InstallProgram(kProbe, "C:\\Tools\\tool.com");
  EXPECT_EQ(Run("C:\\Tools\\tool exit 4").exitCode, 4u);
  EXPECT_EQ(Run("C:\\Tools\\TOOL.COM exit 5").exitCode, 5u);
  EXPECT_FALSE(Run("C:\\Tools\\tool.bin exit 5").started);
}

TEST_F(ProcessTest, BatchFilesRunThroughTheCommandInterpreter) {
  // A probe stands in for cmd.exe: what it is given shows how the batch file was started.
  m.InstallProgram(kProbe, "C:\\Windows\\System32\\cmd.exe");
  m.WriteFile("C:\\Tools\\go.bat", "@echo off\r\n");
  const ProcessResult r = Run("C:\\Tools\\go.bat record C:\\bat.txt");
  ASSERT_TRUE(r.started);
  auto report = Report(m, kUnknownReport);
  EXPECT_EQ(report["cmdline"], "C:\\Windows\\System32\\cmd.exe /c C:\\Tools\\go.bat record C:\\bat.txt");
}

TEST_F(ProcessTest, StartReturnsAtOnceAndLeavesNoZombie) {
  m.InstallProgram(kProbe, "C:\\Tools\\probe.exe");
  m.WriteFile("C:\\Work\\keep", "");
  ASSERT_TRUE(CurrentPlatform().processes->Start("C:\\Tools\\probe.exe sleepwrite 300 done.txt", kSwShowNormal,
                                                 "C:\\Work"));
  // Started in the folder given: the relative name lands there.
  EXPECT_FALSE(m.Exists("C:\\Work\\done.txt"));
  for (int k = 0; k < 100 && !m.Exists("C:\\Work\\done.txt"); ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(m.ReadFile("C:\\Work\\done.txt"), "done");
  int status;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);  // no child of ours is left to reap
  EXPECT_FALSE(CurrentPlatform().processes->Start("C:\\Tools\\none.exe", kSwShowNormal, ""));
  EXPECT_FALSE(CurrentPlatform().processes->Start("C:\\Tools\\probe.exe exit 0", kSwShowNormal, "C:\\NoFolder"));
}

TEST_F(ProcessTest, ConcurrentRegistryWritersLoseNothing) {
  m.InstallProgram(kProbe, "C:\\Tools\\probe.exe");
  constexpr int kEach = 60;
  ProcessResult a, b;
  std::thread first([&] { a = Run("C:\\Tools\\probe.exe regwrite a " + std::to_string(kEach)); });
  std::thread second([&] { b = Run("C:\\Tools\\probe.exe regwrite b " + std::to_string(kEach)); });
  first.join();
  second.join();
  ASSERT_TRUE(a.started && b.started);
  ASSERT_EQ(a.exitCode, 0u);
  ASSERT_EQ(b.exitCode, 0u);
  auto key = CurrentPlatform().registry->OpenKey(RegRoot::kLocalMachine, "SOFTWARE\\Concurrent", RegAccess::kRead, false);
  EXPECT_EQ(key->ValueNames().size(), 2u * kEach);
  for (int k = 0; k < kEach; ++k) {
    EXPECT_TRUE(key->QueryValue("A-" + std::to_string(k)).has_value()) << k;
    EXPECT_TRUE(key->QueryValue("b-" + std::to_string(k)).has_value()) << k;
  }
}

}  // namespace
}  // namespace nx
