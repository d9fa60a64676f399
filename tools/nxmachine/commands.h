#pragma once
// The subcommands of nxmachine; each lives in a file of its own and has one line in main.cc.

#include <string>
#include <vector>

namespace nx::nxmachine {

// Thrown for a wrong call; main prints the command's usage and exits with 2.
struct UsageError {
  std::string text;
};

// args: what follows the subcommand's name. Returns the process exit code.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;  // one line per form, without the program name
  CommandFunction run;
};

int InitCommand(const std::vector<std::string>& args);
int DriveCommand(const std::vector<std::string>& args);
int RegCommand(const std::vector<std::string>& args);
int PathCommand(const std::vector<std::string>& args);
int RunCommand(const std::vector<std::string>& args);
int FirewallCommand(const std::vector<std::string>& args);
int AttribCommand(const std::vector<std::string>& args);
int SetCommand(const std::vector<std::string>& args);
int ServicesCommand(const std::vector<std::string>& args);  // services.cc

}  // namespace nx::nxmachine
