#include <cctype>
#include <cstdio>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

// attrib as Windows prints it: "A    SHR     C:\path" without flags; with flags, sets them.
int AttribCommand(const std::vector<std::string>& args) {
  uint32_t set = 0, clear = 0;
  std::string path;
  for (const std::string& a : args) {
    if (a.size() == 2 && (a[0] == '+' || a[0] == '-')) {
      uint32_t bit = 0;
      switch (std::toupper(static_cast<unsigned char>(a[1]))) {
        case 'R': bit = kAttrReadOnly; break;
        case 'H': bit = kAttrHidden; break;
        case 'S': bit = kAttrSystem; break;
        case 'A': bit = kAttrArchive; break;
        default: throw UsageError{"unknown attribute " + a};
      }
      (a[0] == '+' ? set : clear) |= bit;
    } else if (path.empty()) {
      path = a;
    } else {
      throw UsageError{"one path only"};
    }
  }
  if (path.empty()) throw UsageError{"expected a path"};
  FileSystem& files = *CurrentPlatform().files;
  uint32_t attributes = files.GetAttributes(path);
  if (attributes == kInvalidFileAttributes) throw OsError(kErrorFileNotFound, path);
  if (set | clear) {
    attributes = ((attributes & ~clear) | set) & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    files.SetAttributes(path, attributes == 0 ? kAttrNormal : attributes);
    return 0;
  }
  std::printf("%c    %c%c%c     %s\n", (attributes & kAttrArchive) ? 'A' : ' ', (attributes & kAttrSystem) ? 'S' : ' ',
              (attributes & kAttrHidden) ? 'H' : ' ', (attributes & kAttrReadOnly) ? 'R' : ' ', path.c_str());
  return 0;
}

}  // namespace nx::nxmachine
