#include "system/file_list.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace nx {

std::vector<std::string> ListaFicheros(const std::string& folder, const std::string& mask,
                                       bool fullPath, bool includeHidden) {
  const std::string dir = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
  std::vector<FoundFile> found;
  try {
    found = CurrentPlatform().files->FindFiles(dir + mask);
  } catch (const OsError& e) {
    if (e.code() == kErrorFileNotFound || e.code() == kErrorPathNotFound) return {};
    throw;
  }
  std::vector<std::string> names;
  for (const FoundFile& f : found) {
    if (f.name == "." || f.name == "..") continue;
    if (f.attributes & (kAttrDirectory | kAttrSystem)) continue;
    if ((f.attributes & kAttrHidden) && !includeHidden) continue;
    names.push_back(fullPath ? dir + f.name : f.name);
  }
  return names;
}

}  // namespace nx
