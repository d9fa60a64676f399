#pragma once
// Whole installations on fresh hosted machines: the build's sample media copied in as D:, the
// window run in-process with the scripted operator or by the build's nxdrive as a child process,
// and the machine looked at from outside afterwards.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/FInstall.h"
#include "platform/platform.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/support/recording_clock.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/log_lines.h"
#include "tests/support/scratch_machine.h"
#include "tests/support/temp_dir.h"

namespace nx::e2e {

// nxdrive run as a child of its own, on the machine NXSETUP_MACHINE names.
class Drive {
 public:
  // fault: the value of NXSETUP_FAULT (empty: none).
  Drive(const std::string& script, const std::string& fault = "");
  ~Drive();  // a run still going is killed
  Drive(const Drive&) = delete;
  Drive& operator=(const Drive&) = delete;

  pid_t pid() const { return pid_; }
  // Waits for the end (at most timeoutSeconds, then kills it); the transcript is read then.
  void Wait(int timeoutSeconds = 300);
  void Kill();

  bool exited() const { return exited_; }   // ended by itself, with code
  int code() const { return code_; }
  int signal() const { return signal_; }    // the signal that ended it, 0 when none
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }
  // The value a "show" printed last for a field ("puerto"); empty when none.
  std::string Field(const std::string& name) const;
  // The texts of its "message:" lines, with \r as carriage returns.
  std::vector<std::string> Messages() const;

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  bool done_ = false;
  bool exited_ = false;
  int code_ = -1;
  int signal_ = 0;
  std::string out_, err_;
};

// A fresh machine with a copy of a sample medium as D:, engines stopped at the end (every
// registered instance, by its record), whatever the outcome.
class E2eTest : public ::testing::Test {
 protected:
  E2eTest();
  ~E2eTest() override;

  // Copies the build's medium (gen3, gen25, gen3-newer, gen3-broken) to a folder of the machine
  // and maps it as D:.
  void Medium(const std::string& name);

  // A window created from D:\ and activated, as the program starts; the scripted operator
  // answers. Replaces the previous window.
  TFInstalacion& Window();
  // A whole installation in-process: the window, its port set to the test's own after
  // activation (so that installations running at once never take the same one), then "Instalar".
  TFInstalacion& Install(bool server, bool workstation);

  std::vector<std::string> Log(const std::string& folder = "C:\\Norvexa\\");
  // The file's lines (decoded as the installer reads them), without line ends.
  std::vector<std::string> Lines(const std::string& windowsFile);
  std::string Reg(const std::string& key, const std::string& name);
  // Every file below a Windows folder, by path relative to it, with its bytes (the backups
  // in old left out).
  std::map<std::string, std::string> Tree(const std::string& windowsFolder);
  // Stopped and started around a look at the data files, which the engine holds open.
  std::map<std::string, std::string> DataFilesAtRest();
  void StopEngines();

  // The machine's text files are whole: each one is absent or ends as its writer ends it; those
  // of the engine folder (alias file, configuration) only when engineFolder.
  ::testing::AssertionResult TextFilesWhole(bool engineFolder = true);
  // Every alias of the engine's alias file that names a data file opens through the engine.
  ::testing::AssertionResult EveryDatabaseOpens();

  std::string port() const { return std::to_string(port_); }

  std::string gen() const { return gen3_ ? "3" : ""; }
  std::string aliasFile(const std::string& folder = "C:\\Norvexa\\") const {
    return folder + (gen3_ ? "firebird3\\databases.conf" : "firebird\\aliases.conf");
  }

  ScratchMachine machine_;
  // The synchronisation's pauses of in-process runs are recorded, not waited.
  RecordingClock clock_{*machine_.platform().clock};
  ScopedPlatform pauses_{Platform{.clock = &clock_}};
  bool gen3_ = true;
  uint16_t port_ = 0;
  ScriptedOperator operador_;
  std::unique_ptr<TFInstalacion> form_;
};

}  // namespace nx::e2e
