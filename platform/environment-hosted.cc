#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/hosted_parts.h"
#include "platform/text.h"

extern char** environ;

namespace nx {

namespace {

constexpr const char kOverridePrefix[] = "NXSETUP_ENV_";

}  // namespace

HostedEnvironment::HostedEnvironment(const MachineFacts& facts) {
  const std::string profile = "C:\\Users\\" + facts.userName;
  const std::string temp = profile + "\\AppData\\Local\\Temp";
  base_ = {
      {"ALLUSERSPROFILE", "C:\\ProgramData"},
      {"APPDATA", profile + "\\AppData\\Roaming"},
      {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
      {"COMPUTERNAME", facts.computerName},
      {"ComSpec", "C:\\Windows\\system32\\cmd.exe"},
      {"HOMEDRIVE", "C:"},
      {"HOMEPATH", "\\Users\\" + facts.userName},
      {"LOCALAPPDATA", profile + "\\AppData\\Local"},
      {"NUMBER_OF_PROCESSORS", std::to_string(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)))},
      {"OS", "Windows_NT"},
      {"Path", "C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem"},
      {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
      {"PROCESSOR_ARCHITECTURE", "x86"},
      {"ProgramData", "C:\\ProgramData"},
      {"ProgramFiles", "C:\\Program Files"},
      {"PUBLIC", "C:\\Users\\Public"},
      {"SystemDrive", "C:"},
      {"SystemRoot", "C:\\Windows"},
      {"TEMP", temp},
      {"TMP", temp},
      {"USERDOMAIN", facts.computerName},
      {"USERNAME", facts.userName},
      {"USERPROFILE", profile},
      {"windir", "C:\\Windows"},
  };
}

std::optional<std::string> HostedEnvironment::Get(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::string wanted = FoldCase(name);
  // Overrides are read at each call, so a test (or the operator) may change them at any time.
  const size_t prefixLength = sizeof kOverridePrefix - 1;
  for (char** entry = environ; entry && *entry; ++entry) {
    if (std::strncmp(*entry, kOverridePrefix, prefixLength) != 0) continue;
    const char* nameStart = *entry + prefixLength;
    const char* eq = std::strchr(nameStart, '=');
    if (eq == nullptr) continue;
    if (FoldCase(std::string(nameStart, eq)) != wanted) continue;
    if (eq[1] == '\0') return std::nullopt;
    return std::string(eq + 1);
  }
  for (const auto& [baseName, value] : base_) {
    if (FoldCase(baseName) == wanted) return value;
  }
  return std::nullopt;
}

}  // namespace nx
