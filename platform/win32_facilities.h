#pragma once
// Internal (win32): the system facts and the shell of the real Windows platform, for the
// platform that holds them.

#include "platform/shell.h"
#include "platform/system_info.h"

namespace nx {

SystemInfo& Win32SystemInfo();
Shell& Win32Shell();

}  // namespace nx
