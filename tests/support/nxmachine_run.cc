#include "tests/support/nxmachine_run.h"

#include <sys/wait.h>

#include <cstdio>

namespace nx {

NxmachineOutput Nxmachine(const std::string& arguments) {
  const std::string command = std::string(NX_BIN_DIR) + "/nxmachine " + arguments + " 2>&1";
  NxmachineOutput out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, got);
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) out.status = WEXITSTATUS(status);
  return out;
}

}  // namespace nx
