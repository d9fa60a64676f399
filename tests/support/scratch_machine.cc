#include "tests/support/scratch_machine.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace nx {

ScratchMachine::ScratchMachine(const std::string& toolsFolder) {
  const std::string root = dir_.path() + "/machine";
  HostedMachine::Create(root, toolsFolder);
  machine_ = std::make_unique<HostedMachine>(root);
  platformScope_ = std::make_unique<ScopedPlatform>(machine_->platform());
  machineScope_ = std::make_unique<ScopedHostedMachine>(*machine_);
  if (const char* saved = std::getenv("NXSETUP_MACHINE")) savedMachineVariable_ = saved;
  ::setenv("NXSETUP_MACHINE", machine_->root().c_str(), 1);
}

ScratchMachine::~ScratchMachine() {
  if (savedMachineVariable_) {
    ::setenv("NXSETUP_MACHINE", savedMachineVariable_->c_str(), 1);
  } else {
    ::unsetenv("NXSETUP_MACHINE");
  }
  machineScope_.reset();
  platformScope_.reset();
  machine_.reset();
}

const std::string& ScratchMachine::root() const { return machine_->root(); }

void ScratchMachine::MapDrive(char letter, const std::string& hostFolder) {
  std::filesystem::create_directories(hostFolder);
  machine_->MapDrive(letter, hostFolder);
}

void ScratchMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) const {
  WriteHostFile(HostPath(windowsPath), bytes);
}

std::string ScratchMachine::ReadFile(const std::string& windowsPath) const {
  return ReadHostFile(HostPath(windowsPath));
}

bool ScratchMachine::Exists(const std::string& windowsPath) const {
  return std::filesystem::exists(HostPath(windowsPath));
}

void ScratchMachine::InstallProgram(const std::string& hostProgram, const std::string& windowsPath) const {
  const std::string target = HostPath(windowsPath);
  std::filesystem::create_directories(std::filesystem::path(target).parent_path());
  std::filesystem::remove(target);
  // A hard link is as good as a copy here (the program runs under the new name and folder) and
  // spares copying megabytes per test; a copy where links cannot be made.
  std::error_code linkError;
  std::filesystem::create_hard_link(hostProgram, target, linkError);
  if (linkError) {
    std::filesystem::copy_file(hostProgram, target);
    ::chmod(target.c_str(), 0755);
  }
}

}  // namespace nx
