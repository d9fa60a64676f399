#pragma once
// Starting programs from a Windows command line, as CreateProcessW does without an application
// name: the first token names the program, searched in the program's own folder, the current
// folder, system32, the Windows folder, then PATH, with ".exe" added when it has no extension.

#include <cstdint>
#include <string>

namespace nx {

constexpr uint16_t kSwHide = 0;
constexpr uint16_t kSwShowNormal = 1;
constexpr size_t kMaxCommandLine = 32767;  // CreateProcessW's limit, terminating zero excluded

// On the hosted machine a program is a real Linux child (an ELF file or a #! script named
// NAME.exe); a .bat or .cmd first word runs as "C:\Windows\System32\cmd.exe /c <line>". The
// child gets NXSETUP_MACHINE, NXSETUP_CMDLINE (the whole line) and NXSETUP_SHOW (the show mode),
// stdin from /dev/null, and the caller's working folder. Exit codes are 8 bits unless the child
// ends through ExitProgram (program.h). A child killed by a signal reports an NTSTATUS:
// SIGSEGV/SIGBUS 0xC0000005, SIGILL 0xC000001D, SIGFPE 0xC0000094, SIGABRT 0xC0000409, SIGINT
// 0xC000013A; SIGKILL, SIGTERM and the rest give 1, as TerminateProcess(process, 1).
struct ProcessResult {
  bool started = false;
  uint32_t error = 0;     // Windows error code when not started
  uint32_t exitCode = 0;  // GetExitCodeProcess; a crashed child gives its NTSTATUS (0xC0000005...)
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts the command with STARTF_USESHOWWINDOW and the show mode, waits with no time limit.
  virtual ProcessResult RunAndWait(const std::string& commandLine, uint16_t showMode) = 0;
  // Starts it and returns without waiting (ShellExecute-style launches); false when it cannot start.
  virtual bool Start(const std::string& commandLine, uint16_t showMode, const std::string& folder) = 0;
};

}  // namespace nx
