#include <vector>

#include "platform/profile.h"
#include "platform/win32_parts.h"

namespace nx {

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
  const std::wstring wfile = Wide(file), wsection = Wide(section), wkey = Wide(key), wdefault = Wide(defaultValue);
  std::vector<wchar_t> buffer(512);
  for (;;) {
    const DWORD n = ::GetPrivateProfileStringW(wsection.c_str(), wkey.c_str(), wdefault.c_str(), buffer.data(),
                                               static_cast<DWORD>(buffer.size()), wfile.c_str());
    // A value that fills the buffer to its last character may have been cut: ask again.
    if (n + 1 < buffer.size()) return Utf8(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

}  // namespace nx
