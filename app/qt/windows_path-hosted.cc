#include "app/qt/windows_path.h"

#include "platform/error.h"
#include "platform/hosted_machine.h"

namespace nx {

namespace {

// The shape the system's folder browser hands back: no trailing backslash except on a root.
std::string BrowserShape(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

}  // namespace

std::optional<std::string> WindowsFolderOf(const std::string& toolkitPath) {
  try {
    const auto path = CurrentHostedMachine().WindowsPath(toolkitPath);
    if (!path) return std::nullopt;
    return BrowserShape(*path);
  } catch (const OsError&) {
    return std::nullopt;
  }
}

std::string ToolkitFolderOf(const std::string& windowsPath) {
  try {
    return CurrentHostedMachine().HostPath(windowsPath);
  } catch (const OsError&) {
    return "";
  }
}

}  // namespace nx
