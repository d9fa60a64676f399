#include "platform/program.h"
#include "tools/cmd/command_interpreter.h"
#include "tools/cmd/tool_main.h"

int main() {
  return nx::tools::RunTool(
      [] {
        nx::tools::CommandInterpreter interpreter;
        return interpreter.RunProgram(nx::ProgramCommandLine());
      },
      1);
}
