#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "platform/program.h"
#include "platform/win32_parts.h"

namespace nx {

std::string ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) ThrowLastError("GetModuleFileNameW");
    if (n < buffer.size()) {
      std::string path = Utf8(buffer.data(), n);
      return path.substr(0, path.find_last_of('\\') + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramCommandLine() {
  const wchar_t* line = ::GetCommandLineW();
  return line ? Utf8(line, wcslen(line)) : std::string();
}

void ExitProgram(uint32_t code) {
  std::fflush(nullptr);
  ::ExitProcess(code);
}

}  // namespace nx
