#include <cstdio>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

// Runs a command line exactly as the installer's runner does and reports the outcome; the
// command's own failure is a result here, not an error of nxmachine.
int RunCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"give the whole command line as one argument"};
  const ProcessResult r = CurrentPlatform().processes->RunAndWait(args[0], kSwShowNormal);
  if (!r.started) {
    std::printf("not started: error %u: %s\n", r.error, SystemMessage(r.error).c_str());
  } else if (r.exitCode >= 0x80000000u) {
    std::printf("exit code %u (0x%08X)\n", r.exitCode, r.exitCode);
  } else {
    std::printf("exit code %u\n", r.exitCode);
  }
  return 0;
}

}  // namespace nx::nxmachine
