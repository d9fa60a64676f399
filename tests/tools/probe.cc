// Installed on the test machine under various names: prints "cmdline=" and the command line it
// was started with, and ends with the code a word "exit=N" asks for (0 without one).

#include <cstdlib>
#include <string>

#include "platform/command_line.h"
#include "platform/program.h"
#include "tools/cmd/tool_console.h"

int main() {
  const std::string line = nx::ProgramCommandLine();
  nx::tools::OutLine("cmdline=" + line);
  uint32_t code = 0;
  for (const std::string& word : nx::SplitCommandLine(line)) {
    if (word.rfind("exit=", 0) == 0) code = static_cast<uint32_t>(std::strtoul(word.c_str() + 5, nullptr, 10));
  }
  nx::ExitProgram(code);
}
