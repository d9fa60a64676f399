#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/hosted_parts.h"
#include "platform/posix_error.h"

namespace nx {

namespace {

constexpr uint32_t kStoredBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

std::string SidecarOf(const std::string& hostFolder) { return hostFolder + "/" + kAttributeSidecar; }

// Lines "<hex bits> <host name>"; names hold no control characters, so a line end cannot occur.
std::map<std::string, uint32_t> ReadSidecar(const std::string& hostFolder) {
  std::map<std::string, uint32_t> entries;
  const std::string file = SidecarOf(hostFolder);
  if (!host::Exists(file)) return entries;
  const std::string text = host::ReadAll(file, file);
  for (const std::string& line : host::Lines(text)) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0) continue;  // a damaged line only loses itself
    char* stop = nullptr;
    const unsigned long bits = std::strtoul(line.c_str(), &stop, 16);
    if (stop != line.c_str() + blank) continue;
    entries[line.substr(blank + 1)] = static_cast<uint32_t>(bits) & kStoredBits;
  }
  return entries;
}

void WriteSidecar(const std::string& hostFolder, const std::map<std::string, uint32_t>& entries) {
  const std::string file = SidecarOf(hostFolder);
  if (entries.empty()) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) ThrowErrno(errno, file, kErrorAccessDenied);
    return;
  }
  std::string text;
  for (const auto& [name, bits] : entries) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", bits);
    text += hex;
    text += ' ';
    text += name;
    text += '\n';
  }
  host::WriteAtomically(file, text, file);
}

}  // namespace

AttributeStore::AttributeStore(const std::string& root) : lockFile_(root + "/" + kAttributesLockFile) {}

uint32_t AttributeStore::Get(const std::string& hostPath, bool isDirectory) const {
  const auto entries = ReadSidecar(host::Parent(hostPath));
  auto it = entries.find(host::BaseName(hostPath));
  uint32_t bits = it != entries.end() ? it->second : (isDirectory ? 0u : static_cast<uint32_t>(kAttrArchive));
  if (isDirectory) bits |= kAttrDirectory;
  return bits == 0 ? static_cast<uint32_t>(kAttrNormal) : bits;
}

void AttributeStore::Set(const std::string& hostPath, uint32_t bits, bool isDirectory) {
  bits &= kStoredBits;
  const std::string folder = host::Parent(hostPath);
  const uint32_t standard = isDirectory ? 0u : static_cast<uint32_t>(kAttrArchive);
  // Most files carry the standard bits in a folder with no sidecar: nothing to record, no lock.
  if (bits == standard && !host::Exists(SidecarOf(folder))) return;
  host::FileLock lock(lockFile_);
  auto entries = ReadSidecar(folder);
  if (bits == standard) {
    if (entries.erase(host::BaseName(hostPath)) == 0) return;
  } else {
    entries[host::BaseName(hostPath)] = bits;
  }
  WriteSidecar(folder, entries);
}

void AttributeStore::Remove(const std::string& hostPath) {
  const std::string folder = host::Parent(hostPath);
  if (!host::Exists(SidecarOf(folder))) return;
  host::FileLock lock(lockFile_);
  auto entries = ReadSidecar(folder);
  if (entries.erase(host::BaseName(hostPath)) == 0) return;
  WriteSidecar(folder, entries);
}

std::map<std::string, uint32_t> AttributeStore::Folder(const std::string& hostFolder) const {
  return ReadSidecar(hostFolder);
}

}  // namespace nx
