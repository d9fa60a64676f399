#include <vector>

#include "platform/error.h"
#include "platform/win32_parts.h"

namespace nx {

namespace {

// CreateProcessW may write into its command line: it gets a copy of its own.
std::vector<wchar_t> WritableLine(const std::string& commandLine) {
  const std::wstring w = Wide(commandLine);
  std::vector<wchar_t> buffer(w.begin(), w.end());
  buffer.push_back(L'\0');
  return buffer;
}

// Every field zero but the size, the flag that the show mode is given, and the show mode.
STARTUPINFOW StartupRecord(uint16_t showMode) {
  STARTUPINFOW si;
  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = showMode;
  return si;
}

constexpr DWORD kCreationFlags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;

}  // namespace

ProcessResult Win32ProcessRunner::RunAndWait(const std::string& commandLine, uint16_t showMode) {
  ProcessResult result;
  std::vector<wchar_t> line = WritableLine(commandLine);
  STARTUPINFOW si = StartupRecord(showMode);
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, kCreationFlags, nullptr, nullptr, &si, &pi)) {
    result.error = ::GetLastError();
    return result;
  }
  result.started = true;
  ::CloseHandle(pi.hThread);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(pi.hProcess, &code)) code = ::GetLastError();
  ::CloseHandle(pi.hProcess);
  result.exitCode = code;
  return result;
}

bool Win32ProcessRunner::Start(const std::string& commandLine, uint16_t showMode, const std::string& folder) {
  std::vector<wchar_t> line = WritableLine(commandLine);
  STARTUPINFOW si = StartupRecord(showMode);
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof pi);
  const std::wstring wfolder = Wide(folder);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, kCreationFlags, nullptr,
                        folder.empty() ? nullptr : wfolder.c_str(), &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

}  // namespace nx
