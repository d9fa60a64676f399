#include "platform/program.h"
#include "tools/cmd/tool_arguments.h"
#include "tools/cmd/tool_main.h"
#include "tools/xcopy/xcopy.h"

int main() {
  nx::ExitProgram(nx::tools::RunTool(
      [] { return nx::tools::RunXcopy(nx::tools::ArgumentsText(nx::ProgramCommandLine())); }, 4));
}
