#pragma once
// A fresh simulated machine for one test: created in a temporary folder with the build's
// stand-in tools, installed as the current platform (CurrentPlatform() and
// CurrentHostedMachine() act on it) and exported in NXSETUP_MACHINE for child processes; all of
// it undone and removed at the end (kept when NXSETUP_KEEP_MACHINE is set, for a look inside).

#include <memory>
#include <optional>
#include <string>

#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

namespace nx {

class ScratchMachine {
 public:
  // toolsFolder: where the stand-in Windows tools are taken from (the build's bin folder).
  explicit ScratchMachine(const std::string& toolsFolder = NX_BIN_DIR);
  ~ScratchMachine();
  ScratchMachine(const ScratchMachine&) = delete;
  ScratchMachine& operator=(const ScratchMachine&) = delete;

  const std::string& root() const;
  HostedMachine& machine() { return *machine_; }
  Platform& platform() { return machine_->platform(); }

  // Maps letter to a host folder (created when missing).
  void MapDrive(char letter, const std::string& hostFolder);
  std::string HostPath(const std::string& windowsPath) const { return machine_->HostPath(windowsPath); }

  // Host-side access to a Windows path, bypassing the machine's rules (attributes, case):
  // for preparing and inspecting what the code under test sees.
  void WriteFile(const std::string& windowsPath, const std::string& bytes) const;
  std::string ReadFile(const std::string& windowsPath) const;
  bool Exists(const std::string& windowsPath) const;
  // Puts a host program (a helper of the tests) onto the machine under windowsPath, executable
  // (a hard link where possible: do not write into it).
  void InstallProgram(const std::string& hostProgram, const std::string& windowsPath) const;

 private:
  TempDir dir_;
  std::unique_ptr<HostedMachine> machine_;
  std::unique_ptr<ScopedPlatform> platformScope_;
  std::unique_ptr<ScopedHostedMachine> machineScope_;
  std::optional<std::string> savedMachineVariable_;
};

}  // namespace nx
