#pragma once
// Running one external command line and waiting for it to end: every copy, tool run and package
// installation of the setup goes through here, one at a time.

#include <cstdint>
#include <string>

#include "system/errors.h"

namespace nx {

// Starts linea as a Windows command line (the first word names the program, found by the system's
// search) with the show mode for its first window (0 hidden, 1 shown), waits for it without a time
// limit and returns its exit code as a signed 32-bit value: a crash status such as 0xC0000005
// comes back negative, never as an error, because no caller looks at the code and a crashed tool
// must not end the installation. Returns -1 when the program cannot be started.
// Throws ERangeError, before anything starts, for a show mode above 65535, a line longer than
// kMaxCommandLine UTF-16 units or a line holding a NUL (which would silently cut it).
int32_t EjecutaEspera(const std::string& linea, uint32_t show);

}  // namespace nx
