// A helper program the process tests install on the machine under various names. It reports
// what it was started with, and does what its arguments ask:
//   exit N | exitfull N (through ExitProgram) | crash | abort | term | record WINFILE | regwrite PREFIX COUNT | run "CMDLINE" |
//   sleepwrite MS WINFILE; anything else is recorded in C:\probe-unknown.txt (exit code 100).

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/registry.h"

namespace {

std::string Folder() {
  try {
    return nx::ProgramFolder();
  } catch (const nx::OsError& e) {
    return std::string("error ") + std::to_string(e.code());
  }
}

void Record(const std::string& file, int argc, char** argv) {
  std::string report = "cmdline=" + nx::ProgramCommandLine() + "\n";
  report += "folder=" + Folder() + "\n";
  const char* show = std::getenv("NXSETUP_SHOW");
  report += std::string("show=") + (show ? show : "(unset)") + "\n";
  const char* line = std::getenv("NXSETUP_CMDLINE");
  report += std::string("env-cmdline=") + (line ? line : "(unset)") + "\n";
  char cwd[4096];
  report += std::string("cwd=") + (::getcwd(cwd, sizeof cwd) ? cwd : "?") + "\n";
  for (int k = 0; k < argc; ++k) report += "argv=" + std::string(argv[k]) + "\n";
  nx::CurrentPlatform().files->WriteFile(file, report);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc >= 2 ? argv[1] : "";
  try {
    if (what == "exit" && argc == 3) return std::atoi(argv[2]);
    if (what == "exitfull" && argc == 3) nx::ExitProgram(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
    if (what == "crash") {
      ::raise(SIGSEGV);
      return 101;
    }
    if (what == "abort") std::abort();
    if (what == "term") {
      ::raise(SIGTERM);
      return 101;
    }
    if (what == "record" && argc >= 3) {
      Record(argv[2], argc, argv);
      return 0;
    }
    if (what == "regwrite" && argc == 4) {
      const int count = std::atoi(argv[3]);
      for (int k = 0; k < count; ++k) {
        auto key = nx::CurrentPlatform().registry->OpenKey(nx::RegRoot::kLocalMachine, "SOFTWARE\\Concurrent",
                                                           nx::RegAccess::kWrite, true);
        key->SetValue(std::string(argv[2]) + "-" + std::to_string(k), nx::RegValue::Dword(static_cast<uint32_t>(k)));
      }
      return 0;
    }
    if (what == "run" && argc == 3) {
      const nx::ProcessResult r = nx::CurrentPlatform().processes->RunAndWait(argv[2], nx::kSwHide);
      nx::ExitProgram(r.started ? r.exitCode : 200 + r.error);
    }
    if (what == "sleepwrite" && argc == 4) {
      ::usleep(static_cast<useconds_t>(std::atoi(argv[2])) * 1000);
      nx::CurrentPlatform().files->WriteFile(argv[3], "done");
      return 0;
    }
    // Anything else: say what arrived, in a fixed place.
    Record("C:\\probe-unknown.txt", argc, argv);
  } catch (const nx::OsError& e) {
    std::fprintf(stderr, "probe: %s\n", e.what());
    return 99;
  }
  return 100;
}
