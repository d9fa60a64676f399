#pragma once
// The simulated Windows machine of the hosted build: a folder (its root) holding drive C:, a map
// of further drives to host folders, the registry file and the machine's records. Programs find
// it through the environment variable NXSETUP_MACHINE; child processes inherit it.

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace nx {

class HostedMachine {
 public:
  // Lays out a fresh machine in root unless one is there already (then nothing changes): C: with
  // Windows\system32, Program Files, ProgramData, a user profile with Desktop, Start Menu and
  // Startup, TEMP; the Shell Folders registry values. The stand-in Windows tools (cmd, xcopy,
  // msiexec, netsh, attrib) are copied from toolsFolder into system32 as .exe files.
  static void Create(const std::string& root, const std::string& toolsFolder);

  // Opens the machine in root; OsError when root holds no machine.
  explicit HostedMachine(const std::string& root);
  ~HostedMachine();

  const std::string& root() const;

  // Maps a drive letter to a host folder, persistently; C: cannot be remapped.
  void MapDrive(char letter, const std::string& hostFolder);

  // Windows path to host path: drive letter, backslashes (doubled ones accepted), existing names
  // matched without regard to case; missing tail parts keep their spelling. OsError
  // (kErrorPathNotFound) for a path outside every mapped drive, never a host path.
  std::string HostPath(const std::string& windowsPath) const;
  // Host path back to the Windows path of the drive holding it; std::nullopt outside every drive.
  std::optional<std::string> WindowsPath(const std::string& hostPath) const;

  // The machine's platform: files, registry, processes, environment, network, clock.
  Platform& platform();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The machine named by NXSETUP_MACHINE (opened on first use); OsError when unset or invalid.
HostedMachine& CurrentHostedMachine();

}  // namespace nx
