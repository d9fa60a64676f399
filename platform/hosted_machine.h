#pragma once
// The simulated Windows machine of the hosted build: a folder (its root) holding drive C:, a map
// of further drives to host folders, the registry file and the machine's records. Programs find
// it through the environment variable NXSETUP_MACHINE; child processes inherit it.
//
// The machine is a Spanish Windows 7 (32-bit), user "Administrador", computer "NXPC":
//   C:\Windows\System32, C:\Program Files, C:\ProgramData, C:\Users\Public\Desktop,
//   C:\Users\Administrador\{Desktop, Documents, AppData\Local\Temp,
//   AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Startup},
//   C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Startup, and
//   C:\Windows\System32\drivers\etc\hosts.
// Its environment holds what Windows gives a process (SystemRoot=C:\Windows, SystemDrive=C:,
// HOMEDRIVE=C:, ProgramFiles, ALLUSERSPROFILE=C:\ProgramData, TEMP, TMP, PATH, USERNAME,
// USERPROFILE, COMPUTERNAME, windir, ComSpec...). The real process environment overrides each
// of them: NXSETUP_ENV_<NAME>=value sets the variable (a new name adds it), NXSETUP_ENV_<NAME>=
// (empty) removes it, since Windows has no empty variables. Names match without regard to case.
//
// Host layout of the root: C/ (drive C:), drives.txt (further drives), registry.txt (the
// registry, a text file rewritten atomically under registry.lock), machine.ini (the machine's
// facts and settings). Read-only, hidden and system attributes live in a file ":attributes" in each folder
// (a name no Windows path can reach); listings never show it.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

  // Maps a drive letter to a host folder, persistently; C: cannot be remapped. An empty
  // hostFolder removes the mapping.
  void MapDrive(char letter, const std::string& hostFolder);

  // The drive letters and the host folders they stand for, C: included.
  std::map<char, std::string> Drives() const;

  // Windows path to host path: drive letter, backslashes (doubled ones accepted), existing names
  // matched without regard to case; missing tail parts keep their spelling. OsError
  // (kErrorPathNotFound) for a path outside every mapped drive, never a host path.
  std::string HostPath(const std::string& windowsPath) const;
  // Host path back to the Windows path of the drive holding it; std::nullopt outside every drive.
  std::optional<std::string> WindowsPath(const std::string& hostPath) const;

  // The machine's platform: files, registry, processes, environment, network, clock, system
  // facts, shell.
  Platform& platform();

  // Settings of the machine, read afresh at every use (another process may change them):
  //   winver  the version GetVersionExW reports, "MAJOR.MINOR" ("6.1", Windows 7, by default;
  //           "5.1" XP, "5.0" 2000, "4.0" NT 4), or "none" for a call that fails;
  //   admin   "yes" (the default) when the program runs as an administrator, or "no".
  // Every setting with its value (defaults included), in this order.
  std::vector<std::pair<std::string, std::string>> Settings() const;
  // OsError(kErrorInvalidParameter) for a name that is no setting.
  std::string Setting(const std::string& name) const;
  // Names without regard to case; OsError(kErrorInvalidParameter) naming what is wrong for an
  // unknown name or a value the setting does not take. Nothing is written then.
  void SetSetting(const std::string& name, const std::string& value);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The machine named by NXSETUP_MACHINE (opened on first use, and again when the variable names
// another root); OsError when unset or invalid. A ScopedHostedMachine takes precedence.
HostedMachine& CurrentHostedMachine();

// Makes machine the one CurrentHostedMachine() returns for the life of the object (tests with a
// scratch machine); scopes nest.
class ScopedHostedMachine {
 public:
  explicit ScopedHostedMachine(HostedMachine& machine);
  ~ScopedHostedMachine();
  ScopedHostedMachine(const ScopedHostedMachine&) = delete;
  ScopedHostedMachine& operator=(const ScopedHostedMachine&) = delete;

 private:
  HostedMachine* saved_;
};

}  // namespace nx
