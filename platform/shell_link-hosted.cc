#include "platform/hosted_parts.h"

#include "platform/shell_link.h"

namespace nx {

void HostedShellLinks::Save(const std::string& linkPath, const ShellLink& link) {
  files_.WriteFile(linkPath, FormatShellLink(link));
}

}  // namespace nx
