#include <cstdio>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "tools/nxmachine/commands.h"

namespace nx::nxmachine {

namespace {
constexpr const char* kOpenPorts =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "GloballyOpenPorts\\List";
}

// One line per opening: "PORT:TCP  PORT:TCP:LocalSubNet:Enabled:NAME".
int FirewallCommand(const std::vector<std::string>& args) {
  if (!args.empty()) throw UsageError{"no arguments expected"};
  std::unique_ptr<RegistryKey> key;
  try {
    key = CurrentPlatform().registry->OpenKey(RegRoot::kLocalMachine, kOpenPorts, RegAccess::kRead, false);
  } catch (const OsError& e) {
    if (e.code() != kErrorFileNotFound) throw;
    return 0;
  }
  for (const std::string& name : key->ValueNames()) {
    std::optional<RegValue> v = key->QueryValue(name);
    std::string data = v ? v->data : "";
    if (v && v->type != kRegSz && v->type != kRegExpandSz) data = "(type " + std::to_string(v->type) + ")";
    std::printf("%s  %s\n", name.c_str(), data.c_str());
  }
  return 0;
}

}  // namespace nx::nxmachine
