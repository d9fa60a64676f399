#include <cstdio>

#include "platform/hosted_machine.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

// Without arguments, lists the settings: "winver = 6.1".
int SetCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    for (const auto& [name, value] : CurrentHostedMachine().Settings()) std::printf("%s = %s\n", name.c_str(), value.c_str());
    return 0;
  }
  if (args.size() != 2) throw UsageError{"expected NAME and VALUE"};
  CurrentHostedMachine().SetSetting(args[0], args[1]);
  return 0;
}

}  // namespace nx::nxmachine
