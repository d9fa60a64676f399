#include <windows.h>
#include <shellapi.h>

#include "platform/text.h"
#include "platform/win32_facilities.h"

namespace nx {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

class ShellWin32 final : public Shell {
 public:
  bool Open(const std::string& file, const std::string& parameters, const std::string& folder,
            uint16_t showMode) override {
    const std::wstring f = Wide(file), p = Wide(parameters), d = Wide(folder);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", f.c_str(), p.empty() ? nullptr : p.c_str(),
                                           d.empty() ? nullptr : d.c_str(), showMode);
    // Values above 32 mean started.
    return reinterpret_cast<INT_PTR>(result) > 32;
  }
};

}  // namespace

Shell& Win32Shell() {
  static ShellWin32 shell;
  return shell;
}

}  // namespace nx
