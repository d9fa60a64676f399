#pragma once
// The frame of every stand-in tool: run the work, turn an error that escapes it into a message
// on standard error and the tool's failure code. Mains hand the result to ExitProgram, which
// carries the whole Windows exit code (9009, 1619) to the runner.

#include <functional>

namespace nx::tools {

int RunTool(const std::function<int()>& work, int failureCode);

}  // namespace nx::tools
