#pragma once
// The narrow layer between the program and Windows. The core reaches the machine only through
// the current Platform: the real one (hosted simulation or Win32) or, in tests, a wrapper of it.

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/shell_link.h"
#include "platform/system_info.h"

namespace nx {

struct Platform {
  FileSystem* files = nullptr;
  Registry* registry = nullptr;
  ProcessRunner* processes = nullptr;
  Environment* environment = nullptr;
  Network* network = nullptr;
  Clock* clock = nullptr;
  SystemInfo* system = nullptr;
  Shell* shell = nullptr;
  ShellLinks* links = nullptr;
};

// The current platform; the first call builds the real one (on the hosted build, the machine
// named by NXSETUP_MACHINE, OsError when unset or unusable).
Platform& CurrentPlatform();

// Replaces parts of the current platform for the life of the object (tests, fault injection);
// null members keep what was there.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const Platform& replacement);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform saved_;
};

}  // namespace nx
