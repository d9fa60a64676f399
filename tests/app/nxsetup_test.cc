// The program itself, started as the operator starts it: from the installation medium, and from
// a folder that is no drive of the machine.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "platform/hosted_machine.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode;
  std::string err;
};

// Runs program offscreen on the scratch machine; the window closes itself after closeMs.
Outcome Start(const fs::path& program, const fs::path& scratch, int closeMs,
          const std::string& screenshot = "") {
  const fs::path err = scratch / "stderr.txt";
  std::string command = "cd '" + program.parent_path().string() +
                        "' && QT_QPA_PLATFORM=offscreen NXSETUP_DEMO_CLOSE_MS=" +
                        std::to_string(closeMs);
  if (!screenshot.empty()) command += " NXSETUP_DEMO_SCREENSHOT='" + screenshot + "'";
  command += " timeout 60 './" + program.filename().string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

class NxSetupTest : public ::testing::Test {
 protected:
  fs::path Root() { return CurrentHostedMachine().root(); }
  ScratchMachine machine_;
};

TEST_F(NxSetupTest, StartedFromTheMediumItOpensItsWindowAndEndsWhenItCloses) {
  const fs::path medium = Root() / "medio";
  fs::create_directories(medium);
  CurrentHostedMachine().MapDrive('D', medium.string());
  std::ofstream(medium / "nxSetup.ini", std::ios::binary)
      << "[APLICACION]\r\nAPLICACION=nxGestion\r\nNOMBRE=Gesti\xf3n\r\nVERSION=1\r\n";
  fs::copy_file(fs::path(NX_BIN_DIR) / "nxsetup", medium / "nxSetup.exe");
  const fs::path shot = Root() / "shot.png";

  const Outcome run = Start(medium / "nxSetup.exe", Root(), 300, shot.string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(shot.string()))) << run.err;
  EXPECT_EQ(image.height(), 392);
  EXPECT_EQ(image.width(), 605 - 6);
}

TEST_F(NxSetupTest, StartedFromOutsideEveryDriveItSaysSoAndFails) {
  const fs::path outside = Root().parent_path() / (Root().filename().string() + "-fuera");
  fs::create_directories(outside);
  fs::copy_file(fs::path(NX_BIN_DIR) / "nxsetup", outside / "nxSetup.exe");
  const Outcome run = Start(outside / "nxSetup.exe", Root(), 100);
  fs::remove_all(outside);
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("unidad de este equipo"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace nx
