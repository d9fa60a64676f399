#include "tests/tools/tool_run.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/platform.h"
#include "tests/support/temp_dir.h"

namespace nx::test {

ToolRun Launch(const std::string& commandLine) {
  char name[] = "/tmp/nx-tool-output-XXXXXX";
  int fd = ::mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  std::fflush(stdout);
  std::fflush(stderr);
  int savedOut = ::dup(1), savedErr = ::dup(2);
  ::dup2(fd, 1);
  ::dup2(fd, 2);
  ProcessResult r = CurrentPlatform().processes->RunAndWait(commandLine, kSwHide);
  ::dup2(savedOut, 1);
  ::dup2(savedErr, 2);
  ::close(savedOut);
  ::close(savedErr);
  ::close(fd);
  ToolRun run;
  run.started = r.started;
  run.exitCode = r.started ? r.exitCode : r.error;
  run.output = ReadHostFile(name);
  ::unlink(name);
  return run;
}

std::set<std::string> Tree(const ScratchMachine& machine, const std::string& windowsFolder) {
  std::set<std::string> names;
  std::filesystem::path root = machine.HostPath(windowsFolder);
  if (!std::filesystem::exists(root)) return names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string relative = std::filesystem::relative(entry.path(), root).generic_string();
    if (entry.path().filename().string()[0] == ':') continue;  // the machine's attribute records
    names.insert(entry.is_directory() ? relative + "/" : relative);
  }
  return names;
}

void InstallProbe(const ScratchMachine& machine, const std::string& windowsPath) {
  machine.InstallProgram(std::string(NX_BIN_DIR) + "/tools-probe", windowsPath);
}

}  // namespace nx::test
