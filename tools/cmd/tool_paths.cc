#include "tools/cmd/tool_paths.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <vector>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/text.h"

namespace nx::tools {

bool HasWildcards(const std::string& text) {
  return text.find_first_of("*?") != std::string::npos;
}

bool EndsWithSeparator(const std::string& typed) {
  return !typed.empty() && (typed.back() == '\\' || typed.back() == '/');
}

static bool HasDrive(const std::string& p) {
  return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

std::string NormalizePath(const std::string& absolutePath) {
  std::string drive = absolutePath.substr(0, 2);
  drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part.empty() || part == ".") {
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    part.clear();
  };
  for (size_t i = 2; i < absolutePath.size(); ++i) {
    char c = absolutePath[i];
    if (c == '\\' || c == '/') {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  std::string result = drive + "\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) throw OsError(kErrorPathNotFound, ".");
  std::optional<std::string> windows = CurrentHostedMachine().WindowsPath(buffer);
  if (!windows) throw OsError(kErrorPathNotFound, buffer);
  return NormalizePath(*windows);
}

std::string AbsolutePath(const std::string& typed) {
  if (typed.empty()) throw OsError(kErrorInvalidName, typed);
  bool leadingSlash = typed[0] == '\\' || typed[0] == '/';
  if (leadingSlash && typed.size() > 1 && (typed[1] == '\\' || typed[1] == '/'))
    throw OsError(kErrorPathNotFound, typed);  // UNC: the machine has no network shares
  if (HasDrive(typed)) {
    if (typed.size() > 2 && (typed[2] == '\\' || typed[2] == '/')) return NormalizePath(typed);
    // "D:name": relative to that drive's current folder, which is its root unless the working
    // folder is on it.
    std::string base = typed.substr(0, 2) + "\\";
    try {
      std::string current = CurrentFolder();
      if (std::toupper(static_cast<unsigned char>(current[0])) ==
          std::toupper(static_cast<unsigned char>(typed[0])))
        base = current;
    } catch (const OsError&) {
    }
    return NormalizePath(base + "\\" + typed.substr(2));
  }
  std::string current = CurrentFolder();
  if (leadingSlash) return NormalizePath(current.substr(0, 2) + typed);
  return NormalizePath(current + "\\" + typed);
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos || slash <= 2) return path.substr(0, 2) + "\\";
  return path.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
  if (IsDriveRoot(path)) return "";
  size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

bool IsDriveRoot(const std::string& path) { return path.size() == 3 && path[1] == ':'; }

bool SamePath(const std::string& a, const std::string& b) { return EqualsIgnoreCase(a, b); }

}  // namespace nx::tools
