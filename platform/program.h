#pragma once
// Facts about the running program itself.

#include <cstdint>
#include <string>

namespace nx {

// Windows path of the folder holding the program file, with a trailing backslash. On the hosted
// machine a program outside every mapped drive gets OsError(kErrorPathNotFound).
std::string ProgramFolder();

// The command line this process was started with, whole and unsplit (GetCommandLineW): what the
// stand-in tools parse, as their Windows namesakes do.
std::string ProgramCommandLine();

// Ends the program with a Windows exit code (ExitProcess), flushing what exit() flushes. A Linux
// exit status holds only 8 bits; on the hosted machine the whole code also reaches the runner
// that started the program, so RunAndWait reports 9009 or 1619 as Windows would. Returning such
// a code from main would give the runner its low 8 bits only.
[[noreturn]] void ExitProgram(uint32_t code);

}  // namespace nx
