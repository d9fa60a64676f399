#include <vector>

#include "platform/win32_parts.h"

namespace nx {

std::optional<std::string> Win32Environment::Get(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::wstring wname = Wide(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n = ::GetEnvironmentVariableW(wname.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      // An empty variable gives 0 as well, but leaves no error.
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < buffer.size()) return Utf8(buffer.data(), n);
    buffer.resize(n);
  }
}

}  // namespace nx
