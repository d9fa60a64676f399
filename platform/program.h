#pragma once
// Facts about the running program itself.

#include <string>

namespace nx {

// Windows path of the folder holding the program file, with a trailing backslash. On the hosted
// machine a program outside every mapped drive gets OsError(kErrorPathNotFound).
std::string ProgramFolder();

// The command line this process was started with, whole and unsplit (GetCommandLineW): what the
// stand-in tools parse, as their Windows namesakes do.
std::string ProgramCommandLine();

}  // namespace nx
