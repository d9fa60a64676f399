#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "platform/error.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"
#include "platform/text.h"

namespace nx {

namespace {

constexpr size_t kMaxPath = 260;  // MAX_PATH, terminating zero included

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks of each part ("x.txt. " is "x.txt").
std::string TrimPart(const std::string& part) {
  if (part == "." || part == "..") return part;
  size_t end = part.size();
  while (end > 0 && (part[end - 1] == '.' || part[end - 1] == ' ')) --end;
  return part.substr(0, end);
}

std::string RealFolder(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) ThrowErrno(errno, path, kErrorPathNotFound);
  return buffer;
}

// The host path with its existing prefix resolved through symbolic links.
std::string CanonicalHostPath(const std::string& path) {
  std::string absolute = path;
  if (absolute.empty() || absolute[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
    absolute = std::string(cwd) + "/" + absolute;
  }
  std::vector<std::string> parts;
  std::stringstream in(absolute);
  std::string part;
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  // Longest existing prefix through realpath, the rest appended as written.
  size_t existing = parts.size();
  std::string resolved;
  for (;; --existing) {
    std::string prefix = "/";
    for (size_t k = 0; k < existing; ++k) prefix += (k ? "/" : "") + parts[k];
    char buffer[PATH_MAX];
    if (::realpath(prefix.c_str(), buffer) != nullptr) {
      resolved = buffer;
      break;
    }
    if (existing == 0) {
      resolved = "/";
      break;
    }
  }
  for (size_t k = existing; k < parts.size(); ++k) {
    if (resolved.empty() || resolved.back() != '/') resolved += '/';
    resolved += parts[k];
  }
  return resolved;
}

}  // namespace

bool IsValidWindowsName(const std::string& name) {
  if (name.empty()) return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
        return false;
      default:
        break;
    }
  }
  return true;
}

std::string WindowsPathParts::Text() const {
  std::string text(1, drive);
  text += ":\\";
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) text += '\\';
    text += parts[k];
  }
  return text;
}

DriveMap::DriveMap(const std::string& root) : root_(root), file_(root + "/" + kDriveMapFile) {
  Reload();
}

// Read at every use: the file is a few lines, and a change by another process must be seen at
// once (file times are too coarse to tell two quick rewrites apart).
void DriveMap::Reload() const {
  FileIdentity identity;
  struct stat st;
  if (::stat(file_.c_str(), &st) == 0) {
    identity = {true, st.st_dev, st.st_ino, st.st_size, static_cast<long>(st.st_mtim.tv_sec),
                static_cast<long>(st.st_mtim.tv_nsec)};
  }
  // Every path resolution asks: reading the file each time cost two opens per copied file.
  if (identity == seenIdentity_ && !drives_.empty()) return;
  std::string text;
  if (identity.exists) text = host::ReadAll(file_, file_);
  seenIdentity_ = identity;
  std::map<char, std::string> fresh;
  fresh['C'] = root_ + "/C";
  for (const std::string& line : host::Lines(text)) {
    if (line.size() < 3 || line[1] != '=') continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
    if (letter < 'A' || letter > 'Z' || letter == 'C') continue;
    fresh[letter] = line.substr(2);
  }
  drives_ = std::move(fresh);
}

void DriveMap::Map(char letter, const std::string& hostFolder) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (letter < 'A' || letter > 'Z' || letter == 'C') {
    throw OsError(kErrorInvalidParameter, std::string("unidad ") + letter + ":");
  }
  std::string folder;
  if (!hostFolder.empty()) {
    folder = RealFolder(hostFolder);
    if (!host::IsDirectory(folder)) throw OsError(kErrorDirectory, hostFolder);
    if (folder.find('\n') != std::string::npos) throw OsError(kErrorInvalidName, hostFolder);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  host::FileLock fileLock(root_ + "/" + kDrivesLockFile);
  Reload();  // under the lock: the newest map
  if (folder.empty()) {
    drives_.erase(letter);
  } else {
    drives_[letter] = folder;
  }
  std::string text;
  for (const auto& [l, f] : drives_) {
    if (l != 'C') text += std::string(1, l) + "=" + f + "\n";
  }
  host::WriteAtomically(file_, text, file_);
  Reload();
}

std::optional<std::string> DriveMap::HostFolder(char letter) const {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  std::lock_guard<std::mutex> lock(mutex_);
  Reload();
  auto it = drives_.find(letter);
  if (it == drives_.end()) return std::nullopt;
  return it->second;
}

std::map<char, std::string> DriveMap::Drives() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Reload();
  return drives_;
}

std::optional<WindowsPathParts> DriveMap::CurrentFolder() const {
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return std::nullopt;
  std::optional<std::string> windows = WindowsPath(cwd);
  if (!windows) return std::nullopt;
  WindowsPathParts parts;
  parts.drive = (*windows)[0];
  std::stringstream in(windows->substr(3));
  std::string part;
  while (std::getline(in, part, '\\')) {
    if (!part.empty()) parts.parts.push_back(part);
  }
  return parts;
}

