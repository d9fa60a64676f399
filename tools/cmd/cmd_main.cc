#include "platform/program.h"
#include "tools/cmd/command_interpreter.h"
#include "tools/cmd/tool_main.h"

int main() {
  nx::ExitProgram(nx::tools::RunTool(
      [] {
        nx::tools::CommandInterpreter interpreter;
        return interpreter.RunProgram(nx::ProgramCommandLine());
      },
      1));
}
