#include "app/qt/windows_path.h"

#include <algorithm>

namespace nx {

std::optional<std::string> WindowsFolderOf(const std::string& toolkitPath) {
  std::string path = toolkitPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() == 2) path += '\\';
  return path;
}

std::string ToolkitFolderOf(const std::string& windowsPath) { return windowsPath; }

}  // namespace nx
