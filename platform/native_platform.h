#pragma once
// Internal: the real platform of the build (hosted machine or Win32), built on first use.

#include "platform/platform.h"

namespace nx {

// Throws OsError when the machine cannot be reached (hosted: NXSETUP_MACHINE unset or invalid).
Platform& NativePlatform();

}  // namespace nx
