#include "platform/win32_parts.h"

#include <shellapi.h>

namespace nx {

bool Win32Shell::Open(const std::string& file, const std::string& parameters, const std::string& folder,
                      uint16_t showMode) {
  const std::wstring wfile = Wide(file), wparameters = Wide(parameters), wfolder = Wide(folder);
  // Not every shell refuses a working folder that does not exist (Wine's starts the program
  // anywhere): it is tested here.
  if (!folder.empty()) {
    const DWORD a = ::GetFileAttributesW(wfolder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  }
  // Values above 32 mean success; the rest are the old error numbers.
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", wfile.c_str(), parameters.empty() ? nullptr : wparameters.c_str(),
                      folder.empty() ? nullptr : wfolder.c_str(), showMode));
  return result > 32;
}

}  // namespace nx
