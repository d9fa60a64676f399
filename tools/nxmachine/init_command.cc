#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/hosted_machine.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

// The machine takes its stand-in tools from the folder this program lies in (the build's bin).
int InitCommand(const std::vector<std::string>& args) {
  if (args.size() > 1) throw UsageError{"too many arguments"};
  std::string root;
  if (!args.empty()) {
    root = args[0];
  } else if (const char* named = std::getenv("NXSETUP_MACHINE"); named && *named) {
    root = named;
  } else {
    throw UsageError{"give ROOT or set NXSETUP_MACHINE"};
  }
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string tools;
  if (length > 0) {
    tools.assign(self, static_cast<size_t>(length));
    tools = tools.substr(0, tools.find_last_of('/'));
  }
  HostedMachine::Create(root, tools);
  HostedMachine machine(root);
  std::printf("%s\n", machine.root().c_str());
  return 0;
}

}  // namespace nx::nxmachine
