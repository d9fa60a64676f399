#include "platform/error.h"
#include "platform/hosted_parts.h"

namespace nx {

bool HostedShell::Open(const std::string& file, const std::string& parameters, const std::string& folder,
                       uint16_t showMode) {
  try {
    if (!files_.FileExists(file)) return false;
  } catch (const OsError&) {
    return false;
  }
  std::string commandLine = "\"" + file + "\"";
  if (!parameters.empty()) commandLine += " " + parameters;
  return processes_.Start(commandLine, showMode, folder);
}

}  // namespace nx
