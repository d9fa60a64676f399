#include <vector>

#include "platform/win32_parts.h"

namespace nx {

std::optional<WindowsVersion> Win32SystemInfo::Version() {
  OSVERSIONINFOW info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(&info)) return std::nullopt;
  return WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

bool Win32SystemInfo::IsAdministrator() {
  // The thread's token when it impersonates, else the process's.
  HANDLE token = nullptr;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    if (::GetLastError() != ERROR_NO_TOKEN) return false;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators)) {
    ::CloseHandle(token);
    return false;
  }
  // The group list's size comes from a first call; a list that grows meanwhile is asked again.
  bool found = false;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buffer;
  for (int tries = 0; tries < 4 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER; ++tries) {
    buffer.assign(size, 0);
    if (::GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
      const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
      // Any entry counts, a deny-only one (a filtered token under User Account Control) too.
      for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
        found = ::EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
      }
      break;
    }
  }
  ::FreeSid(administrators);
  ::CloseHandle(token);
  return found;
}

}  // namespace nx
