#pragma once
// Facts of the Windows system the program runs on: its version record and whether the running
// program counts as an administrator.

#include <cstdint>
#include <optional>

namespace nx {

// What GetVersionExW fills in (OSVERSIONINFOW) that the program reads.
struct WindowsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // std::nullopt when the system does not deliver its version (GetVersionExW fails).
  virtual std::optional<WindowsVersion> Version() = 0;
  // True when the access token of the running program (the thread's when it impersonates, else
  // the process's) lists the Administrators group S-1-5-32-544, whatever the group's attributes:
  // a deny-only entry, as under User Account Control without elevation, counts. Any failure to
  // read the token gives false. A token with many groups is read whole: the group list's buffer
  // is sized by the system's first answer.
  virtual bool IsAdministrator() = 0;
};

}  // namespace nx
