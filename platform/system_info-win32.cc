#include <windows.h>

#include <vector>

#include "platform/win32_facilities.h"

namespace nx {

namespace {

class SystemInfoWin32 final : public SystemInfo {
 public:
  std::optional<WindowsVersion> Version() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;  // 276
    if (!GetVersionExW(&info)) return std::nullopt;
    return WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  }

  bool IsAdministrator() override {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
      if (GetLastError() != ERROR_NO_TOKEN) return false;
      if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    }
    // The group list is as long as the operator's memberships: its size is asked first, and
    // asked again should it grow in between.
    std::vector<unsigned char> buffer;
    DWORD needed = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &needed);
    bool read = false;
    for (int attempt = 0; attempt < 3 && needed > 0 && !read; ++attempt) {
      buffer.assign(needed, 0);
      read = GetTokenInformation(token, TokenGroups, buffer.data(), needed, &needed) != FALSE;
      if (!read && GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    CloseHandle(token);
    if (!read) return false;

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators)) {
      return false;
    }
    // Whatever the group's attributes: deny-only (User Account Control, not elevated) counts.
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    bool found = false;
    for (DWORD k = 0; k < groups->GroupCount && !found; ++k) found = EqualSid(administrators, groups->Groups[k].Sid);
    FreeSid(administrators);
    return found;
  }
};

}  // namespace

SystemInfo& Win32SystemInfo() {
  static SystemInfoWin32 system;
  return system;
}

}  // namespace nx
