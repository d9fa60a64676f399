#include <cstdio>

#include "platform/hosted_machine.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

int PathCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"expected one Windows path"};
  std::printf("%s\n", CurrentHostedMachine().HostPath(args[0]).c_str());
  return 0;
}

}  // namespace nx::nxmachine
