#pragma once
// Running a command line on the scratch machine the way the installer does (through the
// machine's process runner), with what the program writes captured.

#include <cstdint>
#include <set>
#include <string>

#include "tests/support/scratch_machine.h"

namespace nx::test {

struct ToolRun {
  bool started = false;
  uint32_t exitCode = 0;
  std::string output;  // standard output and standard error, in the order written
};

ToolRun Launch(const std::string& commandLine);

// Files and folders below a Windows folder, relative, '/' separated, folders ending in '/'.
std::set<std::string> Tree(const ScratchMachine& machine, const std::string& windowsFolder);

// Installs the tests' probe program at a Windows path.
void InstallProbe(const ScratchMachine& machine, const std::string& windowsPath);

}  // namespace nx::test
