#include "system/command_runner.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

class CommandRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files().CreateDirectories("C:\\tools");
    // Reports what it was started with, then ends with the code of its first argument (0 when
    // none); "crash" as first argument makes it die of a segmentation fault.
    Install("C:\\tools\\report.exe",
            "#!/bin/sh\n"
            "printf '%s' \"$NXSETUP_CMDLINE\" > '" + Host("C:\\tools\\cmdline.txt") + "'\n"
            "printf '%s' \"$NXSETUP_SHOW\" > '" + Host("C:\\tools\\show.txt") + "'\n"
            "case \"$1\" in crash) kill -SEGV $$ ;; '') exit 0 ;; *[!0-9]*) exit 0 ;; esac\n"
            "exit \"$1\"\n");
  }

  FileSystem& files() { return *CurrentPlatform().files; }
  std::string Host(const std::string& windowsPath) {
    return CurrentHostedMachine().HostPath(windowsPath);
  }
  void Install(const std::string& windowsPath, const std::string& script) {
    files().WriteFile(windowsPath, script);
    ASSERT_EQ(chmod(Host(windowsPath).c_str(), 0755), 0);
  }
  bool ChildRan() { return files().FileExists("C:\\tools\\cmdline.txt"); }
  std::string Seen(const char* what) {
    return files().ReadFile(std::string("C:\\tools\\") + what + ".txt");
  }

  ScratchMachine machine_;
};

TEST_F(CommandRunnerTest, ReturnsTheExitCodeOrMinusOneWhenNothingStarts) {
  struct Case {
    std::string line;
    int32_t expected;
  } cases[] = {
      {"C:\\tools\\report.exe", 0},
      {"C:\\tools\\report.exe 3", 3},
      {"C:\\tools\\report.exe 255", 255},
      {"C:\\tools\\nosuch.exe /x", -1},
      {"nosuchprogram", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EjecutaEspera(c.line, 0), c.expected) << c.line;
  }
}

TEST_F(CommandRunnerTest, CrashedChildGivesANegativeCodeNotAnError) {
  int32_t code = 0;
  ASSERT_NO_THROW(code = EjecutaEspera("C:\\tools\\report.exe crash", 0));
  EXPECT_LT(code, 0);
  EXPECT_EQ(static_cast<uint32_t>(code), 0xC0000005u);  // STATUS_ACCESS_VIOLATION
}

TEST_F(CommandRunnerTest, ChildSeesTheShowModeAndTheWholeLine) {
  for (uint32_t show : {0u, 1u}) {
    const std::string line = "C:\\tools\\report.exe 0 \"C:\\Archivos de programa\\x\"";
    EXPECT_EQ(EjecutaEspera(line, show), 0);
    EXPECT_EQ(Seen("cmdline"), line);
    EXPECT_EQ(Seen("show"), std::to_string(show));
  }
}

TEST_F(CommandRunnerTest, LongLinesArriveWholeUpToTheWindowsLimit) {
  const std::string head = "C:\\tools\\report.exe 0 ";
  for (size_t length : {size_t{513}, size_t{600}, kMaxCommandLine}) {
    const std::string line = head + std::string(length - head.size(), 'x');
    ASSERT_EQ(line.size(), length);
    EXPECT_EQ(EjecutaEspera(line, 0), 0) << length;
    EXPECT_EQ(Seen("cmdline"), line) << length;
  }
}

TEST_F(CommandRunnerTest, RefusedBeforeAnythingStarts) {
  const std::string head = "C:\\tools\\report.exe 0 ";
  // Counted in UTF-16 units: "ñ" is two bytes of UTF-8 but one unit.
  const std::string atLimitInUnits = [&] {
    std::string s = head;
    while (s.size() - (s.size() - head.size()) / 2 < kMaxCommandLine) s += "ñ";
    return s;
  }();
  struct Case {
    const char* what;
    std::string line;
    uint32_t show;
  } cases[] = {
      {"show mode 70000", head, 70000},
      {"show mode 65536", head, 65536},
      {"one unit over the limit", head + std::string(kMaxCommandLine + 1 - head.size(), 'x'), 0},
      {"a NUL inside", std::string(head) + '\0' + "rest", 0},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(EjecutaEspera(c.line, c.show), ERangeError) << c.what;
    EXPECT_FALSE(ChildRan()) << c.what;
  }
  // The limit is counted as Windows counts it, so a line of two-byte characters at the limit in
  // UTF-16 units is not refused here, and one unit more is.
  EXPECT_NO_THROW(EjecutaEspera(atLimitInUnits, 0));
  EXPECT_THROW(EjecutaEspera(atLimitInUnits + "x", 0), ERangeError);
}

}  // namespace
}  // namespace nx
