#pragma once
// Internal (hosted): what the process runner shares with the program facts.

#include <cstdint>
#include <optional>
#include <string>

namespace nx {

// NXSETUP_CMDLINE as this process found it at start-up (it is removed from the environment).
std::optional<std::string> CapturedCommandLine();

// Hands the whole exit code to the runner that started this process, when it asked for it.
void ReportExitCode(uint32_t code);

// A waitpid status as GetExitCodeProcess reports it: the exit code, or for a child killed by a
// signal an NTSTATUS (SIGSEGV/SIGBUS 0xC0000005, SIGILL 0xC000001D, SIGFPE 0xC0000094,
// SIGABRT 0xC0000409, SIGINT 0xC000013A) and 1 for SIGKILL, SIGTERM and the rest, as
// TerminateProcess(process, 1) leaves it.
uint32_t ExitCodeFromStatus(int status);

}  // namespace nx
