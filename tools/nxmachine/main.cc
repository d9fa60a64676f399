// nxmachine: the simulated machine's own tool. Errors of the machine are printed with their
// Windows code and end with exit code 1; a wrong call prints the usage and ends with 2.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "tools/nxmachine/commands.h"

namespace {

using nx::nxmachine::Command;

const Command kCommands[] = {
    {"init", "init [ROOT]", nx::nxmachine::InitCommand},
    {"drive", "drive [LETTER HOSTFOLDER]   (no arguments: list; an empty HOSTFOLDER removes the drive)", nx::nxmachine::DriveCommand},
    {"reg",
     "reg query KEY [/v NAME | /ve] [/s]\n"
     "  reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]\n"
     "  reg delete KEY [/v NAME | /ve] [/f]",
     nx::nxmachine::RegCommand},
    {"path", "path WINPATH", nx::nxmachine::PathCommand},
    {"run", "run \"COMMAND LINE\"", nx::nxmachine::RunCommand},
    {"firewall", "firewall", nx::nxmachine::FirewallCommand},
    {"attrib", "attrib [+R|-R] [+H|-H] [+S|-S] [+A|-A] WINPATH", nx::nxmachine::AttribCommand},
    {"services", "services [stop]   (the engine's service instances and whether each runs; stop: stop every running one)", nx::nxmachine::ServicesCommand},
    {"set", "set [NAME VALUE]   (no arguments: list; winver 6.1|5.1|5.0|4.0|none, admin yes|no)", nx::nxmachine::SetCommand},
};

// Every command but init works on a machine that is there; saying so beats the system's
// "path not found" for a folder that holds none.
bool MachineIsThere(const char* command) {
  const char* root = std::getenv("NXSETUP_MACHINE");
  if (root == nullptr || *root == '\0') {
    std::fprintf(stderr, "nxmachine %s: NXSETUP_MACHINE is not set; it names the machine's folder "
                         "(nxmachine init makes one there)\n", command);
    return false;
  }
  try {
    nx::CurrentHostedMachine();
    return true;
  } catch (const nx::OsError&) {
    std::fprintf(stderr, "nxmachine %s: there is no machine in %s; nxmachine init makes one there\n", command, root);
    return false;
  }
}

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: nxmachine COMMAND ...   (the machine is the folder NXSETUP_MACHINE names)\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (std::strcmp(c.name, argv[1]) != 0) continue;
    if (std::strcmp(c.name, "init") != 0 && !MachineIsThere(c.name)) return 1;
    try {
      return c.run(args);
    } catch (const nx::nxmachine::UsageError& e) {
      if (!e.text.empty()) std::fprintf(stderr, "nxmachine %s: %s\n", c.name, e.text.c_str());
      std::fprintf(stderr, "usage: nxmachine %s\n", c.usage);
      return 2;
    } catch (const nx::OsError& e) {
      std::fprintf(stderr, "nxmachine %s: error %u: %s\n", c.name, e.code(), e.what());
      return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nxmachine %s: %s\n", c.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "nxmachine: unknown command \"%s\"\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
