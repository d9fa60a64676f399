// winvnc.exe of the sample medium: the remote-control tool is the maker's; this one records each
// start (its folder and command line) in the machine's shared data folder, winvnc.log, so that
// what the connection scripts started can be seen.

#include <cstdio>

#include "platform/program.h"
#include "tools/medium/run_record.h"

int main() {
  try {
    nx::medium::AppendRunRecord("winvnc.log", "winvnc",
                                {{"folder", nx::ProgramFolder()}, {"commandline", nx::ProgramCommandLine()}});
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "winvnc: %s\n", e.what());
    return 1;
  }
}
