#include "system/install_log.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

// The machine's own formats at a time the test chooses.
class FixedClock : public Clock {
 public:
  FixedClock(Clock& real, LocalTime now) : real_(real), now_(now) {}
  LocalTime Now() override { return now_; }
  std::string FormatShortDate(const LocalTime& t) override { return real_.FormatShortDate(t); }
  std::string FormatLongTime(const LocalTime& t) override { return real_.FormatLongTime(t); }
  void Sleep(int ms) override { real_.Sleep(ms); }

 private:
  Clock& real_;
  LocalTime now_;
};

class InstallLogTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& path) { return CurrentPlatform().files->ReadFile(path); }
  FileSystem& files() { return *CurrentPlatform().files; }

  ScratchMachine machine_;
};

TEST_F(InstallLogTest, StampIsShortDateBlankLongTimeOrTheDateAloneAtMidnight) {
  Clock& real = *CurrentPlatform().clock;
  struct Case {
    LocalTime t;
    std::string expected;
  } cases[] = {
      {{2026, 12, 10, 9, 5, 3, 0}, "10/12/2026 9:05:03"},
      {{2026, 12, 10, 0, 0, 0, 0}, "10/12/2026"},
      {{2026, 12, 10, 0, 0, 0, 1}, "10/12/2026 0:00:00"},
      {{2026, 12, 10, 0, 0, 1, 0}, "10/12/2026 0:00:01"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogTimestamp(c.t), c.expected);
    // The stamp follows the machine's formats, whatever they are.
    const bool midnight = c.t.hour == 0 && c.t.minute == 0 && c.t.second == 0 &&
                          c.t.millisecond == 0;
    EXPECT_EQ(LogTimestamp(c.t), midnight ? real.FormatShortDate(c.t)
                                          : real.FormatShortDate(c.t) + " " +
                                                real.FormatLongTime(c.t));
  }
}

TEST_F(InstallLogTest, CreatesTheLogThenAppendsEachLineWithCrLf) {
  files().CreateDirectories("C:\\Norvexa");
  FixedClock clock(*CurrentPlatform().clock, {2026, 3, 1, 14, 30, 0, 0});
  ScopedPlatform scoped(Platform{.clock = &clock});

  EXPECT_EQ(AppendInstallLog("C:\\Norvexa\\", "Primera"), "01/03/2026 14:30:00 : Primera");
  EXPECT_EQ(Read("C:\\Norvexa\\Install.log"), "01/03/2026 14:30:00 : Primera\r\n");
  EXPECT_EQ(AppendInstallLog("C:\\Norvexa\\", ""), "01/03/2026 14:30:00 : ");
  EXPECT_EQ(Read("C:\\Norvexa\\Install.log"),
            "01/03/2026 14:30:00 : Primera\r\n01/03/2026 14:30:00 : \r\n");
}

TEST_F(InstallLogTest, KeepsWhatEarlierRunsLeft) {
  files().CreateDirectories("C:\\Norvexa");
  files().WriteFile("C:\\Norvexa\\Install.log", "old run\r\n");
  FixedClock clock(*CurrentPlatform().clock, {2026, 3, 1, 0, 0, 0, 0});
  ScopedPlatform scoped(Platform{.clock = &clock});
  AppendInstallLog("C:\\Norvexa\\", "nueva");
  EXPECT_EQ(Read("C:\\Norvexa\\Install.log"), "old run\r\n01/03/2026 : nueva\r\n");
}

TEST_F(InstallLogTest, FolderTextWithoutBackslashIsJoinedPlainly) {
  AppendInstallLog("C:\\Norvexa", "x");
  EXPECT_TRUE(files().FileExists("C:\\NorvexaInstall.log"));
  EXPECT_FALSE(files().DirectoryExists("C:\\Norvexa"));
}

TEST_F(InstallLogTest, WritesInTheSystemCodePageWithQuestionMarksForWhatItCannotHold) {
  files().CreateDirectories("C:\\Norvexa");
  FixedClock clock(*CurrentPlatform().clock, {2026, 3, 1, 0, 0, 0, 0});
  ScopedPlatform scoped(Platform{.clock = &clock});
  // The status line keeps the text as given; only the file has to fit the code page.
  EXPECT_EQ(AppendInstallLog("C:\\Norvexa\\", "Instalación \xE2\x9C\x93 €"),
            "01/03/2026 : Instalación \xE2\x9C\x93 €");
  EXPECT_EQ(Read("C:\\Norvexa\\Install.log"), "01/03/2026 : Instalaci\xF3n ? \x80\r\n");
}

TEST_F(InstallLogTest, MissingFolderRaisesInOutErrorAndCreatesNothing) {
  try {
    AppendInstallLog("C:\\NoSuch\\", "x");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.code(), kErrorPathNotFound);
  }
  EXPECT_FALSE(files().DirectoryExists("C:\\NoSuch"));
}

TEST_F(InstallLogTest, ReadOnlyLogRaisesInOutErrorAndKeepsTheFile) {
  files().CreateDirectories("C:\\Norvexa");
  files().WriteFile("C:\\Norvexa\\Install.log", "kept\r\n");
  files().SetAttributes("C:\\Norvexa\\Install.log", kAttrReadOnly);
  try {
    AppendInstallLog("C:\\Norvexa\\", "x");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.code(), kErrorAccessDenied);
  }
  EXPECT_EQ(Read("C:\\Norvexa\\Install.log"), "kept\r\n");
}

}  // namespace
}  // namespace nx