WindowsPathParts DriveMap::Parse(const std::string& windowsPath) const {
  std::string s = windowsPath;
  for (char& c : s) {
    if (c == '/') c = '\\';
  }
  if (s.empty()) throw OsError(kErrorPathNotFound, windowsPath);
  // \\?\C:\... is the same path without the prefix.
  if (s.rfind("\\\\?\\", 0) == 0 || s.rfind("\\\\.\\", 0) == 0) {
    std::string rest = s.substr(4);
    if (rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
      s = rest;
    } else {
      throw OsError(kErrorPathNotFound, windowsPath);
    }
  }
  if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') throw OsError(kErrorPathNotFound, windowsPath);

  WindowsPathParts result;
  std::string rest;
  if (s.size() >= 2 && s[1] == ':') {
    if (!std::isalpha(static_cast<unsigned char>(s[0]))) throw OsError(kErrorInvalidName, windowsPath);
    result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    rest = s.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "D:x" is relative to the current folder when it lies on D:, to D:'s root otherwise.
      std::optional<WindowsPathParts> cwd = CurrentFolder();
      if (cwd && cwd->drive == result.drive) result.parts = cwd->parts;
    }
  } else {
    std::optional<WindowsPathParts> cwd = CurrentFolder();
    if (!cwd) throw OsError(kErrorPathNotFound, windowsPath);
    result.drive = cwd->drive;
    if (s[0] != '\\') result.parts = cwd->parts;
    rest = s;
  }
  result.trailingSeparator = !rest.empty() && IsSeparator(rest.back());

  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t next = rest.find('\\', pos);
    if (next == std::string::npos) next = rest.size();
    std::string part = TrimPart(rest.substr(pos, next - pos));
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!result.parts.empty()) result.parts.pop_back();
      continue;
    }
    if (!IsValidWindowsName(part)) throw OsError(kErrorInvalidName, windowsPath);
    result.parts.push_back(part);
  }
  if (result.Text().size() >= kMaxPath) throw OsError(kErrorFilenameExcedRange, windowsPath);
  return result;
}

ResolvedPath DriveMap::Resolve(const std::string& windowsPath) const {
  return Resolve(Parse(windowsPath));
}

ResolvedPath DriveMap::Resolve(const WindowsPathParts& parts) const {
  std::optional<std::string> folder = HostFolder(parts.drive);
  if (!folder) throw OsError(kErrorPathNotFound, parts.Text());
  ResolvedPath resolved;
  resolved.windows = parts.Text();
  resolved.isRoot = parts.parts.empty();
  resolved.trailingSeparator = parts.trailingSeparator;

  // Fast paths: the exact spelling exists, or its folder does and only the last name needs a
  // search. Same answers as the walk below, which takes an existing exact name first too.
  std::string exact = *folder;
  for (const std::string& part : parts.parts) exact += "/" + part;
  struct stat st;
  if (::lstat(exact.c_str(), &st) == 0) {
    resolved.host = exact;
    return resolved;
  }
  std::string current = *folder;
  size_t first = 0;
  if (parts.parts.size() >= 2) {
    const std::string parent = exact.substr(0, exact.size() - parts.parts.back().size() - 1);
    if (::lstat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      current = parent;
      first = parts.parts.size() - 1;
    }
  }
  bool missing = false;
  for (size_t i = first; i < parts.parts.size(); ++i) {
    const std::string& part = parts.parts[i];
    const std::string spelt = current + "/" + part;
    if (missing) {
      current = spelt;
      continue;
    }
    if (::lstat(spelt.c_str(), &st) == 0) {
      current = spelt;
      continue;
    }
    // Another spelling of the same name; the smallest host name wins when several fold alike.
    std::string found;
    if (DIR* dir = ::opendir(current.c_str())) {
      const std::string wanted = FoldCase(part);
      while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsValidWindowsName(name)) continue;
        if (FoldCase(name) == wanted && (found.empty() || name < found)) found = name;
      }
      ::closedir(dir);
    }
    if (found.empty()) {
      missing = true;
      current = spelt;
    } else {
      current += "/" + found;
    }
  }
  resolved.host = current;
  return resolved;
}

std::optional<std::string> DriveMap::WindowsPath(const std::string& hostPath) const {
  const std::string path = CanonicalHostPath(hostPath);
  std::map<char, std::string> drives = Drives();
  char best = 0;
  size_t bestLength = 0;
  for (const auto& [letter, folder] : drives) {
    const std::string& canonical = folder;  // stored canonical
    const bool inside = path == canonical ||
                        (path.size() > canonical.size() && path.compare(0, canonical.size(), canonical) == 0 &&
                         (path[canonical.size()] == '/' || canonical == "/"));
    if (inside && (best == 0 || canonical.size() > bestLength)) {
      best = letter;
      bestLength = canonical.size();
    }
  }
  if (best == 0) return std::nullopt;
  std::string windows(1, best);
  windows += ":\\";
  size_t pos = bestLength;
  while (pos < path.size() && path[pos] == '/') ++pos;
  std::string part;
  for (; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      if (part.empty()) continue;
      if (!IsValidWindowsName(part)) return std::nullopt;  // no Windows path can name it
      if (windows.back() != '\\') windows += '\\';
      windows += part;
      part.clear();
    } else {
      part += path[pos];
    }
  }
  return windows;
}

}  // namespace nx
