#pragma once
// Runs the build's nxmachine tool on the machine NXSETUP_MACHINE names (a ScratchMachine sets
// it), as an operator would from a shell.

#include <string>

namespace nx {

struct NxmachineOutput {
  int status = -1;   // the tool's exit status; -1 when it did not exit normally
  std::string text;  // stdout and stderr together
};

// arguments are given to the shell as they stand: quote them for it.
NxmachineOutput Nxmachine(const std::string& arguments);

}  // namespace nx
